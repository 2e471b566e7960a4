// The search page in headless Chromium, opened from file:// as an archive
// on a disk is: the page loads the index by scripts and inflates the kept
// texts, and lists what the runtime under Node finds.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { pathToFileURL } = require('node:url');
const runtime = require(path.join(__dirname, '../../data/search/search_runtime.js'));

const fixture = process.env.SEARCH_FIXTURE;
const chromium = process.env.CHROMIUM;

function openStore() {
  const vm = require('node:vm');
  const store = new runtime.Store(async (file) => {
    vm.runInNewContext(fs.readFileSync(path.join(fixture, 'search', file), 'utf8'), { PostloomSearch: store.receiver });
  });
  return store;
}

function pageResults(query) {
  const url = pathToFileURL(path.join(fixture, 'search.html')).href + '?q=' + encodeURIComponent(query);
  const run = spawnSync(chromium, ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
    '--virtual-time-budget=10000', '--dump-dom', url], { encoding: 'utf8', timeout: 60000 });
  assert.strictEqual(run.status, 0, run.stderr);
  const status = /<p id="search-status"[^>]*>([^<]*)<\/p>/.exec(run.stdout);
  assert.ok(status, run.stdout);
  const hrefs = [...run.stdout.matchAll(/<li><a href="([^"]+)">/g)].map((m) => m[1]);
  return { status: status[1], hrefs, html: run.stdout };
}

test('the page from file:// shows what the runtime finds, with the words marked', async () => {
  fs.copyFileSync(path.join(__dirname, '../../data/search/search.html'), path.join(fixture, 'search.html'));
  for (const query of ['新幹線', 'ｶﾞﾍﾞｰｼﾞｺﾚｸｼｮﾝ 設定']) {
    const search = await runtime.search(openStore(), query);
    const expected = (await search.next(20)).map((r) => r.url);
    assert.ok(expected.length > 0, query);
    const page = pageResults(query);
    assert.deepStrictEqual(page.hrefs, expected, query);
    assert.strictEqual(page.status, `${expected.length} 件`, query);
    assert.match(page.html, /<mark>/);
  }
});
