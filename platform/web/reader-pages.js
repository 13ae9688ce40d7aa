// The pages of one document of the book's spine, shown in a sandboxed frame in which none of the
// book's scripts run. Paged sideways, the document is laid out in columns one frame wide and the
// frame shows one column at a time; scrolled, it is one long column. Only the document being read
// is ever loaded, so a large book opens as fast as a small one.

const styleId = 'pagewyn-reader-style';
const columnGap = 48;

export function contentURL(session, path, asHTML = false) {
  const encoded = path.split('/').map(encodeURIComponent).join('/');
  return `/reader/${session}/${encoded}${asHTML ? '?as=html' : ''}`;
}

function clamp(value, low, high) {
  return Math.min(Math.max(value, low), high);
}

export class PageView {
  // options: session, spine, vertical, onTap(zone), onSwipe(direction), onKey(event), onLink(index,
  // fragment), onSelection(), onMarkTapped(id, rect), onLoaded(), onPosition()
  constructor(options) {
    this.options = options;
    this.frame = document.createElement('iframe');
    this.frame.className = 'reader-frame';
    // Same origin, so the reader can lay the page out; no scripts, forms, pop-ups or navigation
    // of the page around it.
    this.frame.setAttribute('sandbox', 'allow-same-origin');
    this.frame.setAttribute('title', 'Page');
    this.frame.setAttribute('referrerpolicy', 'no-referrer');
    this.spineIndex = -1;
    this.page = 0;
    this.pageCount = 1;
    this.appearance = '';
    this.loading = Promise.resolve();
    this.expectingLoad = false;
    // A frame taken out of the page and put back loads its document again: it is set up anew at
    // the same page.
    this.frame.addEventListener('load', () => {
      if (!this.expectingLoad) this.reloaded();
    });
  }

  reloaded() {
    const doc = this.document;
    if (this.spineIndex < 0 || this.failure || !doc || !isPage(doc)) return;
    const page = this.page;
    this.prepare(doc);
    this.options.onLoaded?.();
    this.layout();
    this.goToPlace({ page });
  }

  get document() {
    try {
      return this.frame.contentDocument;
    } catch {
      return null;
    }
  }

  get vertical() {
    return Boolean(this.options.vertical);
  }

  // Where the reader is: the spine index, the page in the document and how many it has, and the
  // fraction of the document read before this page.
  get position() {
    const fraction = this.pageCount > 1 ? this.page / (this.pageCount - 1) : 0;
    return { spine: this.spineIndex, page: this.page, pageCount: this.pageCount, fraction, failure: this.failure ?? null };
  }

  // Loads the document at index and goes to place: { page: 'first' | 'last' }, { fraction },
  // or { fragment }.
  open(index, place = { page: 'first' }) {
    this.loading = this.loading.then(() => this.load(index, place));
    return this.loading;
  }

  async load(index, place) {
    const spine = this.options.spine;
    if (index < 0 || index >= spine.length) return;
    if (index !== this.spineIndex || this.failure) {
      this.spineIndex = index;
      this.failure = null;
      await this.navigate(contentURL(this.options.session, spine[index].path));
      let doc = this.document;
      if (doc && isBrokenXML(doc)) {
        // Not well-formed XHTML: read again as HTML, which forgives what XML does not.
        await this.navigate(contentURL(this.options.session, spine[index].path, true));
        doc = this.document;
      }
      if (!doc || !isPage(doc)) {
        this.failure = doc?.body?.textContent?.trim() || 'This part of the book cannot be shown.';
        this.page = 0;
        this.pageCount = 1;
        this.options.onLoaded?.();
        this.options.onPosition?.();
        return;
      }
      this.prepare(doc);
      this.options.onLoaded?.();
    }
    this.layout();
    this.goToPlace(place);
  }

  navigate(url) {
    this.expectingLoad = true;
    return new Promise((resolve) => {
      const done = () => {
        this.frame.removeEventListener('load', done);
        this.expectingLoad = false;
        resolve();
      };
      this.frame.addEventListener('load', done);
      this.frame.src = url;
    });
  }

  // Styles and listeners of a freshly loaded document.
  prepare(doc) {
    this.appearance = '';
    const view = doc.defaultView;
    doc.addEventListener('click', (event) => this.clicked(event));
    doc.addEventListener('keydown', (event) => this.options.onKey?.(event));
    doc.addEventListener('selectionchange', () => this.options.onSelection?.());
    let start = null;
    doc.addEventListener('touchstart', (event) => {
      const touch = event.changedTouches[0];
      start = touch ? { x: touch.clientX, y: touch.clientY } : null;
    }, { passive: true });
    doc.addEventListener('touchend', (event) => {
      const touch = event.changedTouches[0];
      if (!start || !touch) return;
      const dx = touch.clientX - start.x;
      const dy = touch.clientY - start.y;
      start = null;
      if (Math.abs(dx) > 40 && Math.abs(dx) > Math.abs(dy) * 1.5 && doc.getSelection().isCollapsed) {
        this.options.onSwipe?.(dx < 0 ? 'next' : 'previous');
      }
    }, { passive: true });
    // Pictures that arrive later change how many pages there are.
    for (const image of doc.images) image.addEventListener('load', () => this.relayout(), { once: true });
    view?.addEventListener('scroll', () => {
      if (this.vertical) this.readScroll();
    });
  }

  clicked(event) {
    const doc = this.document;
    const link = event.target.closest?.('a[href]');
    if (link) {
      event.preventDefault();
      this.followLink(link);
      return;
    }
    const mark = event.target.closest?.('mark[data-highlight]');
    if (mark && doc.getSelection().isCollapsed) {
      this.options.onMarkTapped?.(mark.dataset.highlight, this.frameRect(mark.getBoundingClientRect()));
      return;
    }
    if (!doc.getSelection().isCollapsed) return;
    const width = this.frame.clientWidth || 1;
    const x = event.clientX / width;
    this.options.onTap?.(x < 0.3 ? 'previous' : x > 0.7 ? 'next' : 'middle');
  }

  followLink(link) {
    let target;
    try {
      target = new URL(link.getAttribute('href'), this.document.baseURI);
    } catch {
      return;
    }
    const prefix = `/reader/${this.options.session}/`;
    if (target.origin === window.location.origin && target.pathname.startsWith(prefix)) {
      const path = target.pathname.slice(prefix.length).split('/').map(decodeURIComponent).join('/');
      const index = this.options.spine.findIndex((item) => item.path === path);
      if (index >= 0) this.options.onLink?.(index, decodeURIComponent(target.hash.slice(1)));
      return;
    }
    if (/^(https?|mailto):$/.test(target.protocol)) window.open(target.href, '_blank', 'noopener,noreferrer');
  }

  // A rectangle inside the frame in the page's coordinates.
  frameRect(rect) {
    const outer = this.frame.getBoundingClientRect();
    return { left: rect.left + outer.left, top: rect.top + outer.top, right: rect.right + outer.left, bottom: rect.bottom + outer.top };
  }

  // The look the reader gives every page, written as one style sheet the book's own rules yield to.
  setAppearance(css) {
    this.appearanceCSS = css;
    this.applyStyle();
  }

  applyStyle() {
    const doc = this.document;
    // Nothing is written into the empty document a frame starts with, which lives under the
    // policy of the page around it.
    if (!doc?.documentElement || this.failure || this.spineIndex < 0 || doc.URL === 'about:blank') return;
    const width = this.frame.clientWidth;
    const height = this.frame.clientHeight;
    const layout = this.vertical
      ? `html { height: auto !important; overflow-x: hidden !important; overflow-y: auto !important; }`
      : `html { height: ${height}px !important; width: ${width}px !important; overflow: hidden !important;
               column-width: ${width}px !important; column-gap: ${columnGap}px !important; column-fill: auto !important; }
         img, svg, video, table, figure { max-height: ${Math.max(40, height - 8)}px !important; break-inside: avoid; }`;
    const css = `html, body { margin: 0 !important; padding: 0 !important; }
      html { scrollbar-width: none; }
      img, svg, video { max-width: 100% !important; object-fit: contain; }
      ${layout}
      ${this.appearanceCSS ?? ''}`;
    const key = `${width}x${height}:${css}`;
    if (key === this.appearance) return;
    this.appearance = key;
    let style = doc.getElementById(styleId);
    if (!style) {
      style = doc.createElementNS('http://www.w3.org/1999/xhtml', 'style');
      style.id = styleId;
      (doc.head ?? doc.documentElement).append(style);
    }
    style.textContent = css;
  }

  layout() {
    this.applyStyle();
    const doc = this.document;
    if (!doc?.documentElement || this.failure) return;
    const scroller = doc.scrollingElement ?? doc.documentElement;
    if (this.vertical) {
      const height = this.frame.clientHeight || 1;
      this.pageCount = Math.max(1, Math.ceil(scroller.scrollHeight / height));
    } else {
      const step = (this.frame.clientWidth || 1) + columnGap;
      this.pageCount = Math.max(1, Math.round((scroller.scrollWidth + columnGap) / step));
    }
  }

  // After a change of size or of the look, the same place of the document stays in view.
  relayout() {
    if (this.spineIndex < 0 || this.failure) return;
    const fraction = this.position.fraction;
    this.layout();
    this.goToPlace({ fraction });
  }

  goToPlace(place) {
    if (place.fragment) {
      const doc = this.document;
      const target = doc?.getElementById(place.fragment) ?? doc?.getElementsByName?.(place.fragment)?.[0];
      if (target) {
        this.showPage(this.pageOf(target));
        return;
      }
    }
    if (typeof place.fraction === 'number') this.showPage(Math.round(place.fraction * (this.pageCount - 1)));
    else if (typeof place.page === 'number') this.showPage(place.page);
    else this.showPage(place.page === 'last' ? this.pageCount - 1 : 0);
  }

  pageOf(element) {
    const scroller = this.document.scrollingElement ?? this.document.documentElement;
    const rect = element.getBoundingClientRect();
    if (this.vertical) return Math.floor((rect.top + scroller.scrollTop) / (this.frame.clientHeight || 1));
    return Math.floor((rect.left + scroller.scrollLeft) / ((this.frame.clientWidth || 1) + columnGap));
  }

  showPage(page) {
    this.page = clamp(page, 0, this.pageCount - 1);
    const doc = this.document;
    const scroller = doc?.scrollingElement ?? doc?.documentElement;
    if (scroller && !this.failure) {
      if (this.vertical) scroller.scrollTop = this.page * (this.frame.clientHeight || 1);
      else scroller.scrollLeft = this.page * ((this.frame.clientWidth || 1) + columnGap);
    }
    this.options.onPosition?.();
  }

  readScroll() {
    const doc = this.document;
    const scroller = doc?.scrollingElement ?? doc?.documentElement;
    if (!scroller) return;
    const height = this.frame.clientHeight || 1;
    const room = Math.max(1, scroller.scrollHeight - height);
    this.page = Math.round((scroller.scrollTop / room) * (this.pageCount - 1));
    this.options.onPosition?.();
  }

  // The next screenful, or the first page of the next document.
  async next() {
    await this.loading;
    if (this.vertical && !this.failure) {
      const scroller = this.document.scrollingElement;
      const height = this.frame.clientHeight;
      if (scroller.scrollTop + height < scroller.scrollHeight - 2) {
        scroller.scrollTop += Math.max(1, height - 32);
        this.readScroll();
        return true;
      }
    } else if (this.page < this.pageCount - 1) {
      this.showPage(this.page + 1);
      return true;
    }
    const following = neighbour(this.options.spine, this.spineIndex, 1);
    if (following < 0) return false;
    await this.open(following, { page: 'first' });
    return true;
  }

  async previous() {
    await this.loading;
    if (this.vertical && !this.failure) {
      const scroller = this.document.scrollingElement;
      if (scroller.scrollTop > 0) {
        scroller.scrollTop -= Math.max(1, this.frame.clientHeight - 32);
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

function isPage(doc) {
  return /^(application\/xhtml\+xml|text\/html|image\/svg\+xml)$/.test(doc.contentType) && doc.documentElement;
}

// The place interface: what the place keeper and the search ask of the paginator, kept to these
// two functions so that the layout can change around them.

// The first character shown now, as { node, offset } in a text node of the body, or null when
// the screen shows no text (a picture, a part that failed).
export function firstVisiblePoint(view) {
  const doc = view.document;
  if (!doc?.body || view.failure || view.spineIndex < 0 || !doc.caretRangeFromPoint) return null;
  const width = view.frame.clientWidth || 1;
  const height = view.frame.clientHeight || 1;
  // A point in a margin may answer a caret on the screen before: only one on this screen counts.
  for (const y of [0.01, 0.05, 0.15, 0.3, 0.5, 0.75]) {
    for (const x of [0.01, 0.25, 0.5, 0.75]) {
      const range = doc.caretRangeFromPoint(width * x, height * y);
      const node = range?.startContainer;
      if (!node || node.nodeType !== 3 || !doc.body.contains(node)) continue;
      const probe = doc.createRange();
      probe.setStart(node, range.startOffset);
      probe.setEnd(node, Math.min(node.length, range.startOffset + 1));
      const rect = probe.getBoundingClientRect();
      if (rect.right > 0 && rect.left < width && rect.bottom > 0 && rect.top < height) {
        return { node, offset: range.startOffset };
      }
    }
  }
  return null;
}

// Shows the screen that holds the character at offset of a text node of the document shown.
export function showPoint(view, node, offset) {
  const doc = view.document;
  if (!doc || view.failure || !node?.isConnected) return false;
  const range = doc.createRange();
  range.setStart(node, Math.min(offset, node.length));
  range.setEnd(node, Math.min(offset + 1, node.length));
  const rect = range.getBoundingClientRect();
  if (!rect.width && !rect.height && !rect.left && !rect.top) return false;
  view.showPage(view.pageOf(range));
  return true;
}
