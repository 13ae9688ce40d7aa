// The renderer's start: it draws the state the host sends and wires the page's parts: the requests
// to the host, one at a time (RequestScheduler), the viewport it reports and the look ahead of a
// scroll (ScrollLookAhead), and the change stream, after which it looks again. It keeps no state
// of the application: every answer from the host replaces what is drawn.

import { keepWindowName, takeLaunchToken, watchChanges } from './connection.js';
import { installDropTarget } from './drop.js';
import { drawingBy } from './page-drawing.js';
import { openRequestedURLs } from './open-urls.js';
import { drawPresented } from './overlays.js';
import { showRefusal } from './refusal.js';
import { RequestScheduler } from './request-scheduler.js';
import { ScrollLookAhead } from './scroll-look-ahead.js';
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
  table: null, // the table screen, while the screen drawn is a table
  snapshot: null, // the last state drawn
  appearing: false, // until the first answer gives the version to send the appearance with
};

const scheduler = new RequestScheduler({
  draw: (snapshot) => draw(snapshot),
  viewport: () => scrollAhead.hostViewport(),
  requestEnded: () => scrollAhead.scheduleCheck(),
  notice: (text, lasting) => showNotice(text, lasting),
  reachable: () => {
    notice.hidden = true;
  },
  refused: (failure) => showRefusal(root, failure),
});
const scrollAhead = new ScrollLookAhead(scheduler, () => page.table, root);
const send = (event) => scheduler.send(event);

const actions = {
  send,
  // Scroll events come at most once a frame already: the rows in view are asked for at once.
  viewportChanged: () => scrollAhead.check(),
  tell: (text) => showNotice(text),
};

let noticeTimer = null;
function showNotice(text, lasting = false) {
  notice.textContent = text;
  notice.hidden = false;
  clearTimeout(noticeTimer);
  // Long enough to be read: a notice naming several books stays longer.
  if (!lasting)
    noticeTimer = setTimeout(
      () => {
        notice.hidden = true;
      },
      Math.max(4000, text.length * 60),
    );
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
    setTimeout(() => scheduler.look(), 200);
    return;
  }
  startingPanel.hidden = true;
  keepWindowName(snapshot.windowName);
  // What this page's tap asked to open is opened even when a later change is drawn already:
  // the host hands each request out only once.
  openRequestedURLs(snapshot.openURLs);
  // An answer that left the host before a later change was drawn is not drawn over it.
  if (snapshot.version < scheduler.version) return;
  scheduler.version = snapshot.version;
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

window.addEventListener('resize', () => scrollAhead.scheduleCheck());
// A picked or dropped file's upload answers with the next state, drawn like any other; the last
// state drawn is drawn again to show what the page held back (see holdReaders); the page's other
// parts tell their messages (an import that failed after its sheet closed) in the notice.
drawingBy({
  draw: (state) => scheduler.queueDraw(state),
  redraw: () => {
    if (page.snapshot) scheduler.queueDraw(page.snapshot);
  },
  notice: (text) => showNotice(text),
  send,
});
watchChanges((version) => {
  if (version === null || version > scheduler.version) scheduler.look();
}, () => {
  // A row's cover arrived: the rows in view are asked for again, and rows asked for ahead before
  // it are drawn, then looked at again.
  scrollAhead.noteRedraw();
  scheduler.look();
});
// The library screen appears with the page: when it loads (a reload too; once the first state
// gives the version to send with) and whenever it is shown again after being hidden; each time
// the library is scanned as on every appearance.
page.appearing = true;
document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'visible' && scheduler.version >= 0) send({ type: 'appear' });
});
scheduler.pump();
