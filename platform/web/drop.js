// Files the application takes, dragged onto the library page: while they are over the page a
// drop target says what a drop does; dropped, each file in turn is handed to the program as a
// file another program hands over, with its progress shown. Only while nothing is presented over
// the library.

import {
  drawAnsweredState, holdReaders, redrawPage, sendFromPage, tellOnPage,
} from './page-drawing.js';
import { isTakenName, percentText, uploadFile } from './upload.js';
import { words } from './words.js';

let target = null;
let message = null;
let progress = null;

// The drop target, made the first time it is needed.
function makeTarget() {
  if (target) return;
  target = document.createElement('div');
  target.className = 'drop-target';
  target.hidden = true;
  target.setAttribute('role', 'status');
  target.setAttribute('aria-live', 'polite');
  message = document.createElement('p');
  progress = document.createElement('progress');
  progress.max = 1;
  target.append(message, progress);
  document.body.append(target);
}

let depth = 0;
let sending = false;

const carriesFiles = (event) => [...(event.dataTransfer?.types ?? [])].includes('Files');
// A presented screen (the reader, an alert, the picker) keeps the library beneath it inert.
const libraryInFront = () => !document.querySelector('.table-screen[inert]') && document.querySelector('.table-screen');

function show(text, withProgress = false) {
  makeTarget();
  progress.setAttribute('aria-label', `Sending the ${words.one}`);
  message.textContent = text;
  progress.hidden = !withProgress;
  target.hidden = false;
}

function hideSoon(delay = 0) {
  setTimeout(() => {
    if (!sending && depth === 0 && target) target.hidden = true;
  }, delay);
}

// Adds the files one after the other, each as a file handed over (the first one sent through the
// route given, such as the picker's), with the progress of each shown. One file that cannot be
// added says why at once, one added opens; of several, none opens and one notice at the end names
// those added and those refused.
export async function addBooks(files, { firstRoute = '/handoff' } = {}) {
  if (sending || files.length === 0) return;
  sending = true;
  holdReaders(files.length > 1);
  const added = [];
  const refused = [];
  let sentOne = false;
  let lastState = null;
  for (const [position, file] of files.entries()) {
    const counted = files.length > 1 ? ` (${position + 1} of ${files.length})` : '';
    if (!isTakenName(file.name)) {
      refused.push({ name: file.name, reason: `only files whose names end in ${words.ending} can be added` });
      continue;
    }
    show(`Adding “${file.name}”${counted}…`, true);
    progress.value = 0;
    const upload = uploadFile(sentOne ? '/handoff' : firstRoute, file, {
      onProgress: (loaded, total) => {
        progress.value = loaded / Math.max(1, total);
        show(`Adding “${file.name}”${counted}: ${percentText(loaded, total)}`, true);
      },
    });
    sentOne = true;
    try {
      lastState = await upload.done;
      await drawAnsweredState(lastState);
      added.push(file.name);
    } catch (failure) {
      lastState = failure.body?.state ?? lastState;
      await drawAnsweredState(failure.body?.state);
      refused.push({ name: file.name, reason: failure.message });
    }
  }
  sending = false;
  if (target) target.hidden = true;
  if (files.length > 1) {
    // Of several books, none is opened: the library shows them all, under the notice.
    const reader = lastState?.presented?.find((presented) => presented.reader)?.reader;
    if (reader) await sendFromPage({ type: 'touchUpInside', view: reader.closeButton });
    holdReaders(false);
    redrawPage();
  }
  const told = [];
  if (added.length > 0 && files.length > 1) told.push(`Added: ${added.map((name) => `“${name}”`).join(', ')}.`);
  for (const { name, reason } of refused) {
    told.push(files.length > 1 ? `Not added: “${name}”: ${reason}.` : `“${name}” was not added: ${reason}.`);
  }
  if (told.length > 0) tellOnPage(told.join(' '));
}

// Files dragged over the page show the drop target; dropped, they are added. Called once, as the
// page starts.
export function installDropTarget() {
  makeTarget();
  document.addEventListener('dragenter', (event) => {
    if (!carriesFiles(event) || sending || !libraryInFront()) return;
    event.preventDefault();
    depth += 1;
    show(`Drop ${words.oneToAdd} or several here to add them to the library`);
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
    const files = [...event.dataTransfer.files];
    if (files.length === 0 || sending || !libraryInFront()) {
      hideSoon();
      return;
    }
    addBooks(files);
  });
}
