// The browser's fold against the program's (ICU's) over every code point
// of the folded blocks, so that a newer or older Unicode on either side is
// caught where it matters.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const tokens = require(path.join(__dirname, '../../data/search/search_tokens.js'));

test('every folded code point folds the same as in the program', () => {
  const lines = fs.readFileSync(process.env.FOLD_TABLE, 'utf8').trim().split('\n');
  assert.ok(lines.length > 30000);
  const differ = [];
  for (const line of lines) {
    const [c, ...folded] = line.split(' ').map((x) => parseInt(x, 16));
    const mine = [...tokens.fold(String.fromCodePoint(c))].map((ch) => ch.codePointAt(0));
    if (mine.join(' ') !== folded.join(' ')) differ.push(c.toString(16));
  }
  assert.deepStrictEqual(differ, []);
});
