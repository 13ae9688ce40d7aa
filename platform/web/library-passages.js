// The passages from the books' text under the library's rows: once the search field's words
// reach three characters, the books holding them (most relevant first) with their best few
// passages, the words marked, and "more in this book" for the rest. Typing is debounced and a
// newer search cancels the answer to an older one. A passage opens its book in the reader there.

import { hostFetch, jsonAnswer } from './connection.js';

const shortestWords = 3;
const typingPause = 250;
// A last word of a letter or two is left out while keys come, as it would stand for every word
// it begins; once typing has paused this long it is a whole word ("chapter 30", "vitamin c"),
// asked for as if a space followed it. A Chinese, Japanese or Korean character is a word's start
// of its own and is never left out.
const settlePause = 1000;
const endsInShortWord = (text) => {
  const last = /(?:^|[\s"“”„«»])((?:[\p{L}\p{N}]\p{M}*){1,2})[^\s\p{L}\p{N}\p{M}]*$/u.exec(text);
  return Boolean(last) && !/[\p{sc=Han}\p{sc=Hiragana}\p{sc=Katakana}\p{sc=Hangul}]/u.test(last[1]);
};
// While the library is being indexed the answer is asked again this often, so passages of the
// books indexed meanwhile come in.
const indexingPause = 2000;

const noPassage = "No passage in the books' text holds these words";
const count = (number) => Number(number || 0).toLocaleString('en-US');

// The snippet as text with the marked ranges (UTF-16 offsets, as JavaScript counts) in <mark>.
function markedSnippet(snippet, marks) {
  const text = String(snippet ?? '');
  const parts = [];
  let at = 0;
  for (const [from, to] of (marks ?? []).toSorted((a, b) => a[0] - b[0])) {
    if (from < at || to <= from || to > text.length) continue;
    parts.push(document.createTextNode(text.slice(at, from)));
    const mark = document.createElement('mark');
    mark.textContent = text.slice(from, to);
    parts.push(mark);
    at = to;
  }
  parts.push(document.createTextNode(text.slice(at)));
  return parts;
}

// What the reader marks of a passage: its first marked word, and the marked words after it with
// only spaces or punctuation between, so that a phrase found is marked whole, as in the snippet.
function firstMarkedRun(snippet, marks) {
  const text = String(snippet ?? '');
  const [first, ...rest] = (marks ?? []).toSorted((a, b) => a[0] - b[0]);
  if (!first) return '';
  let [from, to] = first;
  for (const [start, end] of rest) {
    if (start < to || /[\p{L}\p{N}]/u.test(text.slice(to, start))) break;
    to = end;
  }
  return text.slice(from, to);
}

export class LibraryPassages {
  // open({ file, title, document, offset, marked }): the reader asked to show the passage.
  // rowsFound(): whether the field finds books by title or author; when it finds none, the list
  // says so ("No books match") and no second message stands under it.
  constructor(open, rowsFound) {
    this.open = open;
    this.rowsFound = rowsFound;
    this.words = '';
    // The words as last asked of the host: the field's, or with a space after a short last word.
    this.asked = '';
    this.timer = null;
    this.settleTimer = null;
    this.controller = null;
    this.answer = null;
    // The books whose every passage was asked for, by file: kept open while answers come again.
    this.expanded = new Map();
    this.element = document.createElement('section');
    this.element.className = 'library-passages';
    this.element.setAttribute('aria-label', "Passages in the books' text");
    this.element.hidden = true;
    this.progress = document.createElement('p');
    this.progress.className = 'passages-progress';
    this.progress.setAttribute('role', 'status');
    this.list = document.createElement('ol');
    this.list.className = 'passage-books';
    this.element.append(this.progress, this.list);
  }

  // The field's whole text now.
  search(text) {
    clearTimeout(this.timer);
    clearTimeout(this.settleTimer);
    this.controller?.abort();
    this.controller = null;
    this.words = text;
    this.answer = null;
    this.expanded.clear();
    if ([...text.trim()].length < shortestWords) {
      this.element.hidden = true;
      this.list.replaceChildren();
      this.progress.textContent = '';
      return;
    }
    this.timer = setTimeout(() => this.fetchAnswer(text, text), typingPause);
    if (endsInShortWord(text)) this.settleTimer = setTimeout(() => this.fetchAnswer(text, `${text} `), settlePause);
  }

  async ask(parameters) {
    this.controller?.abort();
    const controller = new AbortController();
    this.controller = controller;
    const response = await hostFetch('/passages', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(parameters),
      signal: controller.signal,
    });
    return jsonAnswer(response);
  }

  // text: the field's words; asked: what the host is asked for them.
  async fetchAnswer(text, asked) {
    clearTimeout(this.timer);
    this.asked = asked;
    try {
      const answer = await this.ask({ words: asked });
      if (text !== this.words) return;
      this.show(answer);
    } catch (failure) {
      if (failure?.name === 'AbortError' || text !== this.words) return;
      this.answer = null;
      this.element.hidden = false;
      this.list.replaceChildren();
      this.progress.textContent = `Can't search the books' text: ${failure.message}`;
    }
  }

  show(answer) {
    const progress = answer.progress ?? {};
    const books = answer.books ?? [];
    this.answer = answer;
    const indexing = progress.indexed < progress.total;
    // Passages already shown stay as they are while the keyboard is among them.
    if (!this.list.contains(document.activeElement))
      this.list.replaceChildren(...books.map((book) => this.bookItem(book)));
    this.element.classList.toggle('found', this.list.childElementCount > 0);
    this.say();
    if (indexing || progress.indexing) {
      const { words, asked } = this;
      this.timer = setTimeout(() => this.fetchAnswer(words, asked), indexingPause);
    }
  }

  // The line over the passages: how far indexing has come, or that none holds the words when
  // books were found by title; with no book found at all the list says it alone.
  say() {
    if (!this.answer) return;
    const { indexed, total } = this.answer.progress ?? {};
    const nothing = this.list.childElementCount === 0;
    if (indexed < total) {
      this.progress.textContent = `Searching ${count(indexed)} of ${count(total)} books' text`;
    } else {
      this.progress.textContent = nothing && this.rowsFound() ? noPassage : '';
    }
    this.element.hidden = nothing && this.progress.textContent === '';
  }

  // The field's rows were drawn again: whether the line is needed may have changed.
  rowsChanged() {
    this.say();
  }

  bookItem(book) {
    const kept = this.expanded.get(book.file);
    if (kept) return kept;
    const item = document.createElement('li');
    item.className = 'passage-book';
    const heading = document.createElement('h2');
    heading.className = 'passage-book-title';
    heading.textContent = book.title || book.file;
    const author = document.createElement('p');
    author.className = 'passage-book-author';
    author.textContent = book.author ?? '';
    const passages = document.createElement('ul');
    passages.className = 'passages';
    passages.append(...(book.passages ?? []).map((passage) => this.passageItem(book, passage)));
    item.append(heading, author, passages);
    if (book.more) {
      const more = document.createElement('button');
      more.type = 'button';
      more.className = 'passages-more';
      more.textContent = 'more in this book';
      more.setAttribute('aria-label', `more in this book: ${heading.textContent}`);
      more.addEventListener('click', () => this.showAll(book, item, passages, more));
      item.append(more);
    }
    return item;
  }

  passageItem(book, passage) {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'passage';
    const chapter = document.createElement('span');
    chapter.className = 'passage-chapter';
    chapter.textContent = passage.chapter ?? '';
    const snippet = document.createElement('span');
    snippet.className = 'passage-snippet';
    snippet.dir = 'auto';
    snippet.append(...markedSnippet(passage.snippet, passage.marks));
    button.append(chapter, snippet);
    button.addEventListener('click', () => this.open({
      file: book.file, title: book.title, document: passage.document, offset: passage.offset,
      marked: firstMarkedRun(passage.snippet, passage.marks),
    }));
    item.append(button);
    return item;
  }

  async showAll(book, item, passages, more) {
    const text = this.words;
    more.disabled = true;
    try {
      const answer = await this.ask({ words: this.asked, book: book.file });
      if (text !== this.words) return;
      const all = answer.books?.[0]?.passages ?? [];
      passages.replaceChildren(...all.map((passage) => this.passageItem(book, passage)));
      more.remove();
      this.expanded.set(book.file, item);
      passages.querySelector('button')?.focus();
    } catch (failure) {
      if (failure?.name === 'AbortError') return;
      more.disabled = false;
      this.progress.textContent = `Can't search the books' text: ${failure.message}`;
    }
  }
}
