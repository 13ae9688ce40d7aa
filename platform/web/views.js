// Draws one view of the retained view tree, and its subviews, as absolutely placed elements:
// frames in points (one CSS pixel each), colours, rounding, labels, images and buttons, exactly
// as the snapshot describes them. Controls call back with their view id.

import { isServedFace } from './faces.js';

export function cssColor(color) {
  if (!Array.isArray(color) || color.length !== 4) return '';
  const [r, g, b, a] = color.map(Number);
  const channel = (value) => Math.round(Math.min(1, Math.max(0, value)) * 255);
  return `rgba(${channel(r)}, ${channel(g)}, ${channel(b)}, ${Math.min(1, Math.max(0, a))})`;
}

export function cssFont(font) {
  const family = isServedFace(font?.name) ? `"${font.name}", ` : '';
  return `${Number(font?.size) || 17}px ${family}"System", system-ui, sans-serif`;
}

// side: the shorter side in pixels the picture is shown at, so the host may send it scaled down.
export function imageURL(image, side = 0) {
  if (!/^[0-9a-f]{32}$/.test(image?.id ?? '')) return '';
  return side > 0 ? `/images/${image.id}?side=${Math.min(4096, Math.ceil(side))}` : `/images/${image.id}`;
}

const objectFit = {
  scaleToFill: 'fill',
  scaleAspectFit: 'contain',
  scaleAspectFill: 'cover',
};

const justify = { left: 'flex-start', center: 'center', right: 'flex-end', fill: 'stretch' };

function place(element, frame) {
  const [x, y, width, height] = (Array.isArray(frame) ? frame : [0, 0, 0, 0]).map(
    (value) => Number(value) || 0,
  );
  Object.assign(element.style, { left: `${x}px`, top: `${y}px`, width: `${width}px`, height: `${height}px` });
}

// frame: the image view's frame, for the size the picture is shown at. An element given is an
// image drawn before, made to show this one (its picture is loaded again only when it differs).
function drawImage(image, contentMode, frame = null, element = document.createElement('img')) {
  element.alt = '';
  element.draggable = false;
  element.decoding = 'async';
  const [, , width, height] = (Array.isArray(frame) ? frame : []).map(
    (value) => Number(value) || 0,
  );
  // With its shorter side as long as the view's longer one, a picture has pixels enough for the
  // view however it is fitted in.
  const shown = Math.max(width, height);
  const url = imageURL(image, contentMode === 'center' || !shown ? 0 : shown * (window.devicePixelRatio || 1));
  if (!url) element.removeAttribute('src');
  else if (element.getAttribute('src') !== url) element.src = url;
  if (contentMode === 'center') {
    // At its own size in points (not in pixels: a picture may carry two or three per point).
    element.className = 'centered';
    element.style.width = `${Number(image?.width) || 0}px`;
    element.style.height = `${Number(image?.height) || 0}px`;
    element.style.objectFit = '';
  } else {
    element.className = '';
    element.style.width = '';
    element.style.height = '';
    element.style.objectFit = objectFit[contentMode] ?? 'fill';
  }
  return element;
}

// A label's font, colour and alignment; left as they are when unchanged (most rows a scroll
// brings).
function styleLabel(element, json) {
  const look = JSON.stringify([json.font, json.textColor, json.alignment]);
  if (element.lookKey === look) return;
  element.lookKey = look;
  element.style.font = cssFont(json.font);
  element.style.color = cssColor(json.textColor);
  element.style.textAlign = json.alignment ?? 'start';
}

// An image view with a label is a picture named for screen readers.
function nameImage(element, json) {
  if (json.label) {
    element.setAttribute('role', 'img');
    element.setAttribute('aria-label', json.label);
  } else {
    element.removeAttribute('role');
    element.removeAttribute('aria-label');
  }
}

function drawLabel(element, json) {
  const text = document.createElement('span');
  text.className = 'label-text';
  text.textContent = json.text ?? '';
  styleLabel(element, json);
  if (json.lines === 0 || json.lines > 1) {
    text.classList.add('multiline');
    if (json.lines > 1) text.style.webkitLineClamp = String(json.lines);
  }
  element.append(text);
}

function drawButton(element, json, callbacks) {
  element.type = 'button';
  const name = json.label || json.title || '';
  if (name) element.setAttribute('aria-label', name);
  // A button showing only a picture tells a mouse what it does.
  if (json.label && !json.title) element.title = json.label;
  element.style.justifyContent = justify[json.contentAlignment] ?? 'center';
  if (json.image) {
    const icon = drawImage(json.image, 'center');
    icon.classList.add('button-image');
    element.append(icon);
  }
  if (json.title) {
    const title = document.createElement('span');
    title.className = 'button-title';
    title.textContent = json.title;
    element.append(title);
  }
  if ((json.events ?? []).includes('touchUpInside')) {
    element.addEventListener('click', (event) => {
      event.stopPropagation();
      callbacks.touchUpInside?.(json.id);
    });
  }
}

const isButtonView = (json) => json.class === 'Button' || Array.isArray(json.events);
const viewClassName = (json) => `view view-${String(json.class).replace(/[^A-Za-z0-9]/g, '')}`;

// What every view shows of itself: its id, frame, background, alpha, visibility, rounding and
// clipping. Set whole, so that an element drawn before for another view keeps none of it.
function drawBox(element, json, options) {
  // Unchanged, as in most rows a scroll brings, it is left as it is.
  const key = JSON.stringify([
    json.id,
    options.origin === false,
    json.frame,
    json.background,
    json.alpha,
    json.hidden,
    json.cornerRadius,
  ]);
  if (element.boxKey === key) return;
  element.boxKey = key;
  element.dataset.viewId = String(json.id);
  place(element, options.origin === false ? [0, 0, json.frame?.[2], json.frame?.[3]] : json.frame);
  element.style.backgroundColor = json.background ? cssColor(json.background) : '';
  element.style.opacity = typeof json.alpha === 'number' ? String(json.alpha) : '';
  element.hidden = Boolean(json.hidden);
  element.style.borderRadius = json.cornerRadius ? `${Number(json.cornerRadius)}px` : '';
}

// Returns the element for the view; options.origin false draws the view at its own origin (a
// cell whose row is placed by the table).
export function drawView(json, callbacks = {}, options = {}) {
  const isButton = isButtonView(json);
  const element = document.createElement(isButton ? 'button' : 'div');
  element.className = viewClassName(json);
  drawBox(element, json, options);

  if (isButton) drawButton(element, json, callbacks);
  else if (typeof json.text === 'string') drawLabel(element, json);
  else if ('image' in json) {
    if (json.image) element.append(drawImage(json.image, json.contentMode, json.frame));
    nameImage(element, json);
  }
  for (const subview of json.subviews ?? []) element.append(drawView(subview, callbacks));
  return element;
}

// Makes an element drawView drew show another view of the same shape: the same classes, labels
// of one line, image views with or without a picture alike, and no buttons, all the way down.
// The elements, and pictures that stay the same, are kept. Answers false, having changed
// nothing, when the shapes differ: the view is then drawn anew.
export function redrawView(element, json, options = {}) {
  if (!sameShape(element, json)) return false;
  redrawShape(element, json, options);
  return true;
}

function isSimpleLabel(json) {
  return typeof json.text === 'string' && !(json.lines === 0 || json.lines > 1);
}

function sameShape(element, json) {
  if (isButtonView(json) || element.tagName !== 'DIV' || element.className !== viewClassName(json)) return false;
  const subviews = json.subviews ?? [];
  let parts = 0;
  if (typeof json.text === 'string') {
    const text = element.firstElementChild;
    if (!isSimpleLabel(json) || !text?.classList.contains('label-text') || text.classList.contains('multiline')) return false;
    parts = 1;
  } else if ('image' in json) {
    const picture = element.firstElementChild;
    if (Boolean(json.image) !== (picture?.tagName === 'IMG')) return false;
    parts = json.image ? 1 : 0;
  }
  if (element.children.length !== parts + subviews.length) return false;
  return subviews.every((subview, position) =>
    sameShape(element.children[parts + position], subview),
  );
}

function redrawShape(element, json, options = {}) {
  drawBox(element, json, options);
  let parts = 0;
  if (typeof json.text === 'string') {
    const text = element.firstElementChild;
    if (text.textContent !== json.text) text.textContent = json.text;
    styleLabel(element, json);
    parts = 1;
  } else if ('image' in json) {
    if (json.image) {
      drawImage(json.image, json.contentMode, json.frame, element.firstElementChild);
      parts = 1;
    }
    nameImage(element, json);
  }
  (json.subviews ?? []).forEach((subview, position) =>
    redrawShape(element.children[parts + position], subview),
  );
}

// The first label under the view, depth first: a header's title.
export function firstLabel(element) {
  return element.querySelector('.view-Label');
}
