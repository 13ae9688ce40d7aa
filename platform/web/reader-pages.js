// The pages of one document of the book's spine, shown in a sandboxed frame in which none of the
// book's scripts run. A reflowable document is paged in screens as its writing mode and direction
// run (reader-flow.js), or scrolled as one long column; a fixed-layout page is scaled whole into
// the screen, beside its facing page on a landscape screen (reader-fixed.js). Only the documents
// shown are ever loaded, so a large book opens as fast as a small one.
//
// What the rest of the reader may ask of the pages, in every layout:
//   pageOf(node, offset)     the page of the document that holds that place
//   showNode(node, offset)   turns to that page (what a jump to a fragment does)
//   firstVisible()           { node, offset } of the first text shown now, or { node, offset: 0,
//                            picture: true } of a picture shown before it; or null
//   position                 { spine, page, pageCount, fraction, failure }
//   progression              'ltr' or 'rtl': the side the next page lies on

import {
  Screens, documentFlow, firstPlace, fitWideBoxes, flowCSS, isPicture, placeRect, readablePlaceFrom,
  relaxBreaks, writeStyle,
} from './reader-flow.js';
import { fixedCSS, placeSpread, showFacing, spreadOf, unplace } from './reader-fixed.js';
import { listenToPage } from './reader-input.js';
import { isPage, pageFrame } from './reader-frame.js';

export function contentURL(session, path, asHTML = false) {
  const encoded = path.split('/').map(encodeURIComponent).join('/');
  return `/reader/${session}/${encoded}${asHTML ? '?as=html' : ''}`;
}

function clamp(value, low, high) {
  return Math.min(Math.max(value, low), high);
}

export class PageView {
  // options: session, spine, book ({ progression, writingMode }), vertical (scrolled), onTap(zone),
  // onSwipe(direction), onKey(event), onLink(index, fragment), onSelection(), onMarkTapped(id,
  // rect), onLoaded(), onPosition(), keepPlaceThrough(change): runs change (a new layout as
  // pictures arrive) and shows the place kept before it again
  constructor(options) {
    this.options = options;
    this.frame = pageFrame();
    // The facing page of a fixed-layout spread, and its spine index; the page being read is
    // always in frame.
    this.partner = null;
    this.facingIndex = -1;
    this.spread = [];
    this.spineIndex = -1;
    this.page = 0;
    this.pageCount = 1;
    this.appearance = '';
    this.flow = null;
    this.screens = null;
    this.scale = 1;
    this.loading = Promise.resolve();
    // Whether a document is being loaded into the frame.
    this.opening = false;
    this.expectingLoad = false;
    // A frame taken out of the page and put back loads its document again: it is set up anew at
    // the kept place.
    this.frame.addEventListener('load', () => {
      if (!this.expectingLoad) this.reloaded();
    });
  }

  reloaded() {
    const doc = this.document;
    if (this.spineIndex < 0 || this.failure || !doc || !isPage(doc)) return;
    const setUp = () => {
      this.prepare(doc, this.frame);
      this.options.onLoaded?.();
      this.layout();
    };
    // The kept place, not the page number, which a new size may have changed meanwhile.
    if (this.options.keepPlaceThrough) {
      this.options.keepPlaceThrough(setUp);
      return;
    }
    const page = this.page;
    setUp();
    this.goToPlace({ page });
  }

  get document() {
    try {
      return this.frame.contentDocument;
    } catch {
      return null;
    }
  }

  get fixed() {
    return this.options.spine[this.spineIndex]?.layout === 'pre-paginated';
  }

  // Scrolled as one long column: what the settings ask for, where the text runs across the screen.
  get vertical() {
    return Boolean(this.options.vertical) && !this.fixed && this.flow?.axis !== 'y';
  }

  // The side the next page lies on: the book's page progression, else its text's direction.
  get progression() {
    const declared = this.options.book?.progression;
    if (declared === 'rtl' || declared === 'ltr') return declared;
    return this.flow?.progression ?? 'ltr';
  }

  get stageSize() {
    const stage = this.frame.parentElement;
    return {
      width: stage?.clientWidth || this.frame.clientWidth || 1,
      height: stage?.clientHeight || this.frame.clientHeight || 1,
    };
  }

  // Where the reader is: the spine index, the page in the document and how many it has, and the
  // fraction of the document read before this page.
  get position() {
    const fraction = this.pageCount > 1 ? this.page / (this.pageCount - 1) : 0;
    return {
      spine: this.spineIndex,
      page: this.page,
      pageCount: this.pageCount,
      fraction,
      failure: this.failure ?? null,
    };
  }

  // Loads the document at index and goes to place: { page: 'first' | 'last' }, { fraction },
  // or { fragment }.
  open(index, place = { page: 'first' }) {
    this.loading = this.loading.then(() => this.load(index, place));
    return this.loading;
  }

  spreadAt(index) {
    const { width, height } = this.stageSize;
    const spine = this.options.spine;
    return spreadOf(spine, index, {
      landscape: width > height,
      progression: this.progression,
      neighbour: (at, step) => neighbour(spine, at, step),
    });
  }

  // A document being loaded is not shown: it would show its start, not yet laid out in screens,
  // before the place asked for. The screen shows it again once it stands at that place.
  async load(index, place) {
    const spine = this.options.spine;
    if (index < 0 || index >= spine.length) return;
    const spread = this.spreadAt(index);
    index = spread[0];
    const opening = index !== this.spineIndex || this.failure;
    this.opening = Boolean(opening);
    this.frame.parentElement?.classList.toggle('opening', this.opening);
    try {
      if (opening) {
        this.spineIndex = index;
        this.failure = null;
        await this.navigate(this.frame, spine[index].path);
        const doc = this.document;
        if (!doc || !isPage(doc)) {
          this.failure = doc?.body?.textContent?.trim() || 'This part of the book cannot be shown.';
          this.page = 0;
          this.pageCount = 1;
          await showFacing(this, undefined);
          this.options.onLoaded?.();
          this.options.onPosition?.();
          return;
        }
        this.opening = false;
        this.prepare(doc, this.frame);
        this.options.onLoaded?.();
      }
      await showFacing(this, spread[1]);
      this.layout();
      this.goToPlace(place);
    } finally {
      this.opening = false;
      this.frame.parentElement?.classList.remove('opening');
    }
  }

  async navigate(frame, path) {
    const load = (url) => new Promise((resolve) => {
      const done = () => {
        frame.removeEventListener('load', done);
        this.expectingLoad = false;
        resolve();
      };
      this.expectingLoad = true;
      frame.addEventListener('load', done);
      frame.src = url;
    });
    await load(contentURL(this.options.session, path));
    const doc = frame.contentDocument;
    // Not well-formed XHTML: read again as HTML, which forgives what XML does not.
    if (doc && isBrokenXML(doc)) await load(contentURL(this.options.session, path, true));
  }

  // Styles and listeners of a freshly loaded document; the flow is read before the reader's own
  // style is written.
  prepare(doc, frame) {
    if (frame === this.frame) {
      this.appearance = '';
      this.flow = documentFlow(doc, this.options.book?.writingMode);
    }
    listenToPage(doc, frame, this);
    if (frame !== this.frame) return;
    // Pictures that arrive later change how many pages there are.
    for (const image of doc.images) image.addEventListener('load', () => this.relayout(), { once: true });
    doc.defaultView?.addEventListener('scroll', () => {
      if (this.vertical) this.readScroll();
    });
  }

  // The spine index and fragment a link of the book leads to; null for a link out of the book.
  linkTarget(url) {
    const prefix = `/reader/${this.options.session}/`;
    if (url.origin !== window.location.origin || !url.pathname.startsWith(prefix)) return null;
    const path = url.pathname.slice(prefix.length).split('/').map(decodeURIComponent).join('/');
    return {
      index: this.options.spine.findIndex((item) => item.path === path),
      fragment: decodeURIComponent(url.hash.slice(1)),
    };
  }

  // A rectangle inside the frame in the page's coordinates.
  frameRect(rect) {
    const outer = this.frame.getBoundingClientRect();
    const scale = this.fixed ? this.scale : 1;
    return {
      left: rect.left * scale + outer.left,
      top: rect.top * scale + outer.top,
      right: rect.right * scale + outer.left,
      bottom: rect.bottom * scale + outer.top,
    };
  }

  // The look the reader gives every reflowable page, written as one style sheet the book's own
  // rules yield to, and the look of what find marks, which designed pages take too.
  setAppearance(css, foundCSS = '') {
    this.appearanceCSS = css;
    this.foundCSS = foundCSS;
    this.applyStyle();
  }

  // The document of the spine index when it is shown, as the page read or its facing page.
  documentOf(index) {
    if (index === this.spineIndex) return this.document;
    if (index !== this.spread[1] || !this.partner || this.partner.hidden) return null;
    return this.partner.contentDocument;
  }

  applyStyle() {
    const doc = this.document;
    // Nothing is written into the empty document a frame starts with, which lives under the
    // policy of the page around it.
    if (!doc?.documentElement || this.failure || this.spineIndex < 0 || doc.URL === 'about:blank') return;
    const { width, height } = this.stageSize;
    let css;
    if (this.fixed) {
      // A designed page keeps its own type and colours.
      css = `${fixedCSS}${this.foundCSS ?? ''}`;
      const facing = this.spread[1] !== undefined ? this.partner?.contentDocument : null;
      if (facing?.documentElement) writeStyle(facing, css);
    } else {
      const layout = this.vertical
        ? `html { height: auto !important; overflow-x: hidden !important; overflow-y: auto !important; }`
        : flowCSS(this.flow ?? { axis: 'x' }, width, height);
      css = `html, body { margin: 0 !important; padding: 0 !important; }
        html { scrollbar-width: none; }
        img, svg, video { max-width: 100% !important; object-fit: contain; }
        ${layout}
        ${this.appearanceCSS ?? ''}
        ${this.foundCSS ?? ''}`;
    }
    const key = `${width}x${height}:${css}`;
    if (key === this.appearance) return;
    this.appearance = key;
    writeStyle(doc, css);
  }

  layout() {
    // Before a document arrives there is nothing to lay out, nor any page to count.
    if (this.spineIndex < 0 || this.opening) return;
    this.scale = this.fixed ? placeSpread(this) : unplace(this.frame);
    this.applyStyle();
    const doc = this.document;
    if (!doc?.documentElement || this.failure) return;
    const { width, height } = this.stageSize;
    if (this.fixed) {
      this.screens = null;
      this.pageCount = 1;
    } else if (this.vertical) {
      this.screens = null;
      fitWideBoxes(doc, { axis: 'x' });
      this.pageCount = Math.max(
        1,
        Math.ceil((doc.scrollingElement ?? doc.documentElement).scrollHeight / height),
      );
    } else {
      const flow = this.flow ?? { axis: 'x' };
      const fitted = fitWideBoxes(doc, flow);
      this.screens = new Screens(doc, flow, width, height);
      if (relaxBreaks(doc, flow) || fitted) this.screens = new Screens(doc, flow, width, height);
      this.pageCount = this.screens.count;
    }
  }

  // After a change of size or of the look, the same place of the document stays in view; a
  // fixed-layout book may go from single pages to spreads.
  relayout() {
    if (this.spineIndex < 0 || this.failure) return;
    if (this.fixed) {
      const spread = this.spreadAt(this.spineIndex);
      if (spread.length !== this.spread.length || spread[0] !== this.spineIndex) {
        this.open(this.spineIndex, { page: 'first' });
        return;
      }
    }
    if (this.options.keepPlaceThrough) {
      this.options.keepPlaceThrough(() => this.layout());
      return;
    }
    const fraction = this.position.fraction;
    this.layout();
    this.goToPlace({ fraction });
  }

  goToPlace(place) {
    if (place.fragment) {
      const doc = this.document;
      const target =
        doc?.getElementById(place.fragment) ?? doc?.getElementsByName?.(place.fragment)?.[0];
      if (target) {
        this.showNode(target, 0);
        return;
      }
    }
    if (typeof place.fraction === 'number') this.showPage(Math.round(place.fraction * (this.pageCount - 1)));
    else if (typeof place.page === 'number') this.showPage(place.page);
    else this.showPage(place.page === 'last' ? this.pageCount - 1 : 0);
  }

  // The page of the document shown that holds the place (node, offset).
  pageOf(node, offset = 0) {
    if (this.fixed || !node || node.ownerDocument !== this.document) return 0;
    const rect = placeRect(node, offset);
    if (!rect) return this.page;
    if (this.vertical) {
      const scroller = this.document.scrollingElement ?? this.document.documentElement;
      return Math.floor((rect.top + scroller.scrollTop) / (this.stageSize.height || 1));
    }
    return clamp(this.screens?.pageOfRect(rect) ?? 0, 0, this.pageCount - 1);
  }

  // Turns to the page that holds the place (node, offset).
  showNode(node, offset = 0) {
    if (this.vertical && node?.ownerDocument === this.document) {
      const rect = placeRect(node, offset);
      const scroller = this.document.scrollingElement ?? this.document.documentElement;
      if (rect) scroller.scrollTop += rect.top;
      this.readScroll();
      return;
    }
    this.showPage(this.pageOf(node, offset));
  }

  // The first text shown now, as { node, offset }; null when the page shows none.
  firstVisible() {
    const doc = this.document;
    if (!doc?.documentElement || this.failure) return null;
    if (this.fixed) return firstPlace(doc, () => false);
    if (this.vertical) return firstPlace(doc, (rect) => rect.bottom <= 0);
    return firstPlace(doc, (rect) => this.screens.isBefore(rect));
  }

  showPage(page) {
    this.page = clamp(page, 0, this.pageCount - 1);
    const doc = this.document;
    const scroller = doc?.scrollingElement ?? doc?.documentElement;
    if (scroller && !this.failure) {
      if (this.vertical) scroller.scrollTop = this.page * this.stageSize.height;
      else this.screens?.show(this.page);
    }
    this.options.onPosition?.();
  }

  readScroll() {
    const doc = this.document;
    const scroller = doc?.scrollingElement ?? doc?.documentElement;
    if (!scroller) return;
    const height = this.stageSize.height;
    const room = Math.max(1, scroller.scrollHeight - height);
    this.page = Math.round((scroller.scrollTop / room) * (this.pageCount - 1));
    this.options.onPosition?.();
  }

  // The next screenful, or the first page of the next document (past a facing page).
  async next() {
    await this.loading;
    if (this.vertical && !this.failure) {
      const scroller = this.document.scrollingElement;
      const height = this.stageSize.height;
      if (scroller.scrollTop + height < scroller.scrollHeight - 2) {
        scroller.scrollTop += Math.max(1, height - 32);
        this.readScroll();
        return true;
      }
    } else if (this.page < this.pageCount - 1) {
      this.showPage(this.page + 1);
      return true;
    }
    const last = this.spread.length > 1 && !this.failure ? this.spread[1] : this.spineIndex;
    const following = neighbour(this.options.spine, last, 1);
    if (following < 0) return false;
    await this.open(following, { page: 'first' });
    return true;
  }

  async previous() {
    await this.loading;
    if (this.vertical && !this.failure) {
      const scroller = this.document.scrollingElement;
      if (scroller.scrollTop > 0) {
        scroller.scrollTop -= Math.max(1, this.stageSize.height - 32);
        this.readScroll();
        return true;
      }
    } else if (this.page > 0) {
      this.showPage(this.page - 1);
      return true;
    }
    const preceding = neighbour(this.options.spine, this.spineIndex, -1);
    if (preceding < 0) return false;
    await this.open(preceding, { page: 'last' });
    if (this.vertical && !this.failure) {
      const scroller = this.document.scrollingElement;
      scroller.scrollTop = scroller.scrollHeight;
      this.readScroll();
    }
    return true;
  }
}

// The document after (step 1) or before (step -1) the one at index in reading order, or -1.
// Documents the book keeps out of its reading order (notes, answers, a cover page) are reached
// through links and the contents only; a book that keeps every document out is read in order.
export function neighbour(spine, index, step) {
  const skipsSome = spine.some((item) => item.linear !== false);
  for (let next = index + step; next >= 0 && next < spine.length; next += step) {
    if (!skipsSome || spine[next].linear !== false) return next;
  }
  return -1;
}

function isBrokenXML(doc) {
  return doc.contentType === 'application/xhtml+xml' && doc.getElementsByTagName('parsererror').length > 0;
}

// The place interface of the place keeper and the search: the paginator's own firstVisible and
// showNode, with what they need checked first, so that the layout can change around them.

// The first character shown now, as { node, offset } in a text node of the body, or the picture
// shown before it ({ node, offset: 0, picture: true }), or null when the screen shows neither (a
// part that failed).
export function firstVisiblePoint(view) {
  if (!view.document?.body || view.failure || view.spineIndex < 0) return null;
  const point = view.firstVisible();
  return point && view.document.body.contains(point.node) ? point : null;
}

// Shows the screen that holds the character at offset of a text node of the document shown, or
// the first character after it that is laid out and read (not hidden, not white space), or the
// picture given when it is laid out; false when there is none.
export function showPoint(view, node, offset) {
  if (!view.document || view.failure || !node?.isConnected || node.ownerDocument !== view.document)
    return false;
  if (isPicture(node)) {
    if (![...node.getClientRects()].some((r) => r.width || r.height)) return false;
    view.showNode(node, 0);
    return true;
  }
  const place = readablePlaceFrom(node, Math.min(offset, node.length));
  if (!place) return false;
  view.showNode(place.node, place.offset);
  return true;
}
