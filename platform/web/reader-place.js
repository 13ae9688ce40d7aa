// Where the reader is in the book: the document shown and the first character on screen, counted
// in the document's body text as highlights are, or the picture a screen begins with (the first,
// second… picture after so many characters, as pictures may stand side by side). The program
// keeps it, with the text size and night mode, so a book reopens where it was left; here it is
// also what a new window size or text size brings back into view.

import { offsetOf, textNodes } from './reader-highlights.js';
import { isPicture } from './reader-flow.js';
import { firstVisiblePoint, showPoint } from './reader-pages.js';
import { readerRequest } from './reader-selection.js';
import { tellOnPage } from './page-drawing.js';

const saveDelay = 700;
const leftKey = (session) => `pagewyn-place-${session}`;

// The place a page left the book of the session at as it went away (a reload), or null.
export function leftPlace(session) {
  try {
    const place = JSON.parse(sessionStorage.getItem(leftKey(session)));
    return place && typeof place === 'object' ? place : null;
  } catch {
    return null;
  }
}

// The text node and offset of the character at offset of the body's text, or null past its end.
export function pointAt(doc, offset) {
  let count = 0;
  for (const node of textNodes(doc)) {
    if (offset < count + node.data.length) return { node, offset: offset - count };
    count += node.data.length;
  }
  return null;
}

// The pictures of the body in reading order, each with the characters of its text before it and
// its count among the pictures after as many (1 for the first).
function* picturesOf(doc) {
  const body = doc.body ?? doc.documentElement;
  if (!body) return;
  const walker = doc.createTreeWalker(body, NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT);
  let offset = 0;
  let count = 0;
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    if (node.nodeType === Node.TEXT_NODE) {
      if (node.data.length) count = 0;
      offset += node.data.length;
    } else if (isPicture(node)) {
      yield { node, offset, count: ++count };
    }
  }
}

// The picture-th picture after offset characters of the body's text, or null.
export function pictureAt(doc, offset, picture) {
  for (const found of picturesOf(doc)) {
    if (found.offset > offset) break;
    if (found.offset === offset && found.count === picture) return found.node;
  }
  return null;
}

// Where a picture stands: { offset, picture } as the place keeps it.
function pictureOffset(doc, node) {
  for (const found of picturesOf(doc)) {
    if (found.node === node) return { offset: found.offset, picture: found.count };
  }
  return { offset: 0, picture: 0 };
}

// Whether the place (the character at offset, or a picture after offset characters) stands on
// the screen shown.
function isShown(doc, offset, picture) {
  const point = doc && (picture ? { node: pictureAt(doc, offset, picture) } : pointAt(doc, offset));
  if (!point?.node) return false;
  const range = doc.createRange();
  if (picture) range.selectNode(point.node);
  else {
    range.setStart(point.node, point.offset);
    range.setEnd(point.node, Math.min(point.node.length, point.offset + 1));
  }
  const rect = range.getBoundingClientRect();
  const view = doc.defaultView;
  return (
    rect.width + rect.height > 0 &&
    rect.right > 0 &&
    rect.left < view.innerWidth &&
    rect.bottom > 0 &&
    rect.top < view.innerHeight
  );
}

export class PlaceKeeper {
  // reader: the reader screen, for its pages, settings and actions.
  constructor(reader) {
    this.reader = reader;
    this.spine = -1;
    this.offset = 0;
    this.picture = 0;
    // How many changes hold the place now: a picture may arrive while the book is being opened.
    this.holding = 0;
    this.timer = null;
    this.saved = '';
    this.failing = false;
    // A page going away sends a place not sent yet on its way out, and leaves it for the page
    // that a reload brings.
    window.addEventListener('pagehide', () => {
      if (this.spine < 0 || !this.reader.element.isConnected) return;
      try {
        sessionStorage.setItem(leftKey(this.reader.session), JSON.stringify(this.place()));
      } catch {
        // Without the storage a reload opens the book at the place last sent.
      }
      if (this.timer !== null) this.save(true);
    });
  }

  // The page shown changed: the place is its first character, unless the place kept is still on
  // it (the same page laid out anew), so the place never creeps back to the start of a page.
  noted() {
    const pages = this.reader.pages;
    if (this.holding || !pages || pages.spineIndex < 0) return;
    if (pages.spineIndex === this.spine && isShown(pages.document, this.offset, this.picture))
      return;
    const point = firstVisiblePoint(pages);
    const sameDocument = this.spine === pages.spineIndex;
    this.spine = pages.spineIndex;
    if (point?.picture) {
      ({ offset: this.offset, picture: this.picture } = pictureOffset(pages.document, point.node));
    } else if (point) {
      this.offset = offsetOf(textNodes(pages.document), point.node, point.offset);
      this.picture = 0;
    } else if (!sameDocument || pages.position.page === 0) {
      this.offset = 0;
      this.picture = 0;
    }
    this.changed();
  }

  // The text size or night mode changed.
  changed() {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.save(), saveDelay);
  }

  // Opens the book at index and shows the character at offset (or the picture-th picture after
  // offset characters); a place that is not in the document any more leaves its first page shown.
  async open(index, offset, picture = 0) {
    ++this.holding;
    try {
      await this.reader.pages.open(index, { page: 'first' });
      this.spine = index;
      this.offset = offset;
      this.picture = picture;
      this.show();
    } finally {
      --this.holding;
    }
  }

  // Runs change (a new size or look of the page), then shows the kept place again. The place
  // itself stays as it was, so sizes changed back and forth never creep away from it.
  keepThrough(change) {
    ++this.holding;
    try {
      change();
      this.show();
    } finally {
      --this.holding;
    }
  }

  show() {
    const pages = this.reader.pages;
    if (!pages?.document || pages.spineIndex < 0 || pages.opening) return;
    // A document other than the place's (one still opening) keeps the screen it shows.
    if (pages.spineIndex !== this.spine) {
      pages.showPage(pages.position.page);
      return;
    }
    // A picture no longer there (or not laid out) gives way to the text that followed it.
    const picture = this.picture && pictureAt(pages.document, this.offset, this.picture);
    if (picture && showPoint(pages, picture, 0)) return;
    const point = pointAt(pages.document, this.offset);
    if (!point || !showPoint(pages, point.node, point.offset)) pages.showPage(pages.position.page);
  }

  place() {
    const { fontScale, night } = this.reader;
    const finished = this.finished();
    const { spine, offset, picture } = this;
    return { spine, offset, picture, fontScale, night, finished };
  }

  // Whether the book's last screen is shown: the list then shows the book as finished.
  finished() {
    const pages = this.reader.pages;
    const last = this.reader.spine.length - 1;
    if (!pages || this.spine !== last || pages.spineIndex !== this.spine) return false;
    const { page, pageCount } = pages.position;
    return page >= pageCount - 1;
  }

  // Sends the place now when it waits to be sent.
  async flush() {
    if (this.timer === null) return;
    await this.save();
  }

  // leaving: the page is going away, so the request is to outlive it.
  async save(leaving = false) {
    clearTimeout(this.timer);
    this.timer = null;
    // A reader taken off the screen by the program (a book handed over in its place, a close from
    // elsewhere) has no session left to keep its place in.
    if (this.spine < 0 || (!leaving && !this.reader.element.isConnected)) return;
    const place = { type: 'keepPlace', ...this.place() };
    const key = JSON.stringify(place);
    if (key === this.saved) return;
    try {
      if (leaving) readerRequest(this.reader.session, 'action', place, undefined, true);
      else await this.reader.selection.action(place);
      this.saved = key;
      this.failing = false;
    } catch (failure) {
      // A place that cannot be kept only opens the book elsewhere next time; said once, not at
      // every page turned while it lasts.
      if (!this.failing && this.reader.element.isConnected) tellOnPage(`The reading place could not be kept: ${failure.message}`);
      this.failing = true;
    }
  }
}
