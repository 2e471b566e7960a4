/* Postloom search, MIT licence */
// The searchable form of a query and its terms, by the rules the index was
// built with (src/core/search/search_text.h and search_tokens.h); the table
// tests/search/token_vectors.json keeps the two sides the same.
(function (root) {
  'use strict';

  // Only these blocks are normalised and lowercased: elsewhere a browser's
  // newer Unicode could fold differently from the program that built the
  // index, so characters there are kept as they are on both sides.
  const FOLDABLE = [
    [0x0000, 0x052F], [0x1E00, 0x1FFF], [0x2000, 0x2BFF], [0x2E80, 0x2FDF],
    [0x3000, 0x30FF], [0x3190, 0x319F], [0x31F0, 0x4DBF], [0x4E00, 0x9FFF],
    [0xF900, 0xFAFF], [0xFE30, 0xFE6F], [0xFF00, 0xFFEF],
  ];
  const IDEOGRAPHIC = [
    [0x3005, 0x3007], [0x3041, 0x3096], [0x309D, 0x309F], [0x30A1, 0x30FA],
    [0x30FC, 0x30FF], [0x31F0, 0x31FF], [0x3400, 0x4DBF], [0x4E00, 0x9FFF],
    [0xF900, 0xFAFF], [0x20000, 0x3FFFF],
  ];
  const KANA = [
    [0x3041, 0x3096], [0x309D, 0x309F], [0x30A1, 0x30FA], [0x30FC, 0x30FF],
    [0x31F0, 0x31FF],
  ];
  const WORD = [
    [0x30, 0x39], [0x41, 0x5A], [0x61, 0x7A], [0xC0, 0xD6], [0xD8, 0xF6],
    [0xF8, 0x2AF], [0x300, 0x36F], [0x370, 0x3FF], [0x400, 0x52F],
    [0x1E00, 0x1FFF],
  ];
  const WHITE = [
    [0x09, 0x0D], [0x20, 0x20], [0x85, 0x85], [0xA0, 0xA0], [0x1680, 0x1680],
    [0x2000, 0x200A], [0x2028, 0x2029], [0x202F, 0x202F], [0x205F, 0x205F],
    [0x3000, 0x3000],
  ];
  const ZERO_WIDTH = [[0x200B, 0x200D], [0x2060, 0x2060], [0xFEFF, 0xFEFF]];
  const VARIANTS = new Map([
    [0x223C, 0x7E], [0x301C, 0x7E],
    [0x2010, 0x2D], [0x2011, 0x2D], [0x2012, 0x2D], [0x2013, 0x2D], [0x2212, 0x2D],
  ]);
  // The spacing voiced sound marks would come out of NFKC as a space and a
  // combining mark that no longer joins the kana before it.
  const SPACING_SOUND_MARKS = new Map([[0x309B, 0x3099], [0x309C, 0x309A]]);
  const LONG_VOWEL_LIKE = new Set([0x2014, 0x2015, 0x2500, 0x2501]);
  const LONG_VOWEL_MARK = 0x30FC;
  const FINAL_SIGMA = 0x3C2;
  const SIGMA = 0x3C3;
  const MAX_WORD_LENGTH = 32;

  function inRanges(ranges, c) {
    for (const r of ranges) {
      if (c >= r[0] && c <= r[1]) return true;
    }
    return false;
  }

  const isFoldable = (c) => inRanges(FOLDABLE, c);
  const isIdeographic = (c) => inRanges(IDEOGRAPHIC, c);
  const isWordCharacter = (c) => inRanges(WORD, c);

  // Code points of a string; a lone surrogate counts as U+FFFD, as a byte
  // that is not UTF-8 does on the other side.
  function codePoints(text) {
    const out = [];
    for (const ch of text) {
      const c = ch.codePointAt(0);
      out.push(c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
    }
    return out;
  }

  // The simple lowercase: toLowerCase gives more than one character only
  // for U+0130, whose simple mapping is the first of them.
  function lowercase(c) {
    const lower = String.fromCodePoint(c).toLowerCase().codePointAt(0);
    return lower === FINAL_SIGMA ? SIGMA : lower;
  }

  function normaliseRuns(cps) {
    const kept = cps.filter((c) => !inRanges(ZERO_WIDTH, c));
    const out = [];
    let i = 0;
    while (i < kept.length) {
      const foldable = isFoldable(kept[i]);
      let end = i + 1;
      while (end < kept.length && isFoldable(kept[end]) === foldable) ++end;
      const run = kept.slice(i, end).map((c) => SPACING_SOUND_MARKS.get(c) ?? c);
      if (foldable) {
        for (const c of codePoints(String.fromCodePoint(...run).normalize('NFKC'))) {
          out.push(lowercase(c));
        }
      } else {
        out.push(...run);
      }
      i = end;
    }
    return out;
  }

  function foldVariantsAndSpace(cps) {
    const out = [];
    let spacePending = false;
    for (let c of cps) {
      if (inRanges(WHITE, c)) {
        spacePending = out.length > 0;
        continue;
      }
      if (VARIANTS.has(c)) c = VARIANTS.get(c);
      const afterKana = !spacePending && out.length > 0 && inRanges(KANA, out[out.length - 1]);
      if (afterKana && LONG_VOWEL_LIKE.has(c)) c = LONG_VOWEL_MARK;
      if (spacePending && !isIdeographic(out[out.length - 1]) && !isIdeographic(c)) out.push(0x20);
      spacePending = false;
      out.push(c);
    }
    return out;
  }

  // The folded code points of a text.
  function foldCodePoints(text) {
    return foldVariantsAndSpace(normaliseRuns(codePoints(text)));
  }

  function fold(text) {
    const cps = foldCodePoints(text);
    let out = '';
    for (let i = 0; i < cps.length; i += 4096) {
      out += String.fromCodePoint(...cps.slice(i, i + 4096));
    }
    return out;
  }

  // The terms of folded text, in order, repeats included.
  function tokens(folded) {
    const cps = codePoints(folded);
    const out = [];
    let i = 0;
    while (i < cps.length) {
      let end = i + 1;
      if (isIdeographic(cps[i])) {
        while (end < cps.length && isIdeographic(cps[end])) ++end;
        if (end - i === 1) out.push(String.fromCodePoint(cps[i]));
        for (let k = i; k + 1 < end; ++k) out.push(String.fromCodePoint(cps[k], cps[k + 1]));
      } else if (isWordCharacter(cps[i])) {
        while (end < cps.length && isWordCharacter(cps[end])) ++end;
        if (end - i <= MAX_WORD_LENGTH) out.push(String.fromCodePoint(...cps.slice(i, end)));
      }
      i = end;
    }
    return out;
  }

  const api = { fold, tokens, isFoldable, isIdeographic, isWordCharacter };
  if (typeof module === 'object' && module.exports) {
    module.exports = api;
  } else {
    root.PostloomSearchTokens = api;
  }
})(this);
