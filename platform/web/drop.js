// A file the application takes, dragged onto the library page: while it is over the page a drop target says what
// a drop does; dropped, the file is handed to the program as a file another program hands over,
// with its progress shown. Only while nothing is presented over the library.

import { drawAnsweredState, isTakenName, percentText, uploadFile } from './upload.js';
import { words } from './words.js';

const target = document.createElement('div');
target.className = 'drop-target';
target.hidden = true;
target.setAttribute('role', 'status');
target.setAttribute('aria-live', 'polite');
const message = document.createElement('p');
const progress = document.createElement('progress');
progress.max = 1;
target.append(message, progress);
document.body.append(target);

let depth = 0;
let sending = false;

const carriesFiles = (event) => [...(event.dataTransfer?.types ?? [])].includes('Files');
// A presented screen (the reader, an alert, the picker) keeps the library beneath it inert.
const libraryInFront = () => !document.querySelector('.table-screen[inert]') && document.querySelector('.table-screen');

function show(text, withProgress = false) {
  progress.setAttribute('aria-label', `Sending the ${words.one}`);
  message.textContent = text;
  progress.hidden = !withProgress;
  target.hidden = false;
}

function hideSoon(delay = 0) {
  setTimeout(() => {
    if (!sending && depth === 0) target.hidden = true;
  }, delay);
}

function send(file) {
  if (!isTakenName(file.name)) {
    show(`“${file.name}” is not ${words.oneToAdd}: only files whose names end in ${words.ending} can be added.`);
    hideSoon(4000);
    return;
  }
  sending = true;
  progress.value = 0;
  show(`Adding “${file.name}”…`, true);
  const upload = uploadFile('/handoff', file, {
    onProgress: (loaded, total) => {
      progress.value = loaded / Math.max(1, total);
      show(`Adding “${file.name}”: ${percentText(loaded, total)}`, true);
    },
  });
  upload.done.then((state) => {
    sending = false;
    target.hidden = true;
    drawAnsweredState(state);
  }).catch((failure) => {
    sending = false;
    show(`“${file.name}” was not added: ${failure.message}.`);
    hideSoon(5000);
  });
}

document.addEventListener('dragenter', (event) => {
  if (!carriesFiles(event) || sending || !libraryInFront()) return;
  event.preventDefault();
  depth += 1;
  show(`Drop ${words.oneToAdd} here to add it to the library`);
  target.classList.add('active');
});

document.addEventListener('dragover', (event) => {
  if (!carriesFiles(event)) return;
  // Taken over always, so that a file let go where it cannot be added is not opened by the
  // browser in place of the library.
  event.preventDefault();
  event.dataTransfer.dropEffect = !sending && libraryInFront() ? 'copy' : 'none';
});

document.addEventListener('dragleave', (event) => {
  if (!carriesFiles(event) || depth === 0) return;
  depth -= 1;
  if (depth === 0) {
    target.classList.remove('active');
    hideSoon();
  }
});

document.addEventListener('drop', (event) => {
  if (!carriesFiles(event)) return;
  // The browser would otherwise open the file in place of the library.
  event.preventDefault();
  depth = 0;
  target.classList.remove('active');
  const file = event.dataTransfer.files[0];
  if (!file || sending || !libraryInFront()) {
    hideSoon();
    return;
  }
  send(file);
});
