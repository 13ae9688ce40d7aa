// The document picker in front, drawn as a form sheet: a file chooser offering the picker's
// types, and a cancel button.

import { dialog } from './dialog.js';

export function drawPicker(presented, send) {
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
