// How the screens of a reflowable document follow one another: horizontal text is set in columns
// one screen wide that run to the right (left-to-right text) or to the left (right-to-left text);
// vertical text is set in columns one screen tall stacked downwards. The scroll offset of a screen
// is found by measuring, so every screen is reached whichever sign the engine gives the offsets.

export const columnGap = 48;
const styleId = 'pagewyn-reader-style';

function isVertical(mode) {
  return /^(vertical|sideways)-/.test(mode ?? '');
}

// The flow of a freshly loaded document, before the reader's own style is written into it: the
// writing mode and direction its body's text is set in (which it inherits from html unless it
// says otherwise). A book that declares vertical writing for all its documents sets it where a
// document leaves it unsaid.
export function documentFlow(doc, bookWritingMode) {
  const view = doc.defaultView;
  const styles = [doc.body, doc.documentElement]
    .filter(Boolean)
    .map((element) => view.getComputedStyle(element));
  let writingMode = isVertical(styles[0].writingMode) ? styles[0].writingMode : null;
  if (!writingMode && isVertical(bookWritingMode) && styles.every((style) => style.writingMode === 'horizontal-tb')) {
    writingMode = bookWritingMode;
  }
  const rtl = styles[0].direction === 'rtl';
  if (writingMode) return { axis: 'y', writingMode, rtl: false, progression: writingMode.endsWith('-rl') ? 'rtl' : 'ltr' };
  return { axis: 'x', writingMode: null, rtl, progression: rtl ? 'rtl' : 'ltr' };
}

// Marks a box whose rule keeps it whole although it is longer than a column: kept whole it would
// only move to the next column and leave the rest of this one, or a whole screen, empty. Its own
// style lets it break, which outweighs any rule of the book, however particular.
const relaxedBreak = 'data-pagewyn-breaks';

// The reader's layout rules for a paged document of that flow on a screen of width × height. The
// book's own limits on the size of html and body (a max-height of 28em, say) are lifted: columns
// as short as those would be paged by the screen's extent and lose lines at its edges. Wide
// preformatted text wraps inside its column rather than running into the next screen's.
export function flowCSS(flow, width, height) {
  const everyFlow = `img, svg, video, table, figure { max-width: ${Math.max(40, width - 8)}px !important; max-height: ${Math.max(40, height - 8)}px !important; break-inside: avoid; }
    pre { white-space: break-spaces !important; overflow-wrap: anywhere !important; }
    html, body { max-width: none !important; max-height: none !important; min-width: 0 !important; min-height: 0 !important; }`;
  if (flow.axis === 'y') {
    return `html { writing-mode: ${flow.writingMode} !important; width: ${width}px !important; height: ${height}px !important;
        overflow: hidden !important; column-width: ${height}px !important; column-gap: ${columnGap}px !important; column-fill: auto !important; }
      ${everyFlow}`;
  }
  // Columns run the way html's direction says: right-to-left text set on body alone turns html too.
  return `html { ${flow.rtl ? 'direction: rtl !important; ' : ''}height: ${height}px !important; width: ${width}px !important; overflow: hidden !important;
      column-width: ${width}px !important; column-gap: ${columnGap}px !important; column-fill: auto !important; }
    ${everyFlow}`;
}

// Lets the boxes that ask to be kept whole but are longer than most of a column break across
// columns; answers whether any changed, so the screens are counted again. A column's length runs
// along the block axis: down the screen for horizontal text, across it for vertical text.
export function relaxBreaks(doc, flow) {
  let changed = false;
  const view = doc.defaultView;
  const root = doc.documentElement;
  const columnLength = flow.axis === 'y' ? root.clientWidth : root.clientHeight;
  for (const box of doc.body?.querySelectorAll('*') ?? []) {
    if (box.hasAttribute(relaxedBreak)) continue;
    const style = view.getComputedStyle(box);
    if (!style.breakInside.startsWith('avoid') || style.display === 'inline' || style.display === 'none') continue;
    const length = flow.axis === 'y' ? box.offsetWidth : box.offsetHeight;
    if (length > columnLength * 0.75) {
      box.setAttribute(relaxedBreak, '');
      box.style.setProperty('break-inside', 'auto', 'important');
      changed = true;
    }
  }
  return changed;
}

// Marks a box wider than a column (a table of many columns, a row of boxes of a set width), shown
// scaled to the column's width: cut at the column's edge, its far side would never be seen.
const fitted = 'data-pagewyn-fitted';

// Scales every outermost box that is wider than a column (taller, for vertical text) to fit it,
// after giving back the scale of those fitted before, as the column may have grown; answers
// whether any is scaled, so the screens are counted again.
export function fitWideBoxes(doc, flow) {
  const root = doc.documentElement;
  for (const box of doc.querySelectorAll(`[${fitted}]`)) {
    box.removeAttribute(fitted);
    box.style.removeProperty('zoom');
  }
  const room = flow.axis === 'y' ? root.clientHeight : root.clientWidth;
  if (!doc.body || room <= 0) return false;
  const view = doc.defaultView;
  const sizes = (box) => (flow.axis === 'y'
    ? [box.offsetHeight, box.scrollHeight]
    : [box.offsetWidth, box.scrollWidth]);
  // A box's extent across the column, its overflowing content too unless the book cuts that. A
  // box broken over columns is measured by its widest piece: as a whole it spans the columns.
  const across = (box) => {
    const [size, content] = sizes(box);
    const pieces = box.getClientRects();
    if (pieces.length > 1) {
      return Math.max(...[...pieces].map((r) => (flow.axis === 'y' ? r.height : r.width)));
    }
    return view.getComputedStyle(box).overflow !== 'visible' ? size : Math.max(size, content);
  };
  const wide = [];
  const walker = doc.createTreeWalker(doc.body, NodeFilter.SHOW_ELEMENT);
  for (let box = walker.nextNode(); box;) {
    // A box whose content, overflow and all, is no wider than the column holds nothing wider
    // either: most are, and are passed over with all they hold.
    const html = box instanceof view.HTMLElement;
    const within = !html || Math.max(...sizes(box)) <= room + 1;
    const extent = within ? 0 : across(box);
    if (within || extent > room + 1) {
      if (extent > room + 1) wide.push([box, room / extent]);
      // Nothing inside a box scaled down is wider than the column any more.
      box = walker.nextSibling() ?? nextOutside(walker);
    } else {
      box = walker.nextNode();
    }
  }
  for (const [box, scale] of wide) {
    box.setAttribute(fitted, '');
    box.style.setProperty('zoom', String(Math.floor(scale * 1000) / 1000), 'important');
  }
  return wide.length > 0;
}

// The walker's next element after the current one's subtree: the next sibling of the nearest
// ancestor that has one.
function nextOutside(walker) {
  while (walker.parentNode()) {
    const sibling = walker.nextSibling();
    if (sibling) return sibling;
  }
  return null;
}

// The screens of a document laid out in a flow, on a screen of width × height.
export class Screens {
  constructor(doc, flow, width, height) {
    this.doc = doc;
    this.flow = flow;
    this.width = width || 1;
    this.height = height || 1;
    this.scroller = doc.scrollingElement ?? doc.documentElement;
    // A screen is as long as the columns really are, whatever the book's style made of them.
    const root = doc.documentElement;
    const extent = flow.axis === 'y' ? root.clientHeight : root.clientWidth;
    this.extent = extent > 0 ? extent : flow.axis === 'y' ? this.height : this.width;
    this.step = this.extent + columnGap;
    // Right-to-left offsets run from 0 to negative values in current engines, from 0 to positive
    // ones in some, and from the largest value down to 0 in old ones.
    this.convention = flow.axis === 'x' && flow.rtl ? rtlConvention(this.scroller) : 'positive';
  }

  get count() {
    const extent = this.flow.axis === 'y' ? this.scroller.scrollHeight : this.scroller.scrollWidth;
    return Math.max(1, Math.round((extent + columnGap) / this.step));
  }

  // How far along the flow the screen shown now begins.
  get distance() {
    const s = this.scroller;
    if (this.flow.axis === 'y') return s.scrollTop;
    if (this.convention === 'negative') return -s.scrollLeft;
    if (this.convention === 'legacy') return s.scrollWidth - s.clientWidth - s.scrollLeft;
    return s.scrollLeft;
  }

  show(page) {
    const s = this.scroller;
    const distance = page * this.step;
    if (this.flow.axis === 'y') s.scrollTop = distance;
    else if (this.convention === 'negative') s.scrollLeft = -distance;
    else if (this.convention === 'legacy') s.scrollLeft = s.scrollWidth - s.clientWidth - distance;
    else s.scrollLeft = distance;
  }

  // Where a rectangle of the screen now shown begins, measured along the flow from the screen's
  // start edge.
  along(rect) {
    if (this.flow.axis === 'y') return rect.top;
    return this.flow.rtl ? this.width - rect.right : rect.left;
  }

  pageOfRect(rect) {
    return Math.max(0, Math.floor((this.along(rect) + this.distance + 1) / this.step));
  }

  // Whether the rectangle lies wholly on an earlier screen than the one shown.
  isBefore(rect) {
    if (this.flow.axis === 'y') return rect.bottom <= 0;
    return this.flow.rtl ? rect.left >= this.width : rect.right <= 0;
  }
}

function rtlConvention(scroller) {
  const kept = scroller.scrollLeft;
  scroller.scrollLeft = -1e7;
  const negative = scroller.scrollLeft < 0;
  scroller.scrollLeft = kept;
  if (negative) return 'negative';
  return kept > 0 ? 'legacy' : 'positive';
}

// A rectangle of the place (node, offset): the character there, or the element itself.
export function placeRect(node, offset = 0) {
  const doc = node.ownerDocument;
  if (node.nodeType === Node.TEXT_NODE) {
    const range = doc.createRange();
    const start = Math.min(offset, Math.max(0, node.length - 1));
    range.setStart(node, start);
    range.setEnd(node, Math.min(node.length, start + 1));
    const rect = [...range.getClientRects()].find((r) => r.width || r.height);
    if (rect) return rect;
    node = node.parentNode;
  } else if (node.childNodes?.[offset]) {
    node = node.childNodes[offset];
  }
  while (node && node.nodeType !== Node.ELEMENT_NODE) node = node.parentNode;
  return node?.getBoundingClientRect() ?? null;
}

// Text that never stands for a place: ruby readings, and what is not read at all.
const unread = 'rt, rp, script, style, noscript, template';

// Whether a text node is read as the page's text (find in the book counts it alike).
export function isRead(node) {
  return !node.parentElement?.closest(unread);
}

// Whether a text node can hold the place: it has letters, and is read.
export function isReadText(node) {
  return Boolean(node.data.trim()) && isRead(node);
}

// Whether a node is a picture that can hold a place as a whole: a screen may show nothing else.
// A drawing's own text and pictures are inside it.
export function isPicture(node) {
  return node.nodeType === Node.ELEMENT_NODE && /^(img|svg|video)$/i.test(node.localName) && !node.parentElement?.closest('svg');
}

// The first place of the document that really starts on the screen shown: a picture, or a
// character that is not white space, with a box (hidden text and pictures have none) and no box
// on an earlier screen than the one shown (by isBefore(rect)), as a line-end space spread over two
// columns has. The text runs in reading order, so a binary search finds the first character not
// before, and a short walk on passes what cannot hold the place. A picture's place is
// { node, offset: 0, picture: true }.
export function firstPlace(doc, isBefore) {
  const walker = doc.createTreeWalker(
    doc.body ?? doc.documentElement,
    NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT,
  );
  const range = doc.createRange();
  const rectsOf = (node, start, end) => {
    range.setStart(node, start);
    range.setEnd(node, end);
    return [...range.getClientRects()].filter((r) => r.width || r.height);
  };
  const before = (node, start, end) => {
    const rects = rectsOf(node, start, end);
    return rects.length > 0 && rects.every(isBefore);
  };
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    if (isPicture(node)) {
      const rects = [...node.getClientRects()].filter((r) => r.width || r.height);
      if (rects.length > 0 && !rects.some(isBefore)) return { node, offset: 0, picture: true };
      continue;
    }
    if (node.nodeType !== Node.TEXT_NODE || !isReadText(node)) continue;
    const whole = rectsOf(node, 0, node.length);
    if (whole.length === 0 || whole.every(isBefore)) continue;
    let low = 0;
    let high = node.length - 1;
    while (low < high) {
      const middle = (low + high) >> 1;
      if (before(node, middle, middle + 1)) low = middle + 1;
      else high = middle;
    }
    for (let at = low; at < node.length; ++at) {
      if (/\s/.test(node.data[at]) || (at > 0 && isLowSurrogate(node.data, at))) continue;
      const rects = rectsOf(node, at, at + 1);
      if (rects.length > 0 && !rects.some(isBefore)) return { node, offset: at };
    }
  }
  return null;
}

function isLowSurrogate(text, at) {
  const code = text.charCodeAt(at);
  return code >= 0xdc00 && code <= 0xdfff;
}

// The first character at or after offset of a text node, through the text that follows, that can
// hold a place (see firstPlace); null when none is laid out. A place kept on hidden text or white
// space by an older reader is shown at the text that follows it.
export function readablePlaceFrom(node, offset) {
  const doc = node.ownerDocument;
  const walker = doc.createTreeWalker(doc.body ?? doc.documentElement, NodeFilter.SHOW_TEXT);
  walker.currentNode = node;
  const range = doc.createRange();
  for (let at = offset; node; node = walker.nextNode(), at = 0) {
    if (!isReadText(node)) continue;
    for (; at < node.length; ++at) {
      if (/\s/.test(node.data[at])) continue;
      range.setStart(node, at);
      range.setEnd(node, at + 1);
      if ([...range.getClientRects()].some((r) => r.width || r.height)) return { node, offset: at };
    }
  }
  return null;
}

// Writes the reader's style sheet into a document of the book, or rewrites it.
export function writeStyle(doc, css) {
  let style = doc.getElementById(styleId);
  if (!style) {
    style = doc.createElementNS('http://www.w3.org/1999/xhtml', 'style');
    style.id = styleId;
    (doc.head ?? doc.documentElement).append(style);
  }
  style.textContent = css;
}
