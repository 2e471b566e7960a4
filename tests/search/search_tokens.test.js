// The browser's tokenizer against the table the program's is tested with.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const tokens = require(path.join(__dirname, '../../data/search/search_tokens.js'));
const vectors = require('./token_vectors.json');

test('agrees with the shared vectors', () => {
  assert.ok(vectors.length > 20);
  for (const v of vectors) {
    const folded = tokens.fold(v.text);
    assert.strictEqual(folded, v.folded, v.note);
    assert.deepStrictEqual(tokens.tokens(folded), v.tokens, v.note);
  }
});

test('a lone surrogate counts as a replacement character', () => {
  assert.strictEqual(tokens.fold('a\ud800b'), 'a\ufffdb');
});

test('folding is idempotent on the vectors', () => {
  for (const v of vectors) assert.strictEqual(tokens.fold(v.folded), v.folded, v.note);
});
