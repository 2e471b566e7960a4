// The browser's search runtime on an index the program wrote
// (write_search_fixture), checked against a plain scan of the same mails.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');
const runtime = require(path.join(__dirname, '../../data/search/search_runtime.js'));
const tokens = require(path.join(__dirname, '../../data/search/search_tokens.js'));

const fixture = process.env.SEARCH_FIXTURE;
const corpus = JSON.parse(fs.readFileSync(process.env.SEARCH_CORPUS ?? path.join(__dirname, 'search_corpus.json'), 'utf8'));
const mails = JSON.parse(fs.readFileSync(path.join(fixture, 'mails.json'), 'utf8'));
for (const m of mails) m.folded = [m.subject, m.sender, m.body].map(tokens.fold).join('\n');

// A store that runs the index's scripts as a page would, and counts them.
function openStore() {
  const loaded = [];
  const store = new runtime.Store(async (file) => {
    loaded.push(file);
    const code = fs.readFileSync(path.join(fixture, 'search', file), 'utf8');
    vm.runInNewContext(code, { PostloomSearch: store.receiver });
  });
  return { store, loaded };
}

// The plain scan: every mail whose folded subject, sender or body holds
// each word of the query, newest first.
function scan(query) {
  const { words } = runtime.parseQuery(query);
  return mails
    .filter((m) => words.length > 0 && runtime.containsAll(m.folded, words))
    .sort((a, b) => b.sortKey - a.sortKey)
    .map((m) => m.url);
}

async function searchAll(store, query) {
  const search = await runtime.search(store, query);
  const results = await search.next(Infinity);
  assert.ok(search.done);
  assert.strictEqual(search.found, results.length);
  return results;
}

test('every query finds exactly the mails a plain scan finds, newest first', async () => {
  const { store } = openStore();
  for (const query of corpus.queries) {
    const results = await searchAll(store, query);
    assert.deepStrictEqual(results.map((r) => r.url), scan(query), query);
  }
});

test('the corpus covers what it is meant to', async () => {
  const { store } = openStore();
  const urls = async (q) => (await searchAll(store, q)).map((r) => r.url);
  // A word cut by a line break, and one character inside longer runs.
  assert.ok((await urls('新幹線')).includes('a01.html'));
  assert.ok((await urls('本')).includes('a10.html'));
  // Candidates by their terms that do not hold the query.
  const search = await runtime.search(store, '京都大学');
  await search.next(Infinity);
  assert.ok(search.candidates > search.found);
  // Half-width and full-width forms find the same mails.
  assert.deepStrictEqual(await urls('ｶﾞﾍﾞｰｼﾞｺﾚｸｼｮﾝ'), await urls('ガベージコレクション'));
  assert.deepStrictEqual(await urls('ＰＯＳＴＬＯＯＭ'), await urls('postloom'));
  // Removed and changed mails.
  assert.deepStrictEqual(await urls('removed'), ['a12.html']);
  assert.deepStrictEqual(await urls('changed'), []);
  assert.deepStrictEqual(await urls('updated'), ['a13.html']);
  // A mail of the second segment older than the base's corpus mails comes
  // after them (and before the generated ones, older still).
  assert.strictEqual((await urls('会議')).filter((u) => !u.startsWith('g')).at(-1), 'b02.html');
  assert.deepStrictEqual(await urls('cat'), ['a12.html']);
});

test('a query loads the manifest, one shard per term and segment, and the blocks of its results', async () => {
  const { store, loaded } = openStore();
  const search = await runtime.search(store, '新幹線');
  const manifest = await store.manifest();
  assert.ok(manifest.segments[0].shards > 4);
  const shards = runtime.shardsFor(manifest, search.terms).map(([s, k]) => `${s}/t${k}.js`);
  assert.deepStrictEqual(loaded.slice().sort(), ['manifest.js', ...shards].sort());
  const first = await search.next(1);
  assert.strictEqual(first.length, 1);
  assert.ok(loaded.every((f) => f === 'manifest.js' || /^s\d+\/[tmx]\d+\.js$/.test(f)));
  assert.ok(loaded.length <= 1 + shards.length + 4, loaded.join(' '));
});

test('each term is in the shard its hash names', async () => {
  const { store } = openStore();
  const manifest = await store.manifest();
  const base = manifest.segments[0];
  for (let k = 0; k < base.shards; ++k) {
    for (const term of Object.keys(await store.shard(base.id, k))) {
      assert.strictEqual(runtime.shardOf(term, base.shards), k, term);
    }
  }
});

test('the snippet marks the words in the part that holds them', async () => {
  const { store } = openStore();
  const [result] = await searchAll(store, 'hello world');
  assert.strictEqual(result.url, 'a08.html');
  const marked = result.snippet.pieces.filter((p) => p.mark).map((p) => p.text);
  assert.deepStrictEqual(marked, ['hello', 'world']);
});

test('posting lists decode from their gaps', () => {
  assert.deepStrictEqual(runtime.decodeDeltas(Uint8Array.of(0, 0, 0)), [0, 1, 2]);
  assert.deepStrictEqual(runtime.decodeDeltas(Uint8Array.of(0, 0xc7, 0x01)), [0, 200]);
  assert.deepStrictEqual(runtime.decodeDeltas(Uint8Array.of(0xff, 0xff, 0xff, 0xff, 0x0f)), [0xffffffff]);
  assert.throws(() => runtime.decodeDeltas(Uint8Array.of(0x80)));
});

test('bitmaps decode to the numbers of their bits', () => {
  assert.deepStrictEqual(runtime.decodePostings('!' + Buffer.from([0xb6, 0x01]).toString('base64')), [1, 2, 4, 5, 7, 8]);
  assert.deepStrictEqual(runtime.decodePostings(Buffer.from([0, 0xc7, 0x01]).toString('base64')), [0, 200]);
});

test('Rice codes decode to their numbers', () => {
  // Count 3 (2 stored), k 2; gaps 4, 5, 0: bits 1 0 00, 1 0 10, 0 00.
  const bytes = Buffer.from([2, 2, 0b01010001, 0b00000000]);
  assert.deepStrictEqual(runtime.decodeRice(bytes), [4, 10, 11]);
  assert.deepStrictEqual(runtime.decodePostings('~' + bytes.toString('base64')), [4, 10, 11]);
  assert.throws(() => runtime.decodeRice(Buffer.from([5, 2, 0])));
});

test('queries split at spaces of either width and fold each word', () => {
  assert.deepStrictEqual(runtime.parseQuery(' ＱＴ６対応　東京 '), { words: ['qt6対応', '東京'], terms: ['qt6', '対応', '東京'] });
  assert.deepStrictEqual(runtime.parseQuery('!!'), { words: ['!!'], terms: [] });
});

test('letters and digits match as whole words only', () => {
  assert.ok(runtime.containsWord('my cat.', 'cat'));
  assert.ok(!runtime.containsWord('concatenate', 'cat'));
  assert.ok(!runtime.containsWord('cats', 'cat'));
  assert.ok(runtime.containsWord('新幹線', '幹'));
  assert.ok(runtime.containsWord('x𠮷cat', 'cat'));
});
