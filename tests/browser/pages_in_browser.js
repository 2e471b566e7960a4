'use strict';
// The sample converted, then every page opened in headless Chromium: from
// the files and from a server on 127.0.0.1, on a phone-sized screen, and
// checked by axe-core in light and dark mode.
//   node pages_in_browser.js --batch build/plain/src/cli/postloom-batch
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { requireTools, batchProgram, convertSample } = require('./sample_site');

requireTools();
const { launchBrowser, serveFolder, inTabs } = require('./browser');

const PHONE = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 1 };

// The mail pages that axe-core checks besides the index: a reply with
// markup characters in its subject, one that quotes a URL, and one with an
// attachment; and the whole-thread page of the sample's longest thread.
const AXE_MAIL_PAGES = ['pages/00017.html', 'pages/00028.html', 'pages/00043.html', 'threads/00008.html'];
// The list of months and the page of one month.
const AXE_MONTH_PAGES = ['months/index.html', 'months/2004-05.html'];

// Words the search must find in exactly the mail pages that hold them:
// Japanese of several lengths, a full-width form, and an English word.
const SEARCHED_WORDS = ['ひだまり', '喫茶店', '会費', 'friend', 'ＦＲＩＥＮＤ'];

const program = batchProgram();
let site;
let browser;
let server;

before(async () => {
    site = convertSample(program);
    [browser, server] = await Promise.all([launchBrowser(), serveFolder(site.site)]);
});

after(async () => {
    await browser?.close();
    await server?.close();
    site?.remove();
});

const relative = (file) => path.relative(site.site, file).split(path.sep).join('/');
const fileUrl = (file) => pathToFileURL(file).href;
const serverUrl = (file) => `${server.origin}/${relative(file).split('/').map(encodeURIComponent).join('/')}`;

// Lists every failure at once rather than stopping at the first page.
function assertNone(failures, what) {
    if (failures.length > 0)
        assert.fail(`${failures.length} ${what}:\n${failures.join('\n')}`);
}

test('every page loads from its file and from a server without an error, and reads the same from both', async () => {
    const visit = async (tab, file) => {
        await tab.goto(file.url, { waitUntil: 'load' });
        const seen = await tab.evaluate(() => ({ charset: document.characterSet, text: document.body.innerText }));
        return { name: relative(file.path), problems: [...tab.problems], ...seen };
    };
    const fromFiles = await inTabs(browser, site.pages.map((p) => ({ path: p, url: fileUrl(p) })), visit);
    const fromServer = await inTabs(browser, site.pages.map((p) => ({ path: p, url: serverUrl(p) })), visit);

    assert.ok(fromFiles.length > 1, 'the sample has an index and mail pages');
    const failures = [];
    for (const [at, file] of fromFiles.entries()) {
        const served = fromServer[at];
        for (const problem of file.problems)
            failures.push(`${file.name} (file): ${problem}`);
        for (const problem of served.problems)
            failures.push(`${served.name} (server): ${problem}`);
        // The page's own declaration decides as a file; a static host
        // declares UTF-8 for every page in its header.
        if (file.charset !== 'UTF-8')
            failures.push(`${file.name}: read as ${file.charset}, not UTF-8`);
        if (served.text !== file.text || served.text.includes('\uFFFD'))
            failures.push(`${served.name}: the text from the server differs from the file's (garbled)`);
    }
    assertNone(failures, 'pages with problems');
});

test('at 390 px on a phone no page scrolls sideways', async () => {
    const widths = await inTabs(
        browser,
        site.pages,
        async (tab, file) => {
            await tab.goto(fileUrl(file), { waitUntil: 'load' });
            return { name: relative(file), width: await tab.evaluate(() => document.documentElement.scrollWidth) };
        },
        { prepare: (tab) => tab.setViewport(PHONE) },
    );
    assertNone(
        widths.filter(({ width }) => width > PHONE.width).map(({ name, width }) => `${name}: ${width} px wide`),
        'pages wider than the screen',
    );
});

test('at 390 px the longest subject of the index wraps under itself', async () => {
    const [lines] = await inTabs(
        browser,
        [site.index],
        async (tab, file) => {
            await tab.goto(fileUrl(file), { waitUntil: 'load' });
            // The line boxes of the longest link text among the links to
            // mail pages, each as its left edge. Pieces of one line overlap
            // vertically (smaller print sits lower on the same line).
            return tab.evaluate(() => {
                const links = [...document.querySelectorAll('a[href$=".html"]')];
                const longest = links.reduce((a, b) => (b.textContent.length > a.textContent.length ? b : a));
                const range = document.createRange();
                range.selectNodeContents(longest);
                const pieces = [...range.getClientRects()].filter((r) => r.width > 0).sort((a, b) => a.top - b.top);
                const lines = [];
                for (const piece of pieces) {
                    const line = lines[lines.length - 1];
                    if (line && piece.top < line.bottom - 1) {
                        line.left = Math.min(line.left, piece.left);
                        line.bottom = Math.max(line.bottom, piece.bottom);
                    } else {
                        lines.push({ left: piece.left, bottom: piece.bottom });
                    }
                }
                return { subject: longest.textContent.trim(), lefts: lines.map((line) => Math.round(line.left)) };
            });
        },
        { prepare: (tab) => tab.setViewport(PHONE) },
    );
    assert.ok(lines.lefts.length >= 2, `"${lines.subject}" stays on one line`);
    const first = lines.lefts[0];
    assert.ok(
        lines.lefts.every((left) => left >= first - 1),
        `"${lines.subject}" wraps under what stands before it (line starts ${lines.lefts.join(', ')} px)`,
    );
});

// The search page with the results of a query shown.
const SEARCH_WITH_RESULTS = { name: 'search.html', query: '?q=' + encodeURIComponent(SEARCHED_WORDS[0]) };

test('axe-core finds no violation on the index, mail, month and search pages, light and dark', async () => {
    const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
    const checks = [];
    for (const scheme of ['light', 'dark']) {
        for (const name of ['index.html', ...AXE_MAIL_PAGES, ...AXE_MONTH_PAGES])
            checks.push({ scheme, name, file: path.join(site.site, name), query: '' });
        checks.push({ scheme, ...SEARCH_WITH_RESULTS, file: path.join(site.site, SEARCH_WITH_RESULTS.name) });
    }
    const results = await inTabs(browser, checks, async (tab, check) => {
        await tab.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: check.scheme }]);
        await tab.goto(serverUrl(check.file) + check.query, { waitUntil: 'load' });
        if (check.query)
            await tab.waitForFunction(() => /件$/.test(document.getElementById('search-status').textContent));
        await tab.addScriptTag({ content: axeSource });
        const violations = await tab.evaluate(async () => {
            const found = await window.axe.run(document, { resultTypes: ['violations'] });
            return found.violations.map((v) => `${v.id} (${v.impact}): ${v.help} at ${v.nodes
                .slice(0, 3)
                .map((node) => node.target.join(' '))
                .join(', ')}`);
        });
        return violations.map((violation) => `${check.name} ${check.scheme}: ${violation}`);
    });
    assertNone(results.flat(), 'violations');
});

// The text of a mail page's main part, as a reader sees it.
function mainText(file) {
    const html = fs.readFileSync(file, 'utf8');
    const main = html.slice(html.indexOf('<main>'), html.indexOf('</main>'));
    return main
        .replace(/<[^>]*>/g, '')
        .replace(/&lt;/g, '<')
        .replace(/&gt;/g, '>')
        .replace(/&quot;/g, '"')
        .replace(/&#39;/g, "'")
        .replace(/&amp;/g, '&')
        .normalize('NFKC')
        .toLowerCase();
}

test('a word typed into the index page\'s box finds exactly the pages that hold it, from the files and a server', async () => {
    const mailPages = site.pages.filter((file) => relative(file).startsWith('pages/'));
    const texts = new Map(mailPages.map((file) => [relative(file), mainText(file)]));
    const holding = (word) => {
        const folded = word.normalize('NFKC').toLowerCase();
        const pattern = /^[a-z]+$/.test(folded) ? new RegExp(`\\b${folded}\\b`) : null;
        return [...texts].filter(([, text]) => (pattern ? pattern.test(text) : text.includes(folded))).map(([name]) => name).sort();
    };
    const searches = [];
    for (const word of SEARCHED_WORDS) {
        searches.push({ word, url: fileUrl(site.index) });
        searches.push({ word, url: serverUrl(site.index) });
    }
    const found = await inTabs(browser, searches, async (tab, search) => {
        await tab.goto(search.url, { waitUntil: 'load' });
        // Nothing of the index is loaded until a query is searched.
        const loadedBefore = await tab.evaluate(() => performance.getEntriesByType('resource').map((r) => r.name));
        await tab.keyboard.press('/');
        await tab.keyboard.type(search.word);
        await Promise.all([tab.waitForNavigation({ waitUntil: 'load' }), tab.keyboard.press('Enter')]);
        await tab.waitForFunction(() => /^\d+ 件$/.test(document.getElementById('search-status').textContent));
        const links = await tab.evaluate(() =>
            [...document.querySelectorAll('#search-results a')].map((a) => a.getAttribute('href')));
        return {
            ...search,
            at: new URL(tab.url()).pathname.split('/').pop(),
            loadedBefore: loadedBefore.filter((name) => name.includes('/search/')),
            links: links.sort(),
            problems: [...tab.problems],
        };
    });
    const failures = [];
    for (const result of found) {
        const where = `${result.word} (${result.url.startsWith('file:') ? 'file' : 'server'})`;
        const expected = holding(result.word);
        if (result.at !== 'search.html')
            failures.push(`${where}: Enter led to ${result.at}`);
        if (expected.length === 0)
            failures.push(`${where}: no page of the sample holds the word`);
        if (JSON.stringify(result.links) !== JSON.stringify(expected))
            failures.push(`${where}: found ${result.links.join(' ')}, expected ${expected.join(' ')}`);
        if (result.loadedBefore.length > 0)
            failures.push(`${where}: the index page loaded ${result.loadedBefore.join(' ')}`);
        for (const problem of result.problems)
            failures.push(`${where}: ${problem}`);
    }
    assertNone(failures, 'searches that went wrong');
});
