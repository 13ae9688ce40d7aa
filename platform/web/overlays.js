// What the program presents over the library: an alert (title, message, a button per action),
// the document picker as a form sheet, or any other screen, full-screen or as a sheet, drawn from
// its view tree. Each is a modal dialog that keeps the keyboard inside it.

import { drawReader } from './reader.js';
import { drawView } from './views.js';

function dialog(className, role, name) {
  const backdrop = document.createElement('div');
  backdrop.className = 'backdrop';
  const box = document.createElement('div');
  box.className = className;
  box.setAttribute('role', role);
  box.setAttribute('aria-modal', 'true');
  if (name) box.setAttribute('aria-label', name);
  backdrop.append(box);
  return { backdrop, box };
}

function drawAlert(presented, send) {
  const { backdrop, box } = dialog('alert', 'alertdialog', presented.title || 'Alert');
  if (presented.title) {
    const title = document.createElement('h2');
    title.className = 'alert-title';
    title.textContent = presented.title;
    box.append(title);
  }
  if (presented.message) {
    const message = document.createElement('p');
    message.className = 'alert-message';
    message.textContent = presented.message;
    box.append(message);
  }
  const actions = document.createElement('div');
  actions.className = 'alert-actions';
  (presented.actions ?? []).forEach((action, index) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = action.title ?? '';
    button.className = `alert-action ${action.style ?? 'default'}`;
    button.addEventListener('click', () => send({ type: 'alertAction', index }));
    actions.append(button);
  });
  box.append(actions);
  return backdrop;
}

function drawPicker(presented, send) {
  const { backdrop, box } = dialog('sheet picker', 'dialog', presented.title || 'Choose a book');
  const heading = document.createElement('h2');
  heading.textContent = presented.title || 'Choose a book';
  const input = document.createElement('input');
  input.type = 'file';
  input.accept = (presented.types ?? ['.epub', 'application/epub+zip']).join(',');
  input.multiple = Boolean(presented.multiple);
  input.setAttribute('aria-label', 'Book file');
  input.addEventListener('change', () => {
    if (input.files.length > 0) send({ type: 'pickDocuments', files: [...input.files] });
  });
  const cancel = document.createElement('button');
  cancel.type = 'button';
  cancel.textContent = 'Cancel';
  cancel.addEventListener('click', () => send({ type: 'cancelPicker' }));
  box.append(heading, input, cancel);
  return backdrop;
}

function drawScreen(presented, callbacks) {
  const fullScreen = presented.style === 'fullScreen' || presented.style === 'overFullScreen';
  const { backdrop, box } = dialog(fullScreen ? 'presented full-screen' : 'presented sheet', 'dialog', presented.controller);
  if (presented.view) box.append(drawView(presented.view, callbacks, { origin: false }));
  if (fullScreen) backdrop.classList.add('opaque');
  return backdrop;
}

// Draws the presented screens, front last, into the layer; send delivers their events.
export function drawPresented(layer, presentedList, send) {
  const key = JSON.stringify(presentedList ?? []);
  if (layer.dataset.key === key) return;
  layer.dataset.key = key;
  const callbacks = { touchUpInside: (id) => send({ type: 'touchUpInside', view: id }) };
  const drawn = (presentedList ?? []).map((presented) => {
    if (presented.kind === 'alert') return drawAlert(presented, send);
    if (presented.kind === 'picker') return drawPicker(presented, send);
    if (presented.reader) return drawReader(presented, send);
    return drawScreen(presented, callbacks);
  });
  layer.replaceChildren(...drawn);
  layer.hidden = drawn.length === 0;
  document.querySelector('.table-screen')?.toggleAttribute('inert', drawn.length > 0);
  const front = drawn.at(-1);
  front?.querySelector('button, input, [tabindex]')?.focus();
}
