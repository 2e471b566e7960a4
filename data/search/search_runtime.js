/* Postloom search, MIT licence */
// Searching the index under search/ (written by the program, see
// src/core/search/search_index_writer.h) without a server: every file is a
// classic script that hands its data to PostloomSearch, loaded on demand.
// Terms give candidates (every term of the query in the mail; the index
// holds each kana and kanji alone too, for queries of one character); the
// kept text of each candidate decides, so only mails holding each word of
// the query are shown, newest first.
(function (root) {
  'use strict';

  const Tokens = typeof module === 'object' && module.exports
    ? require('./search_tokens.js')
    : root.PostloomSearchTokens;

  function decodeBase64(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // Ascending numbers from their gaps less one, seven bits a byte.
  function decodeDeltas(bytes) {
    const out = [];
    let previous = -1;
    let i = 0;
    while (i < bytes.length) {
      let gap = 0;
      let scale = 1;
      let b;
      do {
        if (i >= bytes.length) throw new Error('cut posting list');
        b = bytes[i++];
        gap += (b & 0x7f) * scale;
        scale *= 128;
      } while (b & 0x80);
      previous += gap + 1;
      out.push(previous);
    }
    return out;
  }

  // Numbers from a Golomb-Rice code of their gaps: the count less one in
  // LEB128, the parameter k in a byte, then per gap its high part in unary
  // (one bits ended by a zero) and its k low bits, bits from each byte's
  // lowest.
  function decodeRice(bytes) {
    let i = 0;
    let count = 0;
    let scale = 1;
    let b;
    do {
      if (i >= bytes.length) throw new Error('cut posting list');
      b = bytes[i++];
      count += (b & 0x7f) * scale;
      scale *= 128;
    } while (b & 0x80);
    count += 1;
    const k = bytes[i++];
    let bit = i * 8;
    const next = () => {
      if (bit >= bytes.length * 8) throw new Error('cut posting list');
      const value = (bytes[bit >> 3] >> (bit & 7)) & 1;
      ++bit;
      return value;
    };
    const out = [];
    let previous = -1;
    for (let n = 0; n < count; ++n) {
      let gap = 0;
      while (next()) ++gap;
      let low = 0;
      for (let j = 0; j < k; ++j) low += next() * 2 ** j;
      previous += gap * 2 ** k + low + 1;
      out.push(previous);
    }
    return out;
  }

  // A term's posting list as a shard holds it: base64 of the gaps, "!" and
  // base64 of a bitmap (number n is bit n % 8 of byte n / 8), or "~" and
  // base64 of a Golomb-Rice code.
  function decodePostings(text) {
    if (text.startsWith('~')) return decodeRice(decodeBase64(text.slice(1)));
    if (!text.startsWith('!')) return decodeDeltas(decodeBase64(text));
    const bitmap = decodeBase64(text.slice(1));
    const out = [];
    for (let i = 0; i < bitmap.length; ++i) {
      for (let bit = 0; bit < 8; ++bit) {
        if (bitmap[i] & (1 << bit)) out.push(i * 8 + bit);
      }
    }
    return out;
  }

  const encoder = new TextEncoder();

  // FNV-1a of the term's UTF-8 bytes, as the writer hashes it.
  function termHash(term) {
    let hash = 0x811c9dc5;
    for (const b of encoder.encode(term)) {
      hash ^= b;
      hash = Math.imul(hash, 0x01000193) >>> 0;
    }
    return hash >>> 0;
  }

  const shardOf = (term, shards) => termHash(term) % shards;

  // The words of a query (split where the query has space, each folded)
  // and the distinct terms of all of them.
  function parseQuery(query) {
    const words = [];
    for (const part of String(query).split(/\s+/u)) {
      const folded = Tokens.fold(part);
      if (folded !== '' && !words.includes(folded)) words.push(folded);
    }
    const terms = [];
    for (const word of words) {
      for (const term of Tokens.tokens(word)) {
        if (!terms.includes(term)) terms.push(term);
      }
    }
    return { words, terms };
  }

  function codePointBefore(text, i) {
    if (i <= 0) return -1;
    const c = text.charCodeAt(i - 1);
    return c >= 0xdc00 && c <= 0xdfff && i >= 2 ? text.codePointAt(i - 2) : c;
  }

  // A word that begins (ends) with a letter or digit matches only where the
  // text has none before (after) it, as the index holds whole words.
  function containsWord(text, word) {
    const first = word.codePointAt(0);
    const last = codePointBefore(word, word.length);
    for (let i = text.indexOf(word); i >= 0; i = text.indexOf(word, i + 1)) {
      const before = codePointBefore(text, i);
      const after = i + word.length < text.length ? text.codePointAt(i + word.length) : -1;
      if (Tokens.isWordCharacter(first) && before >= 0 && Tokens.isWordCharacter(before)) continue;
      if (Tokens.isWordCharacter(last) && after >= 0 && Tokens.isWordCharacter(after)) continue;
      return true;
    }
    return false;
  }

  const containsAll = (text, words) => words.every((word) => containsWord(text, word));

  // Intersection of ascending lists.
  function intersect(lists) {
    if (lists.length === 0) return [];
    const sorted = [...lists].sort((a, b) => a.length - b.length);
    let result = sorted[0];
    for (const list of sorted.slice(1)) {
      const next = [];
      let j = 0;
      for (const n of result) {
        while (j < list.length && list[j] < n) ++j;
        if (j < list.length && list[j] === n) next.push(n);
      }
      result = next;
    }
    return result;
  }

  // The part of the kept text (subject, sender or body) around the first
  // match of a word, as pieces with the words marked.
  function snippet(text, words, radius = 40) {
    const parts = text.split('\n');
    let part = parts.find((p) => containsAll(p, words.slice(0, 1))) ?? parts[parts.length - 1] ?? '';
    const body = parts[parts.length - 1];
    if (parts.length > 2 && words.some((w) => body.includes(w))) part = body;
    const at = Math.max(0, Math.min(...words.map((w) => part.indexOf(w)).filter((i) => i >= 0)));
    const start = Math.max(0, at - radius);
    const end = Math.min(part.length, at + radius * 2);
    const window = part.slice(start, end);
    const pieces = [];
    let i = 0;
    while (i < window.length) {
      let found = -1;
      let word = '';
      for (const w of words) {
        const k = window.indexOf(w, i);
        if (k >= 0 && (found < 0 || k < found || (k === found && w.length > word.length))) {
          found = k;
          word = w;
        }
      }
      if (found < 0) {
        pieces.push({ text: window.slice(i), mark: false });
        break;
      }
      if (found > i) pieces.push({ text: window.slice(i, found), mark: false });
      pieces.push({ text: word, mark: true });
      i = found + word.length;
    }
    return { before: start > 0, after: end < part.length, pieces };
  }

  async function inflateRaw(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // The data the scripts hand over, and the loading of each script once.
  // loadScript(path) resolves after the script at path has run.
  class Store {
    constructor(loadScript) {
      this.loadScript = loadScript;
      this.data = new Map();
      this.loading = new Map();
      this.receiver = {
        manifest: (m) => this.data.set('manifest', m),
        shard: (s, k, t) => this.data.set(`${s}/t${k}`, t),
        mails: (s, b, rows) => this.data.set(`${s}/m${b}`, rows),
        texts: (s, b, x) => this.data.set(`${s}/x${b}`, x),
      };
    }

    async get(key, path) {
      if (!this.data.has(key)) {
        if (!this.loading.has(path)) this.loading.set(path, this.loadScript(path));
        await this.loading.get(path);
        if (!this.data.has(key)) throw new Error(`${path} did not hold its data`);
      }
      return this.data.get(key);
    }

    manifest() { return this.get('manifest', 'manifest.js'); }
    shard(s, k) { return this.get(`${s}/t${k}`, `${s}/t${k}.js`); }

    // The numbers of the mails of segment s that hold term, decoded once.
    async postings(s, shards, term) {
      const key = `${s}/p/${term}`;
      if (!this.data.has(key)) {
        const shard = await this.shard(s, shardOf(term, shards));
        this.data.set(key, Object.prototype.hasOwnProperty.call(shard, term) ? decodePostings(shard[term]) : []);
      }
      return this.data.get(key);
    }

    async mail(s, n, manifest) {
      const b = Math.floor(n / manifest.mailBlock);
      const row = (await this.get(`${s}/m${b}`, `${s}/m${b}.js`))[n % manifest.mailBlock];
      return { url: row[0], subject: row[1], sender: row[2], date: row[3], sortKey: row[4] };
    }

    async text(s, n, manifest) {
      const b = Math.floor(n / manifest.textBlock);
      const key = `${s}/x${b}/texts`;
      if (!this.data.has(key)) {
        const packed = await this.get(`${s}/x${b}`, `${s}/x${b}.js`);
        const json = new TextDecoder('utf-16le').decode(await inflateRaw(decodeBase64(packed)));
        this.data.set(key, JSON.parse(json));
      }
      return this.data.get(key)[n % manifest.textBlock];
    }
  }

  // The shards each segment needs for the terms, as [segment id, shard].
  function shardsFor(manifest, terms) {
    const out = [];
    for (const segment of manifest.segments) {
      const seen = new Set();
      for (const term of terms) seen.add(shardOf(term, segment.shards));
      for (const k of seen) out.push([segment.id, k]);
    }
    return out;
  }

  // Per segment, the numbers of the mails that have every term and are
  // not gone, ascending (so newest first).
  async function candidates(store, manifest, terms) {
    return Promise.all(manifest.segments.map(async (segment) => {
      const lists = await Promise.all(terms.map((term) => store.postings(segment.id, segment.shards, term)));
      const gone = new Set(decodeDeltas(decodeBase64(segment.gone)));
      return intersect(lists).filter((n) => !gone.has(n));
    }));
  }

  // A search in progress: next(count) gives the next results, newest first.
  async function search(store, query) {
    const { words, terms } = parseQuery(query);
    const manifest = await store.manifest();
    const lists = terms.length === 0 ? [] : await candidates(store, manifest, terms);
    const ids = lists.length === 0 ? [] : manifest.segments.map((s) => s.id);
    const heads = lists.map(() => 0);
    const candidateCount = lists.reduce((sum, list) => sum + list.length, 0);
    let checked = 0;
    let found = 0;

    // The newest head of the lists; later segments win a tie (newer mail).
    async function take() {
      let best = -1;
      let bestMail = null;
      for (let i = 0; i < lists.length; ++i) {
        if (heads[i] >= lists[i].length) continue;
        const mail = await store.mail(ids[i], lists[i][heads[i]], manifest);
        if (best < 0 || mail.sortKey >= bestMail.sortKey) {
          best = i;
          bestMail = mail;
        }
      }
      if (best < 0) return null;
      const n = lists[best][heads[best]++];
      return { segment: ids[best], number: n, mail: bestMail };
    }

    async function next(count) {
      const results = [];
      while (results.length < count) {
        const candidate = await take();
        if (candidate === null) break;
        ++checked;
        const text = await store.text(candidate.segment, candidate.number, manifest);
        if (!containsAll(text, words)) continue;
        ++found;
        const { sortKey, ...shown } = candidate.mail;
        results.push({ ...shown, snippet: snippet(text, words) });
      }
      return results;
    }

    return {
      words,
      terms,
      candidates: candidateCount,
      next,
      get found() { return found; },
      get done() { return checked === candidateCount; },
    };
  }

  const api = {
    decodeBase64, decodeDeltas, decodeRice, decodePostings, termHash, shardOf, parseQuery, containsWord, containsAll, intersect,
    snippet, shardsFor, candidates, search, Store,
  };
  if (typeof module === 'object' && module.exports) {
    module.exports = api;
  } else {
    root.PostloomSearchRuntime = api;
  }
})(this);
