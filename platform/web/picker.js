// The document picker in front, drawn as the platform's form sheet: a heading, a file chooser
// offering only the picker's types (one file or several), and Cancel. The chosen file is sent to
// the host with its progress shown; the sheet closes when the application dismisses the picker,
// which the host's answer shows. Escape cancels, as Cancel does.

import { dialog } from './dialog.js';
import { addBooks } from './drop.js';
import { drawAnsweredState, tellOnPage } from './page-drawing.js';
import { isTakenName, percentText, uploadFile } from './upload.js';
import { capitalized, words } from './words.js';

export function drawPicker(presented, send) {
  const title = presented.title || `Choose ${words.oneToAdd}`;
  const { backdrop, box } = dialog('sheet picker', 'dialog', title);
  const heading = document.createElement('h2');
  heading.textContent = title;

  const types = presented.types ?? [words.ending, words.mediaType].filter(Boolean);
  const hint = document.createElement('p');
  hint.className = 'picker-hint';
  const endings = types.filter((type) => type.startsWith('.'));
  hint.textContent = `${(presented.typeNames ?? []).join(', ')} (${endings.join(', ')})`;

  const input = document.createElement('input');
  input.type = 'file';
  input.accept = types.join(',');
  input.multiple = true;
  input.setAttribute('aria-label', `${capitalized(words.one)} file`);
  input.setAttribute('aria-describedby', 'picker-status');

  const progress = document.createElement('progress');
  progress.className = 'picker-progress';
  progress.max = 1;
  progress.value = 0;
  progress.hidden = true;
  progress.setAttribute('aria-label', `Sending the ${words.one}`);

  const status = document.createElement('p');
  status.id = 'picker-status';
  status.className = 'picker-status';
  status.setAttribute('role', 'status');
  status.setAttribute('aria-live', 'polite');

  const cancel = document.createElement('button');
  cancel.type = 'button';
  cancel.className = 'picker-cancel';
  cancel.textContent = 'Cancel';

  let upload = null;
  const choose = (file) => {
    if (!isTakenName(file.name)) {
      status.textContent = `“${file.name}” is not ${words.oneToAdd}: choose a file whose name ends in ${words.ending}.`;
      return;
    }
    input.disabled = true;
    progress.hidden = false;
    progress.value = 0;
    status.textContent = `Sending “${file.name}”…`;
    upload = uploadFile('/pick', file, {
      onProgress: (loaded, total) => {
        progress.value = loaded / Math.max(1, total);
        status.textContent = `Sending “${file.name}”: ${percentText(loaded, total)}`;
      },
    });
    upload.done.then((state) => {
      status.textContent = `“${file.name}” is in the library.`;
      drawAnsweredState(state);
    }).catch((failure) => {
      upload = null;
      if (failure.status === -1) return;
      const text = `“${file.name}” was not imported: ${failure.message}.`;
      // The picker closes once it has handed the file over: a failed import is then told on the
      // page, since the sheet is gone.
      const state = failure.body?.state;
      if (state && !(state.presented ?? []).some((shown) => shown.kind === 'picker')) tellOnPage(text);
      drawAnsweredState(state);
      input.disabled = false;
      input.value = '';
      progress.hidden = true;
      status.textContent = text;
    });
  };
  input.addEventListener('change', () => {
    // One file goes through the sheet; several are added one after the other, as dropped files
    // are, the first as the picker's choice.
    if (input.files.length === 1) choose(input.files[0]);
    else if (input.files.length > 1) addBooks([...input.files], { firstRoute: '/pick' });
  });
  const cancelPicker = () => {
    upload?.cancel();
    upload = null;
    send({ type: 'cancelPicker' });
  };
  cancel.addEventListener('click', cancelPicker);
  box.addEventListener('keydown', (event) => {
    if (event.key !== 'Escape') return;
    event.preventDefault();
    cancelPicker();
  });

  box.append(heading, hint, input, progress, status, cancel);
  return backdrop;
}
