// What the reader offers for selected words — keep them as a highlight, share them as a quote —
// and for a highlight tapped — remove it. Highlights are kept by the program, in the highlight
// database of the reader's configuration; this page only asks for them and draws them.

import { hostFetch, jsonAnswer } from './connection.js';
import { drawHighlight, eraseHighlight, selectedRange } from './reader-highlights.js';
import { shareQuote } from './reader-quote.js';

function menuButton(text, onClick) {
  const made = document.createElement('button');
  made.type = 'button';
  made.className = 'reader-menu-item';
  made.textContent = text;
  made.addEventListener('click', (event) => {
    event.stopPropagation();
    onClick();
  });
  return made;
}

// A request to the reader's routes of the open book (its actions, its search), sent as every
// request of the reader is; the answer is the response, to be read by the caller.
export function readerRequest(session, route, body, signal, keepalive = false) {
  return hostFetch(`/reader/${session}/${route}`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
    signal,
    keepalive,
  });
}

export class SelectionMenu {
  // reader: the reader screen, for its session, description, settings, pages and element.
  constructor(reader) {
    this.reader = reader;
    this.highlights = [];
    this.element = document.createElement('div');
    this.element.className = 'reader-menu';
    this.element.setAttribute('role', 'toolbar');
    this.element.setAttribute('aria-label', 'Selection');
    this.element.hidden = true;
  }

  get shown() {
    return !this.element.hidden;
  }

  get keeping() {
    const highlights = this.reader.description.highlights;
    return Boolean(highlights?.available && !highlights.readOnly);
  }

  async action(body) {
    return (await jsonAnswer(await readerRequest(this.reader.session, 'action', body))) ?? {};
  }

  async loadHighlights() {
    if (!this.reader.description.highlights?.available) return;
    try {
      this.highlights = (await this.action({ type: 'highlights' })).highlights ?? [];
      this.pageLoaded();
    } catch {
      this.highlights = [];
    }
    this.reader.highlightsChanged();
  }

  // Draws the highlights of the document just shown.
  pageLoaded() {
    const pages = this.reader.pages;
    const doc = pages?.document;
    const path = this.reader.spine[pages?.spineIndex]?.path;
    if (!doc || !path || pages.position.failure || doc.querySelector('mark[data-highlight]')) return;
    for (const highlight of this.highlights) {
      if (highlight.document === path) drawHighlight(doc, highlight);
    }
  }

  selectionChanged() {
    clearTimeout(this.timer);
    // Waits for the selection to settle, so the menu does not chase a dragging pointer.
    this.timer = setTimeout(() => {
      const pages = this.reader.pages;
      const range = pages?.document && selectedRange(pages.document);
      if (!range) {
        if (this.element.dataset.kind === 'selection') this.hide();
        return;
      }
      const entries = [];
      if (this.keeping) entries.push(['Highlight', () => this.highlight(range)]);
      if (this.reader.settings.allowsQuoteSharing) entries.push(['Share quote', () => this.share(range.text)]);
      this.show('selection', entries, pages.frameRect(range.rect));
    }, 250);
  }

  show(kind, entries, rect) {
    if (entries.length === 0) {
      this.hide();
      return;
    }
    this.element.dataset.kind = kind;
    this.element.replaceChildren(...entries.map(([text, run]) => menuButton(text, () => {
      this.hide();
      run();
    })));
    this.element.hidden = false;
    const bounds = this.reader.element.getBoundingClientRect();
    const width = this.element.offsetWidth;
    const left = Math.min(
      Math.max(8, (rect.left + rect.right) / 2 - width / 2 - bounds.left),
      bounds.width - width - 8,
    );
    const above = rect.top - bounds.top - this.element.offsetHeight - 8;
    this.element.style.left = `${left}px`;
    this.element.style.top = `${above > 8 ? above : rect.bottom - bounds.top + 8}px`;
  }

  hide() {
    this.element.hidden = true;
    delete this.element.dataset.kind;
  }

  async highlight(range) {
    const pages = this.reader.pages;
    const path = this.reader.spine[pages.spineIndex]?.path;
    try {
      const answer = await this.action({ type: 'addHighlight', document: path, start: range.start, end: range.end, text: range.text });
      this.highlights.push(answer.highlight);
      pages.document.getSelection().removeAllRanges();
      drawHighlight(pages.document, answer.highlight);
      // Asked again, so the list stands in the book's order with each highlight's chapter.
      await this.loadHighlights();
    } catch (failure) {
      this.show('notice', [[`Not highlighted: ${failure.message}`, () => {}]], pages.frameRect(range.rect));
    }
  }

  offerRemoval(id, rect) {
    if (!this.keeping) return;
    this.show('highlight', [['Remove highlight', async () => {
      try {
        await this.action({ type: 'removeHighlight', id });
        this.highlights = this.highlights.filter((highlight) => highlight.id !== id);
        eraseHighlight(this.reader.pages.document, id);
        this.reader.highlightsChanged();
      } catch (failure) {
        // The mark stays, as the highlight does.
        this.show('notice', [[`Not removed: ${failure.message}`, () => {}]], rect);
      }
    }]], rect);
  }

  share(text) {
    const { description, settings, element, closeButton } = this.reader;
    const quote = { text, title: description.title, author: description.author };
    shareQuote(element, quote, settings, description.images ?? [], () => closeButton.focus());
  }
}
