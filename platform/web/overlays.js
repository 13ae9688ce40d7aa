// What the program presents over the library: an alert (title, message, a button per action),
// the document picker as a form sheet, or any other screen, full-screen or as a sheet, drawn from
// its view tree. Each is a modal dialog that keeps the keyboard inside it.

import { drawAlert } from './alert.js';
import { dialog } from './dialog.js';
import { drawPicker } from './picker.js';
import { drawReader } from './reader.js';
import { holdingReaders } from './page-drawing.js';
import { drawView } from './views.js';

function drawScreen(presented, callbacks) {
  const fullScreen = presented.style === 'fullScreen' || presented.style === 'overFullScreen';
  const { backdrop, box } = dialog(fullScreen ? 'presented full-screen' : 'presented sheet', 'dialog', presented.controller);
  if (presented.view) box.append(drawView(presented.view, callbacks, { origin: false }));
  if (fullScreen) backdrop.classList.add('opaque');
  return backdrop;
}

// Makes the layer's children the elements given, in order, moving none that stays: a reader taken
// out of the page and put back would load its book's page again (drawn anew at each place kept).
function placeChildren(layer, elements) {
  for (const child of [...layer.children]) {
    if (!elements.includes(child)) child.remove();
  }
  elements.forEach((made, at) => {
    if (layer.children[at] !== made) layer.insertBefore(made, layer.children[at] ?? null);
  });
}

// The view whose control opened what is presented now (the about button for its alert), to take
// the keyboard back when it closes; the library's controls are drawn anew, so by the view's id.
let openerViewId = null;

function giveFocusBack() {
  const id = openerViewId;
  openerViewId = null;
  if (id === null || (document.activeElement && document.activeElement !== document.body)) return;
  document.querySelector(`.table-screen [data-view-id="${CSS.escape(id)}"]`)?.focus();
}

// Draws the presented screens, front last, into the layer; send delivers their events. Answers
// whether a reader was shown before and is not any more, so the library can take the keyboard
// back to the book's row; any other screen closed gives it back to the control that opened it.
export function drawPresented(layer, presentedAll, send) {
  const presentedList = (presentedAll ?? []).filter(
    (presented) => !(presented.reader && holdingReaders()),
  );
  const key = JSON.stringify(presentedList ?? []);
  if (layer.dataset.key === key) return false;
  layer.dataset.key = key;
  const readerWasShown = Boolean(layer.querySelector('.reader'));
  if (layer.children.length === 0 && presentedList.length > 0) {
    const opener = document.activeElement?.closest?.('.table-screen [data-view-id]');
    openerViewId = opener?.dataset.viewId ?? null;
  }
  const callbacks = { touchUpInside: (id) => send({ type: 'touchUpInside', view: id }) };
  const drawn = (presentedList ?? []).map((presented) => {
    if (presented.kind === 'alert') return drawAlert(presented, send);
    if (presented.kind === 'picker') return drawPicker(presented, send);
    if (presented.reader) return drawReader(presented, send);
    return drawScreen(presented, callbacks);
  });
  placeChildren(layer, drawn);
  layer.hidden = drawn.length === 0;
  document.querySelector('.table-screen')?.toggleAttribute('inert', drawn.length > 0);
  // A screen that takes the keys itself (the reader, whose Space turns pages) gets the focus, not
  // its first button, which a key pressed at once would press.
  const front = drawn.at(-1);
  const focusable = front?.matches('.reader') ? front : front?.querySelector('button, input, [tabindex]');
  if (focusable && !focusable.contains(document.activeElement)) focusable.focus();
  const readerClosed = readerWasShown && !layer.querySelector('.reader');
  if (drawn.length === 0 && !readerClosed) giveFocusBack();
  if (drawn.length === 0) openerViewId = null;
  return readerClosed;
}
