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
  const styles = [doc.body, doc.documentElement].filter(Boolean).map((element) => view.getComputedStyle(element));
  let writingMode = isVertical(styles[0].writingMode) ? styles[0].writingMode : null;
  if (!writingMode && isVertical(bookWritingMode) && styles.every((style) => style.writingMode === 'horizontal-tb')) {
    writingMode = bookWritingMode;
  }
  const rtl = styles[0].direction === 'rtl';
  if (writingMode) return { axis: 'y', writingMode, rtl: false, progression: writingMode.endsWith('-rl') ? 'rtl' : 'ltr' };
  return { axis: 'x', writingMode: null, rtl, progression: rtl ? 'rtl' : 'ltr' };
}

// The reader's layout rules for a paged document of that flow on a screen of width × height.
export function flowCSS(flow, width, height) {
  if (flow.axis === 'y') {
    return `html { writing-mode: ${flow.writingMode} !important; width: ${width}px !important; height: ${height}px !important;
        overflow: hidden !important; column-width: ${height}px !important; column-gap: ${columnGap}px !important; column-fill: auto !important; }
      img, svg, video, table, figure { max-width: ${Math.max(40, width - 8)}px !important; break-inside: avoid; }`;
  }
  // Columns run the way html's direction says: right-to-left text set on body alone turns html too.
  return `html { ${flow.rtl ? 'direction: rtl !important; ' : ''}height: ${height}px !important; width: ${width}px !important; overflow: hidden !important;
      column-width: ${width}px !important; column-gap: ${columnGap}px !important; column-fill: auto !important; }
    img, svg, video, table, figure { max-height: ${Math.max(40, height - 8)}px !important; break-inside: avoid; }`;
}

// The screens of a document laid out in a flow, on a screen of width × height.
export class Screens {
  constructor(doc, flow, width, height) {
    this.doc = doc;
    this.flow = flow;
    this.width = width || 1;
    this.height = height || 1;
    this.step = (flow.axis === 'y' ? this.height : this.width) + columnGap;
    this.scroller = doc.scrollingElement ?? doc.documentElement;
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

// The first place of the document not on an earlier screen than the one shown, by isBefore(rect);
// the text runs in reading order, so a binary search finds the character.
export function firstPlace(doc, isBefore) {
  const walker = doc.createTreeWalker(doc.body ?? doc.documentElement, NodeFilter.SHOW_TEXT);
  const range = doc.createRange();
  const before = (node, start, end) => {
    range.setStart(node, start);
    range.setEnd(node, end);
    const rects = [...range.getClientRects()].filter((r) => r.width || r.height);
    return rects.length > 0 && rects.every(isBefore);
  };
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    if (!node.data.trim() || before(node, 0, node.length)) continue;
    let low = 0;
    let high = node.length - 1;
    while (low < high) {
      const middle = (low + high) >> 1;
      if (before(node, middle, middle + 1)) low = middle + 1;
      else high = middle;
    }
    return { node, offset: low };
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
