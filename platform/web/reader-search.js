// Find in the book: a field, and the matches the program streams back as it finds them, each with
// its chapter and the words around it. Choosing one shows its page with the words marked. A new
// query stops the search before it.

import { jsonAnswer } from './connection.js';
import { element } from './dom.js';
import { isRead } from './reader-flow.js';
import { textNodes } from './reader-highlights.js';
import { showPoint } from './reader-pages.js';
import { readerRequest } from './reader-selection.js';

const longestQuery = 200;
const svgNamespace = 'http://www.w3.org/2000/svg';
const typingPause = 250;

// Reads a stream of JSON lines, handing each to take.
async function readLines(response, take) {
  const reader = response.body.getReader();
  const decoder = new TextDecoder();
  let pending = '';
  for (;;) {
    const { done, value } = await reader.read();
    pending += decoder.decode(value ?? new Uint8Array(), { stream: !done });
    const lines = pending.split('\n');
    pending = lines.pop();
    for (const line of lines) if (line.trim()) take(JSON.parse(line));
    if (done) return;
  }
}

// The pieces { node, from, to } of the read text nodes that hold the characters start..end of the
// body's text, as find counts them (ruby readings, scripts and styles counted, never marked).
function piecesOf(nodes, start, end) {
  const pieces = [];
  let count = 0;
  for (const node of nodes) {
    const from = Math.max(start, count) - count;
    const to = Math.min(end, count + node.length) - count;
    count += node.length;
    if (from < to && isRead(node)) pieces.push({ node, from, to });
    if (count >= end) break;
  }
  return pieces;
}

const withoutSpaces = (text) => text.replace(/\s+/g, '');

// The pieces of the occurrence of the text nearest to the character at hint: where the program
// counted the page's characters otherwise than the browser did (line ends, entities), the match
// is still marked where it stands.
function nearestOccurrence(nodes, text, hint) {
  const wanted = withoutSpaces(text);
  if (!wanted) return [];
  let flat = '';
  const places = [];
  let count = 0;
  for (const node of nodes) {
    // Text the book hides is never what was found.
    if (isRead(node) && node.parentElement?.checkVisibility?.() !== false) {
      for (let at = 0; at < node.length; ++at) {
        if (/\s/.test(node.data[at])) continue;
        flat += node.data[at];
        places.push({ node, at, offset: count + at });
      }
    }
    count += node.length;
  }
  let best = null;
  for (let found = flat.indexOf(wanted); found >= 0; found = flat.indexOf(wanted, found + 1)) {
    if (!best || Math.abs(places[found].offset - hint) < Math.abs(places[best].offset - hint))
      best = found;
  }
  if (best === null) return [];
  const first = places[best];
  const last = places[best + wanted.length - 1];
  return piecesOf(nodes, first.offset, last.offset + 1);
}

// Marks a match in the document (none: only erases), the mark before it erased: its characters by
// their count, or the nearest place its text stands when the count leads elsewhere. Text of a
// drawing is marked with the drawing's own kind of element. The first mark, or null.
function markFound(doc, found) {
  for (const old of [...doc.querySelectorAll('.pagewyn-found')]) old.replaceWith(...old.childNodes);
  doc.body?.normalize();
  if (!found) return null;
  const nodes = textNodes(doc);
  let pieces = piecesOf(nodes, found.start, found.end);
  const text = pieces.map(({ node, from, to }) => node.data.slice(from, to)).join('');
  if (withoutSpaces(text) !== withoutSpaces(found.match ?? text))
    pieces = nearestOccurrence(nodes, found.match, found.start);
  const marks = [];
  for (let { node, from, to } of pieces) {
    if (from > 0) node = node.splitText(from);
    if (to - from < node.length) node.splitText(to - from);
    const inDrawing = node.parentNode?.namespaceURI === svgNamespace;
    const mark = inDrawing ? doc.createElementNS(svgNamespace, 'tspan') : doc.createElementNS('http://www.w3.org/1999/xhtml', 'mark');
    mark.setAttribute('class', 'pagewyn-found');
    node.replaceWith(mark);
    mark.append(node);
    marks.push(mark);
  }
  return marks[0] ?? null;
}

// A passage the library's search field found, waiting for its book's reader to open: the
// reader opens there instead of at the kept place, with the words marked. Taken once, and only
// by a reader of that book opened soon after.
const passageWait = 15000;
let awaitedPassage = null;

// passage: { title, document, offset, marked } — marked, the words as the snippet shows them.
export function awaitPassage(passage) {
  awaitedPassage = { ...passage, asked: Date.now() };
}

// The awaited passage as a match to show ({ spine, start, end, match }), if it is of the book.
export function takeAwaitedPassage(description) {
  const passage = awaitedPassage;
  awaitedPassage = null;
  if (!passage || Date.now() - passage.asked > passageWait) return null;
  if (passage.title !== description.title) return null;
  const match = String(passage.marked ?? '');
  const start = passage.offset;
  return { spine: passage.document, start, end: start + match.length, match };
}

export class SearchPanel {
  // reader: the reader screen, for its session, pages, chapters and the way to a document.
  constructor(reader) {
    this.reader = reader;
    this.controller = null;
    this.timer = null;
    this.element = element('section', 'reader-search');
    this.element.setAttribute('aria-label', 'Search');
    this.element.hidden = true;
    this.field = element('input', 'reader-search-field');
    this.field.type = 'search';
    this.field.placeholder = 'Search the book';
    this.field.maxLength = longestQuery;
    this.field.setAttribute('aria-label', 'Search the book');
    this.field.addEventListener('input', () => {
      clearTimeout(this.timer);
      this.timer = setTimeout(() => this.run(this.field.value), typingPause);
    });
    this.field.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') {
        clearTimeout(this.timer);
        this.run(this.field.value);
      }
    });
    this.status = element('p', 'reader-search-status');
    this.status.setAttribute('aria-live', 'polite');
    this.list = element('ol', 'reader-search-results');
    this.element.append(this.field, this.status, this.list);
    this.element.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') {
        event.stopPropagation();
        this.toggle(false);
        this.reader.element.focus();
      }
    });
  }

  get shown() {
    return !this.element.hidden;
  }

  toggle(show = this.element.hidden) {
    this.element.hidden = !show;
    this.reader.searchButton?.setAttribute('aria-expanded', String(show));
    if (show) {
      this.field.focus();
      this.field.select();
    }
  }

  // Searches for the query; an empty query only stops the search before.
  async run(text) {
    const query = text.slice(0, longestQuery);
    this.controller?.abort();
    this.controller = null;
    this.list.replaceChildren();
    if (!query.trim()) {
      this.status.textContent = '';
      return;
    }
    const controller = new AbortController();
    this.controller = controller;
    this.status.textContent = 'Searching…';
    let count = 0;
    try {
      const response = await readerRequest(this.reader.session, 'search', { query }, controller.signal);
      if (!response.ok) await jsonAnswer(response);
      await readLines(response, (line) => {
        if (controller.signal.aborted) return;
        if (line.spine === undefined) {
          this.status.textContent = count === 0 ? 'Not found' : `${count}${line.more ? '+' : ''} found`;
          return;
        }
        ++count;
        this.list.append(this.resultItem(line));
      });
    } catch (error) {
      if (!controller.signal.aborted) this.status.textContent = `The search failed: ${error.message}`;
    }
  }

  resultItem(found) {
    const item = element('li');
    const choose = element('button', 'reader-search-result');
    choose.type = 'button';
    const snippet = element('span', 'reader-search-snippet');
    snippet.append(`${found.before ? '…' : ''}${found.before}`, element('mark', '', found.match), `${found.after}${found.after ? '…' : ''}`);
    choose.append(element('span', 'reader-search-chapter', this.reader.chapterTitle(found.spine)), snippet);
    choose.addEventListener('click', (event) => {
      event.stopPropagation();
      this.show(found);
    });
    item.append(choose);
    return item;
  }

  // Shows the page that holds the match, marked: the page read, or the facing page of a spread
  // (shown whole, so there is nothing to turn to). A mark left on a page shown beside is erased.
  async show(found) {
    this.toggle(false);
    this.reader.element.focus({ preventScroll: true });
    const pages = this.reader.pages;
    await this.reader.go(found.spine, { page: 'first' });
    for (const index of pages.spread) {
      const doc = pages.documentOf(index);
      if (doc && index !== found.spine) markFound(doc, null);
    }
    const doc = pages.documentOf(found.spine);
    const mark = doc ? markFound(doc, found) : null;
    if (mark && doc === pages.document) showPoint(pages, mark.firstChild, 0);
  }
}
