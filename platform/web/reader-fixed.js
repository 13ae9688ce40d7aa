// Pages of a fixed-layout book: each laid out at the size its document declares and scaled whole
// into the screen, one page on a portrait screen, two facing pages on a landscape one where the
// book allows spreads.

import { isPage, pageFrame } from './reader-frame.js';

const largestSide = 20000;

// The size a fixed-layout page declares: its viewport meta (width=…, height=…), or an SVG page's
// own size. Nothing when it declares none or an absurd one; the page then takes the screen's size.
export function declaredSize(doc) {
  const root = doc.documentElement;
  let width = NaN;
  let height = NaN;
  const meta = [...doc.getElementsByTagName('meta')].find((element) => element.getAttribute('name')?.toLowerCase() === 'viewport');
  if (meta) {
    for (const part of (meta.getAttribute('content') ?? '').split(/[,;]/)) {
      const [key, value] = part.split('=').map((text) => text?.trim().toLowerCase());
      if (key === 'width') width = Number(value);
      if (key === 'height') height = Number(value);
    }
  } else if (root?.localName === 'svg') {
    const box = (root.getAttribute('viewBox') ?? '').trim().split(/[\s,]+/).map(Number);
    width = Number.parseFloat(root.getAttribute('width') ?? '') || box[2];
    height = Number.parseFloat(root.getAttribute('height') ?? '') || box[3];
  }
  const sensible = (value) => Number.isFinite(value) && value >= 1 && value <= largestSide;
  return sensible(width) && sensible(height) ? { width, height } : null;
}

// The spine indices shown together with index: the facing page when the pair may share a landscape
// screen, in reading order. A page pairs only with its neighbour in the reading order that the book
// places on the other side (left then right in a left-to-right book, right then left in a
// right-to-left one); a centred page, an unplaced one, and any page of a book without spreads
// stands alone.
export function spreadOf(spine, index, { landscape, progression, neighbour }) {
  const item = spine[index];
  if (!landscape || !item || item.layout !== 'pre-paginated' || item.spread === 'none') return [index];
  const first = progression === 'rtl' ? 'right' : 'left';
  const second = progression === 'rtl' ? 'left' : 'right';
  const pairs = (a, b) => b >= 0 && spine[b].layout === 'pre-paginated' && spine[a].side === first && spine[b].side === second;
  const following = neighbour(index, 1);
  if (pairs(index, following)) return [index, following];
  const preceding = neighbour(index, -1);
  if (preceding >= 0 && pairs(preceding, index)) return [preceding, index];
  return [index];
}

// Loads the facing page of a spread (spine index) into the second frame, or hides that frame.
export async function showFacing(pages, index) {
  let frame = pages.partner;
  if (index === undefined) {
    if (frame) frame.hidden = true;
    pages.spread = [pages.spineIndex];
    return;
  }
  if (!frame) {
    frame = pages.partner = pageFrame();
    frame.classList.add('reader-facing');
    pages.frame.after(frame);
  }
  frame.hidden = false;
  if (pages.facingIndex !== index) {
    pages.facingIndex = -1;
    await pages.navigate(frame, pages.options.spine[index].path);
    const doc = frame.contentDocument;
    if (doc && isPage(doc)) pages.prepare(doc, frame);
    pages.facingIndex = index;
  }
  pages.spread = [pages.spineIndex, index];
}

// Places the page being read, and its facing page when it has one, on the stage; the scale.
export function placeSpread(pages) {
  const { width, height } = pages.stageSize;
  const shown = [
    { frame: pages.frame, size: pages.document ? declaredSize(pages.document) : null },
  ];
  if (pages.spread[1] !== undefined && pages.partner?.contentDocument) {
    shown.push({ frame: pages.partner, size: declaredSize(pages.partner.contentDocument) });
  }
  return placePages(shown, width, height, pages.progression);
}

// Sizes and places the frames of the pages shown on a stage of width × height: one page centred,
// or two facing pages meeting in the middle, the first of the reading order on the progression's
// start side. Every page gets the same scale, the largest at which all of them fit whole.
export function placePages(pages, width, height, progression) {
  const sizes = pages.map((page) => page.size ?? { width, height });
  const totalWidth = sizes.reduce((sum, size) => sum + size.width, 0);
  const tallest = Math.max(...sizes.map((size) => size.height));
  const scale = Math.min(width / totalWidth, height / tallest);
  const ordered = progression === 'rtl' ? [...pages].reverse() : pages;
  let left = (width - totalWidth * scale) / 2;
  for (const page of ordered) {
    const size = page.size ?? { width, height };
    const style = page.frame.style;
    style.position = 'absolute';
    style.width = `${size.width}px`;
    style.height = `${size.height}px`;
    style.transformOrigin = '0 0';
    style.transform = `scale(${scale})`;
    style.left = `${left}px`;
    style.top = `${(height - size.height * scale) / 2}px`;
    left += size.width * scale;
  }
  return scale;
}

// Gives a frame back the stage's whole size, for reflowable pages, at scale 1.
export function unplace(frame) {
  for (const property of ['position', 'width', 'height', 'transformOrigin', 'transform', 'left', 'top']) frame.style[property] = '';
  return 1;
}

export const fixedCSS = 'html, body { margin: 0 !important; overflow: hidden !important; } html { scrollbar-width: none; }';
