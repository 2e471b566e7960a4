'use strict';
// Pictures of the sample's index page, a mail page and the search page, 1280 px and
// 390 px wide (a phone), light and dark, for the README. Run by hand after a
// change to the look of the pages, and commit the pictures:
//   node tests/browser/screenshots.js [--batch PATH] [--out docs/screenshots]
const fs = require('node:fs');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { repoRoot, requireTools, batchProgram, convertSample } = require('./sample_site');

requireTools();
const { launchBrowser } = require('./browser');

const SCREENS = {
    wide: { width: 1280, height: 800, deviceScaleFactor: 1 },
    phone: { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 },
};
// The mail page shown: a reply that quotes a link; the search page with
// the results of a query.
const PAGES = { index: 'index.html', mail: 'pages/00028.html', search: 'search.html' };
const QUERIES = { search: '?q=' + encodeURIComponent('ひだまり') };

async function main() {
    const at = process.argv.indexOf('--out');
    const out = path.resolve(at >= 0 ? process.argv[at + 1] : path.join(repoRoot, 'docs', 'screenshots'));
    fs.mkdirSync(out, { recursive: true });
    const site = convertSample(batchProgram());
    const browser = await launchBrowser();
    try {
        const tab = await browser.newPage();
        for (const [pageName, page] of Object.entries(PAGES)) {
            for (const [screenName, screen] of Object.entries(SCREENS)) {
                for (const scheme of ['light', 'dark']) {
                    await tab.setViewport(screen);
                    await tab.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
                    const query = QUERIES[pageName] ?? '';
                    await tab.goto(pathToFileURL(path.join(site.site, page)).href + query, { waitUntil: 'load' });
                    if (query)
                        await tab.waitForFunction(() => /件$/.test(document.getElementById('search-status').textContent));
                    const file = path.join(out, `site-${pageName}-${screenName}-${scheme}.png`);
                    await tab.screenshot({ path: file });
                    console.log(file);
                }
            }
        }
    } finally {
        await browser.close();
        site.remove();
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
