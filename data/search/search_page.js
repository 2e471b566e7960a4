/* Postloom search, MIT licence */
// The search page: the box, the list of results and the keys. The index is
// loaded only when a query is searched.
(function () {
  'use strict';

  const Runtime = window.PostloomSearchRuntime;
  const PAGE = 20;
  const form = document.getElementById('search-form');
  const box = document.getElementById('search-box');
  const status = document.getElementById('search-status');
  const list = document.getElementById('search-results');
  const more = document.getElementById('search-more');
  let store = null;
  let current = null;

  // A classic script from search/: the one way to read files that works
  // for a page opened from file://.
  function loadScript(file) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = 'search/' + file;
      script.charset = 'utf-8';
      script.onload = () => { script.remove(); resolve(); };
      script.onerror = () => { script.remove(); reject(new Error('search/' + file)); };
      document.head.appendChild(script);
    });
  }

  function openStore() {
    if (store === null) {
      store = new Runtime.Store(loadScript);
      window.PostloomSearch = store.receiver;
    }
    return store;
  }

  function resultItem(result) {
    const item = document.createElement('li');
    const link = document.createElement('a');
    link.href = result.url;
    link.textContent = result.subject || '(無題)';
    const meta = document.createElement('div');
    meta.className = 'meta';
    meta.textContent = result.sender + ' ' + result.date;
    const snippet = document.createElement('p');
    snippet.className = 'snippet';
    if (result.snippet.before) snippet.append('…');
    for (const piece of result.snippet.pieces) {
      if (piece.mark) {
        const mark = document.createElement('mark');
        mark.textContent = piece.text;
        snippet.append(mark);
      } else {
        snippet.append(piece.text);
      }
    }
    if (result.snippet.after) snippet.append('…');
    item.append(link, meta, snippet);
    return item;
  }

  function showCount(search) {
    status.textContent = search.done
      ? `${search.found} 件`
      : `${search.found} 件以上 (候補 ${search.candidates} 件)`;
    more.hidden = search.done;
  }

  async function showMore(search) {
    more.disabled = true;
    const results = await search.next(PAGE);
    if (search !== current) return;
    for (const result of results) list.append(resultItem(result));
    showCount(search);
    more.disabled = false;
  }

  async function run(query) {
    list.replaceChildren();
    more.hidden = true;
    current = null;
    if (query.trim() === '') {
      status.textContent = '';
      return;
    }
    status.textContent = '検索中…';
    const start = performance.now();
    try {
      const search = await Runtime.search(openStore(), query);
      current = search;
      await showMore(search);
      // How long the first results took, for measurements of the page.
      status.dataset.firstResultsMs = String(Math.round(performance.now() - start));
    } catch (error) {
      status.textContent = '検索の索引を読めません (' + error.message + ')';
    }
  }

  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const query = box.value;
    try {
      history.replaceState(null, '', '?q=' + encodeURIComponent(query));
    } catch (error) {
      // Some browsers refuse it for file:// pages; the search still runs.
    }
    run(query);
  });
  more.addEventListener('click', () => { if (current) showMore(current); });
  document.addEventListener('keydown', (event) => {
    const target = event.target;
    const typing = target instanceof HTMLInputElement || target instanceof HTMLTextAreaElement || target.isContentEditable;
    if (event.key === '/' && !typing && !event.ctrlKey && !event.metaKey && !event.altKey) {
      event.preventDefault();
      box.focus();
      box.select();
    }
  });

  const query = new URLSearchParams(location.search).get('q');
  if (query) {
    box.value = query;
    run(query);
  }
})();
