'use strict';
// Debian's Chromium driven headless, a static file server on the loopback
// address, and a small pool of tabs so that many pages load at once.
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require('puppeteer-core');
const { chromiumPath } = require('./sample_site');

// The machine has no network but the loopback: without these switches the
// browser keeps trying to reach its own services and logs every refusal.
const CHROMIUM_ARGS = [
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
    '--disable-default-apps',
    '--font-render-hinting=none',
];

function launchBrowser() {
    return puppeteer.launch({ executablePath: chromiumPath, headless: true, args: CHROMIUM_ARGS });
}

// What a static host sends: every HTML file is declared UTF-8 by the header,
// which wins over whatever the page itself declares.
const CONTENT_TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.txt': 'text/plain; charset=utf-8',
    '.png': 'image/png',
    '.gif': 'image/gif',
    '.jpg': 'image/jpeg',
    '.jpeg': 'image/jpeg',
    '.svg': 'image/svg+xml',
    '.webp': 'image/webp',
};

// Serves the files under root on 127.0.0.1 at a free port. Resolves to
// { origin, close() }.
function serveFolder(root) {
    const base = path.resolve(root);
    const server = http.createServer((request, response) => {
        let relative;
        try {
            relative = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
        } catch {
            response.writeHead(400).end();
            return;
        }
        const file = path.resolve(base, '.' + relative);
        if (file !== base && !file.startsWith(base + path.sep)) {
            response.writeHead(403).end();
            return;
        }
        fs.readFile(file, (error, body) => {
            if (error) {
                response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
                return;
            }
            const type = CONTENT_TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream';
            response.writeHead(200, { 'Content-Type': type }).end(body);
        });
    });
    return new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(0, '127.0.0.1', () => {
            resolve({
                origin: `http://127.0.0.1:${server.address().port}`,
                close: () => new Promise((done) => server.close(done)),
            });
        });
    });
}

// The browser asks every server for /favicon.ico on its own; the pages link
// no such file, so its absence is no fault of theirs.
const isFavicon = (url) => /^https?:\/\/[^/]+\/favicon\.ico$/.test(url ?? '');

// Runs visit(tab, item) for every item, in `tabs` tabs at once, each tab set
// up once by prepare(tab). Every console error, uncaught exception, failed
// request and error response of a visit is in tab.problems while it runs.
// Resolves to the results in the order of the items.
async function inTabs(browser, items, visit, { tabs = 4, prepare = async () => {} } = {}) {
    const results = new Array(items.length);
    let next = 0;
    const worker = async () => {
        const tab = await browser.newPage();
        tab.problems = [];
        tab.on('console', (message) => {
            if (message.type() === 'error' && !isFavicon(message.location()?.url))
                tab.problems.push(`console: ${message.text()}`);
        });
        tab.on('pageerror', (error) => tab.problems.push(`exception: ${error.message}`));
        tab.on('requestfailed', (request) =>
            tab.problems.push(`request failed: ${request.url()} ${request.failure()?.errorText ?? ''}`));
        tab.on('response', (response) => {
            if (response.status() >= 400 && !isFavicon(response.url()))
                tab.problems.push(`HTTP ${response.status()}: ${response.url()}`);
        });
        await prepare(tab);
        try {
            while (next < items.length) {
                const at = next++;
                tab.problems = [];
                results[at] = await visit(tab, items[at]);
            }
        } finally {
            await tab.close();
        }
    };
    await Promise.all(Array.from({ length: Math.min(tabs, items.length) }, worker));
    return results;
}

module.exports = { launchBrowser, serveFolder, inTabs };
