// Draws one view of the retained view tree, and its subviews, as absolutely placed elements:
// frames in points (one CSS pixel each), colours, rounding, labels, images and buttons, exactly
// as the snapshot describes them. Controls call back with their view id.

const faces = new Set(['Avenir-Light', 'Avenir-Book', 'System', 'Helvetica', 'Helvetica-Bold']);

export function cssColor(color) {
  if (!Array.isArray(color) || color.length !== 4) return '';
  const [r, g, b, a] = color.map(Number);
  const channel = (value) => Math.round(Math.min(1, Math.max(0, value)) * 255);
  return `rgba(${channel(r)}, ${channel(g)}, ${channel(b)}, ${Math.min(1, Math.max(0, a))})`;
}

export function cssFont(font) {
  const family = faces.has(font?.name) ? `"${font.name}", ` : '';
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
  const [x, y, width, height] = (Array.isArray(frame) ? frame : [0, 0, 0, 0]).map((value) => Number(value) || 0);
  Object.assign(element.style, { left: `${x}px`, top: `${y}px`, width: `${width}px`, height: `${height}px` });
}

// frame: the image view's frame, for the size the picture is shown at.
function drawImage(image, contentMode, frame = null) {
  const element = document.createElement('img');
  element.alt = '';
  element.draggable = false;
  element.decoding = 'async';
  const [, , width, height] = (Array.isArray(frame) ? frame : []).map((value) => Number(value) || 0);
  // With its shorter side as long as the view's longer one, a picture has pixels enough for the
  // view however it is fitted in.
  const shown = Math.max(width, height);
  const url = imageURL(image, contentMode === 'center' || !shown ? 0 : shown * (window.devicePixelRatio || 1));
  if (url) element.src = url;
  if (contentMode === 'center') {
    // At its own size in points (not in pixels: a picture may carry two or three per point).
    element.className = 'centered';
    element.style.width = `${Number(image?.width) || 0}px`;
    element.style.height = `${Number(image?.height) || 0}px`;
  } else {
    element.style.objectFit = objectFit[contentMode] ?? 'fill';
  }
  return element;
}

function drawLabel(element, json) {
  const text = document.createElement('span');
  text.className = 'label-text';
  text.textContent = json.text ?? '';
  element.style.font = cssFont(json.font);
  element.style.color = cssColor(json.textColor);
  element.style.textAlign = json.alignment ?? 'start';
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
  element.disabled = json.enabled === false;
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

// Returns the element for the view; options.origin false draws the view at its own origin (a
// cell whose row is placed by the table).
export function drawView(json, callbacks = {}, options = {}) {
  const isButton = json.class === 'Button' || Array.isArray(json.events);
  const element = document.createElement(isButton ? 'button' : 'div');
  element.className = `view view-${String(json.class).replace(/[^A-Za-z0-9]/g, '')}`;
  element.dataset.viewId = String(json.id);
  place(element, options.origin === false ? [0, 0, json.frame?.[2], json.frame?.[3]] : json.frame);
  if (json.background) element.style.backgroundColor = cssColor(json.background);
  if (typeof json.alpha === 'number') element.style.opacity = String(json.alpha);
  if (json.hidden) element.hidden = true;
  if (json.cornerRadius) element.style.borderRadius = `${Number(json.cornerRadius)}px`;
  if (json.clips) element.style.overflow = 'hidden';

  if (isButton) drawButton(element, json, callbacks);
  else if (typeof json.text === 'string') drawLabel(element, json);
  else if ('image' in json) {
    if (json.image) element.append(drawImage(json.image, json.contentMode, json.frame));
    if (json.label) {
      element.setAttribute('role', 'img');
      element.setAttribute('aria-label', json.label);
    }
  }
  for (const subview of json.subviews ?? []) element.append(drawView(subview, callbacks));
  return element;
}

// The first label under the view, depth first: a header's title.
export function firstLabel(element) {
  return element.querySelector('.view-Label');
}
