// Styled text drawn from its runs: each run a span with its face, size, weight, slant and colour,
// "\n" ending a paragraph, each paragraph aligned as its first run says. The text goes in as
// text nodes only, so nothing in it is ever read as markup.

import { isServedFace } from './faces.js';
import { cssColor } from './views.js';

const serifFamilies = new Set(['times', 'times new roman', 'georgia', 'serif']);
// "start" (the natural alignment) is left to the container, as an alert centres natural text.
const alignments = new Set(['left', 'center', 'right', 'justify']);

// The faces for the scripts the served faces lack, as the page's style names them, for a document
// that does not have the page's style (a book's page).
export function scriptFallbacks() {
  return getComputedStyle(document.documentElement).getPropertyValue('--script-fallbacks').trim() || 'sans-serif';
}

// A family name from the application's text, reduced to characters a font name uses, so it can
// only ever name a family.
function familyName(name) {
  return String(name ?? '').replace(/[^A-Za-z0-9 _-]/g, '').trim().slice(0, 64);
}

// The face itself where the host serves it, then its family (the browser's own "Arial"), then a
// generic family of the same kind.
function fontFamily(font) {
  const name = familyName(font.name);
  const family = familyName(font.family);
  const faces = new Set([isServedFace(name) ? name : '', family].filter(Boolean));
  const generic = serifFamilies.has(family.toLowerCase()) ? 'var(--script-fallbacks), serif' : '"System", system-ui, var(--script-fallbacks), sans-serif';
  return [...[...faces].map((face) => `"${face}"`), generic].join(', ');
}

function styleRun(element, run) {
  const font = run.font;
  if (font) {
    const size = Number(font.size);
    if (Number.isFinite(size) && size > 0) element.style.fontSize = `${Math.min(size, 200)}px`;
    element.style.fontFamily = fontFamily(font);
    element.style.fontWeight = font.bold ? '700' : '400';
    element.style.fontStyle = font.italic ? 'italic' : 'normal';
  }
  const color = cssColor(run.color);
  if (color) element.style.color = color;
}

// Splits the runs into paragraphs at each "\n"; a "\n" belongs to the paragraph it ends.
function paragraphsOf(runs) {
  const paragraphs = [[]];
  for (const run of runs ?? []) {
    const pieces = String(run?.text ?? '').split('\n');
    pieces.forEach((text, index) => {
      if (index > 0) {
        paragraphs.at(-1).end = run;
        paragraphs.push([]);
      }
      if (text) paragraphs.at(-1).push({ ...run, text });
    });
  }
  // Text that ends with a line break shows no empty line after it.
  if (paragraphs.length > 1 && paragraphs.at(-1).length === 0) paragraphs.pop();
  return paragraphs;
}

// The element showing the runs: one block per paragraph; an empty paragraph is one blank line of
// the size of the break that makes it.
export function drawStyledText(runs, className) {
  const container = document.createElement('div');
  if (className) container.className = className;
  for (const paragraph of paragraphsOf(runs)) {
    const block = document.createElement('div');
    block.className = 'styled-paragraph';
    const first = paragraph[0] ?? paragraph.end;
    if (alignments.has(first?.alignment)) block.style.textAlign = first.alignment;
    if (paragraph.length === 0) {
      const blank = document.createElement('span');
      if (paragraph.end) styleRun(blank, paragraph.end);
      blank.append(document.createElement('br'));
      block.append(blank);
    }
    for (const run of paragraph) {
      const span = document.createElement('span');
      styleRun(span, run);
      span.textContent = run.text;
      block.append(span);
    }
    container.append(block);
  }
  return container;
}

// The plain text of the runs, for a name read out by assistive technology.
export function plainText(runs) {
  return (runs ?? []).map((run) => String(run?.text ?? '')).join('').replace(/\s+/g, ' ').trim();
}
