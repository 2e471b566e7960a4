// Times the first results of two-word queries on the search page opened
// from file:// in headless Chromium (driven over its DevTools pipe): cold,
// the first query of a fresh browser; warm, the same query again in the
// same page. The system's file cache is warm in both.
//   node bench/search_page_timing.js <site folder with search.html> [query...]
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const site = process.argv[2];
const queries = process.argv.length > 3 ? process.argv.slice(3)
  : ['サーバー 移行', 'テスト 結果', '資料 確認', '検索 追加', 'システム エラー'];
const chromium = process.env.CHROMIUM ?? 'chromium';

function openBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'postloom-timing-'));
  const child = spawn(chromium, ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
    `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank'],
  { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  let id = 0;
  let buffer = '';
  const waiting = new Map();
  child.stdio[4].on('data', (chunk) => {
    buffer += chunk.toString('utf8');
    let end;
    while ((end = buffer.indexOf('\0')) >= 0) {
      const message = JSON.parse(buffer.slice(0, end));
      buffer = buffer.slice(end + 1);
      if (message.id && waiting.has(message.id)) {
        waiting.get(message.id)(message);
        waiting.delete(message.id);
      }
    }
  });
  const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    const message = { id: ++id, method, params, ...(sessionId ? { sessionId } : {}) };
    waiting.set(message.id, (m) => (m.error ? reject(new Error(JSON.stringify(m.error))) : resolve(m.result)));
    child.stdio[3].write(JSON.stringify(message) + '\0');
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  const close = async () => {
    // Closed over its own pipe, Chromium takes its helper processes down
    // with it; killed, they may go on writing the profile for a while.
    await send('Browser.close').catch(() => child.kill());
    await exited;
    fs.rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
  };
  return { send, close };
}

async function firstResultsMs(evaluate) {
  for (let tries = 0; tries < 3000; ++tries) {
    const ms = await evaluate(`location.protocol !== 'file:' ? '' :
      document.getElementById('search-status')?.dataset.firstResultsMs ?? ''`);
    if (typeof ms === 'string' && ms !== '') return Number(ms);
    await new Promise((resolve) => setTimeout(resolve, 10));
  }
  throw new Error('no results in 30 s: ' + await evaluate("document.getElementById('search-status')?.textContent"));
}

async function measure(query) {
  const browser = openBrowser();
  try {
    const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
    const evaluate = async (expression) =>
      (await browser.send('Runtime.evaluate', { expression, returnByValue: true }, sessionId)).result.value;
    const url = pathToFileURL(path.join(site, 'search.html')).href + '?q=' + encodeURIComponent(query);
    await browser.send('Page.navigate', { url }, sessionId);
    const cold = await firstResultsMs(evaluate);
    const status = await evaluate("document.getElementById('search-status').textContent");
    await evaluate(`delete document.getElementById('search-status').dataset.firstResultsMs;
      document.getElementById('search-form').requestSubmit()`);
    const warm = await firstResultsMs(evaluate);
    return { cold, warm, status };
  } finally {
    await browser.close();
  }
}

(async () => {
  console.log('query\tcold ms\twarm ms\tfound');
  for (const query of queries) {
    const { cold, warm, status } = await measure(query);
    console.log(`${query}\t${cold}\t${warm}\t${status}`);
  }
})().catch((error) => { console.error(error); process.exit(1); });
