// The renderer's start: it draws the state the host sends, reports the page's viewport, sends the
// user's actions one at a time, and looks again whenever the host says the state changed. It
// keeps no state of the application: every answer from the host replaces what is drawn.

import { fetchState, keepWindowName, postEvent, takeLaunchToken, watchChanges } from './connection.js';
import { installDropTarget } from './drop.js';
import { drawingBy } from './page-drawing.js';
import { openRequestedURLs } from './open-urls.js';
import { drawPresented } from './overlays.js';
import { TableScreen } from './table.js';
import { drawView } from './views.js';
import { capitalized, learnWords, words } from './words.js';

takeLaunchToken();
installDropTarget();

const root = document.getElementById('app');
const presentedLayer = document.createElement('div');
presentedLayer.className = 'presented-layer';
presentedLayer.hidden = true;
const startingPanel = document.getElementById('starting');
const notice = document.getElementById('notice');

const page = {
  version: -1,
  table: null,
  events: [],
  wantState: true,
  landing: null, // rows asked for ahead that the scroll reached, to be drawn
  busy: false,
  drawing: Promise.resolve(),
  stopped: false,
  snapshot: null, // the last state drawn
  redraws: 0, // the times the host said what the page shows changed by itself
};

// Events that name a row carry the version the user saw: the host refuses them if the rows have
// changed since. The others name a control or a title and go with the latest version.
const namesRow = (event) => event.type === 'tapRow' || event.type === 'deleteRow';

function send(event) {
  // Only the search field's latest text matters: one not sent yet is replaced.
  if (event.type === 'search') page.events = page.events.filter((queued) => queued.type !== 'search');
  page.events.push({ ...event, seenVersion: page.version });
  pump();
}

const actions = {
  send,
  // Scroll events come at most once a frame already: the rows in view are asked for at once.
  viewportChanged: () => checkViewport(),
  tell: (text) => showNotice(text),
};

let noticeTimer = null;
function showNotice(text, lasting = false) {
  notice.textContent = text;
  notice.hidden = false;
  clearTimeout(noticeTimer);
  // Long enough to be read: a notice naming several books stays longer.
  if (!lasting) noticeTimer = setTimeout(() => { notice.hidden = true; }, Math.max(4000, text.length * 60));
}


function viewport() {
  if (page.table) return page.table.viewport();
  // Before the first answer the table's scroller is measured from a stand-in, so that the rows of
  // that answer already have the width they are drawn at and need not be asked for again.
  const probe = document.createElement('div');
  probe.className = 'table-scroller';
  probe.style.visibility = 'hidden';
  root.append(probe);
  const width = probe.clientWidth || window.innerWidth;
  const height = probe.clientHeight || window.innerHeight;
  probe.remove();
  return { first: 0, count: Math.ceil(height / 56) + 6, width, height };
}

// The size the host last heard of: a check asks again only when the size differs from it.
let lastSize = '';

function hostViewport() {
  const { first, count, width, height } = viewport();
  lastSize = `${width}x${height}`;
  return { first, count, width, height };
}

function showStarting(progress) {
  // A quick start shows nothing; a first scan running longer than half a second shows how far
  // it has come. The host says how long the scan has run, so a page opened late shows it at once.
  if ((Number(progress.elapsed) || 0) < 500) return;
  const read = Number(progress.read) || 0;
  const found = Number(progress.found) || 0;
  const bar = document.createElement('progress');
  bar.max = Math.max(1, found);
  bar.value = Math.min(read, found);
  bar.setAttribute('aria-label', `${capitalized(words.many)} read`);
  const text = document.createElement('p');
  text.textContent = `Reading the library: ${read.toLocaleString()} of ${found.toLocaleString()} ${words.many}`;
  startingPanel.replaceChildren(text, bar);
  startingPanel.hidden = false;
}

async function draw(snapshot) {
  learnWords(snapshot.words);
  if (snapshot.starting) {
    showStarting(snapshot.starting);
    setTimeout(() => { page.wantState = true; pump(); }, 200);
    return;
  }
  startingPanel.hidden = true;
  keepWindowName(snapshot.windowName);
  // What this page's tap asked to open is opened even when a later change is drawn already:
  // the host hands each request out only once.
  openRequestedURLs(snapshot.openURLs);
  // An answer that left the host before a later change was drawn is not drawn over it.
  if (snapshot.version < page.version) return;
  page.version = snapshot.version;
  page.snapshot = snapshot;
  if (page.appearing) {
    // The first answer only gives the version to send the appearance with: the appearance's own
    // answer, after its scan, is the first drawn. Drawn twice, the rows would be replaced under a
    // first tap or swipe, and that tap would name a version the appearance had already passed.
    page.appearing = false;
    send({ type: 'appear' });
    return;
  }
  root.removeAttribute('aria-busy');
  const screen = snapshot.screen;
  if (screen?.table) {
    if (!page.table) {
      page.table = new TableScreen(actions);
      root.replaceChildren(page.table.element, presentedLayer);
    }
    await page.table.update(screen.table);
  } else {
    page.table = null;
    root.replaceChildren(...(screen?.view ? [drawView(screen.view, { touchUpInside: (id) => send({ type: 'touchUpInside', view: id }) }, { origin: false })] : []), presentedLayer);
  }
  if (drawPresented(presentedLayer, snapshot.presented, send)) page.table?.focusRow();
}

function queueDraw(snapshot) {
  page.drawing = page.drawing.then(() => draw(snapshot)).catch((failure) => showNotice(`Could not draw the library: ${failure.message}`));
  return page.drawing;
}

function fail(failure) {
  if (failure.status === 403) {
    page.stopped = true;
    root.replaceChildren();
    showNotice(failure.message, true);
    return;
  }
  if (failure.status === 0) {
    page.stopped = true;
    showNotice(failure.message, true);
    return;
  }
  if (failure.body?.state) queueDraw(failure.body.state);
  if (failure.status === 409) showNotice('The library changed before that could be done, so nothing was done.');
  else if (failure.status !== 503) showNotice(failure.message);
}

async function sendEvent(queued) {
  const { seenVersion, ...event } = queued;
  event.version = namesRow(event) ? seenVersion : page.version;
  event.viewport = hostViewport();
  await queueDraw(await postEvent(event));
}

async function fetchLatest() {
  await queueDraw(await fetchState(hostViewport()));
}

// One request at a time: events first, in order; then rows asked for ahead that the scroll
// reached; then one look at the state for all the reasons to look that came up meanwhile.
function pump() {
  if (page.busy || page.stopped) return;
  let request = null;
  if (page.events.length > 0) {
    request = sendEvent(page.events.shift());
  } else if (page.landing) {
    request = queueDraw(page.landing);
    page.landing = null;
  } else if (page.wantState) {
    page.wantState = false;
    request = fetchLatest();
  }
  if (!request) return;
  page.busy = true;
  request.catch(fail).finally(() => {
    page.busy = false;
    scheduleViewportCheck();
    pump();
  });
}

// The rows where a steady jumping scroll will land next: asked for beside the page's one request
// at a time, and kept undrawn until the scroll gets there. An answer that carries more than rows
// (a command, a page to open, a later version) is drawn at once, as any answer, so nothing in it
// is held back. A failed look ahead is let go: the scroll's own request meets the same failure.
const ahead = { asked: null, snapshot: null, redraws: 0 };

function lookAhead() {
  if (ahead.asked || page.stopped || !page.table) return;
  const next = page.table.nextJump(viewport());
  if (!next) return;
  ahead.asked = next;
  ahead.snapshot = null;
  ahead.redraws = page.redraws;
  fetchState({ first: next.first, count: next.count, width: next.width, height: next.height })
    .then((snapshot) => {
      const table = snapshot.screen?.table;
      if (table && snapshot.version === page.version && !snapshot.openURLs?.length && !table.commands?.length) ahead.snapshot = snapshot;
      else queueDraw(snapshot);
    })
    .catch(() => {})
    .finally(() => {
      ahead.asked = null;
      scheduleViewportCheck();
    });
}

// Draws rows asked for ahead when they cover the viewport, the state and size being the same, or
// waits for them while they are on their way. Answers whether it did either.
function landAhead(current, size) {
  const table = ahead.snapshot?.screen.table ?? (ahead.asked ? { first: ahead.asked.first, count: ahead.asked.count, rowCount: page.table.rowCount } : null);
  if (size !== lastSize || !table || !page.table.covers(current, table)) return false;
  if (ahead.snapshot) {
    const snapshot = ahead.snapshot;
    ahead.snapshot = null;
    if (snapshot.version !== page.version) return false;
    page.landing = snapshot;
    if (ahead.redraws !== page.redraws) page.wantState = true;
    pump();
  }
  return true;
}

// Asks for the rows in view when the table does not hold them, or when the size changed.
function checkViewport() {
  // While an answer is on its way the check waits for it: every request ends with another
  // check, against the rows that answer drew, so the same rows are not asked for twice.
  if (!page.table || page.busy) return;
  const current = viewport();
  const size = `${current.width}x${current.height}`;
  if (size !== lastSize || !page.table.covers(current)) {
    page.table.noteJump(current);
    if (!landAhead(current, size)) {
      lastSize = size;
      page.wantState = true;
      pump();
    }
    lookAhead();
  }
}

let checkScheduled = false;
function scheduleViewportCheck() {
  if (checkScheduled) return;
  checkScheduled = true;
  requestAnimationFrame(() => {
    checkScheduled = false;
    checkViewport();
  });
}

window.addEventListener('resize', scheduleViewportCheck);
// A picked or dropped file's upload answers with the next state, drawn like any other; the last
// state drawn is drawn again to show what the page held back (see holdReaders); the page's other
// parts tell their messages (an import that failed after its sheet closed) in the notice.
drawingBy({
  draw: (state) => queueDraw(state),
  redraw: () => {
    if (page.snapshot) queueDraw(page.snapshot);
  },
  notice: (text) => showNotice(text),
});
watchChanges((version) => {
  if (version === null || version > page.version) {
    page.wantState = true;
    pump();
  }
}, () => {
  // A row's cover arrived: the rows in view are asked for again, and rows asked for ahead before
  // it are drawn, then looked at again.
  page.redraws += 1;
  page.wantState = true;
  pump();
});
// The library screen appears with the page: when it loads (a reload too; once the first state
// gives the version to send with) and whenever it is shown again after being hidden; each time
// the library is scanned as on every appearance.
page.appearing = true;
document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'visible' && page.version >= 0) send({ type: 'appear' });
});
pump();
