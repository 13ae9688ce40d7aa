// The platform's settings page for Pagewyn, shown when the application asks to open
// "app-settings:". The platform draws it, not the application, and it belongs to this tab only:
// the application's name and version, where its library folder is, how many of the items it
// lists and how many bytes that holds, where the highlight database is, whether the user service
// runs it, a button that opens the folder in the desktop's
// file manager, the size of the metadata cache with a button that clears it (once asked), the
// paired devices, the catalog for reading apps, and a way back to the library. Nothing goes back
// to the application.

import { confirmAction } from './confirm.js';
import { downloadAnswer } from './download.js';
import { element } from './dom.js';
import { hostFetch, jsonAnswer } from './connection.js';
import { keepFocusInside } from './dialog.js';
import { capitalized, words } from './words.js';
import { catalogSection } from './settings-catalog.js';
import { devicesSection } from './settings-devices.js';

let shown = null;

async function askHost(path, options = {}) {
  let response;
  try {
    response = await hostFetch(path, options);
  } catch {
    throw new Error('Pagewyn is not running.');
  }
  return jsonAnswer(response);
}

// The items counted are the ones the library lists, named as the application names them.
function itemsText(facts) {
  const count = Number(facts.itemCount) || 0;
  const counted = `${count.toLocaleString()} ${count === 1 ? words.one : words.many}`;
  return facts.countComplete === false ? `at least ${counted}` : counted;
}

function fact(list, term) {
  const row = element('div', 'settings-fact');
  const value = element('dd', 'settings-value', '…');
  row.append(element('dt', 'settings-term', term), value);
  list.append(row);
  return value;
}

function fillFacts(view, facts) {
  view.name.textContent = facts.name || 'Pagewyn';
  view.version.textContent = facts.version ? `Version ${facts.version}` : '';
  view.folder.replaceChildren(element('code', 'settings-path', facts.libraryFolder || 'none'));
  view.items.textContent = itemsText(facts);
  view.size.textContent = `${facts.byteCountText ?? `${Number(facts.byteCount) || 0} bytes`}${facts.countComplete === false ? ' or more' : ''}`;
  view.database.replaceChildren(element('code', 'settings-path', facts.highlightDatabase || 'none'));
  view.database.append(element('span', 'settings-note', facts.highlightDatabaseExists ? 'in use' : 'not created yet: it is made when a book is first highlighted'));
  view.openFolder.disabled = !facts.libraryFolder;
  fillRunning(view.running, facts.runsAsService === true);
  fillCache(view, facts);
}

// Whether the user service keeps Pagewyn serving, and how to make it do so when it does not.
function fillRunning(value, asService) {
  value.replaceChildren(asService ? 'As the user service' : 'From a command or the desktop');
  if (asService) {
    const kept = 'It keeps serving the library after you log in, and is started again if it stops.';
    value.append(element('span', 'settings-note', kept));
    return;
  }
  const note = element('span', 'settings-note',
    'It stops when it is closed. To keep it serving after you log in, run ');
  note.append(element('code', 'settings-path', 'systemctl --user enable --now pagewyn'), '.');
  value.append(note);
}

function fillCache(view, facts) {
  view.cache.textContent = facts.metadataCacheInUse
    ? (facts.metadataCacheBytesText ?? `${Number(facts.metadataCacheBytes) || 0} bytes`)
    : 'not in use';
  view.clearCache.disabled = !facts.metadataCacheInUse;
}

async function clearCache(view) {
  const confirmed = await confirmAction({
    question: 'Clear the cache?',
    consequence: 'The next start reads every book again for its title, author and cover, which '
      + 'takes a while with a large library.',
    action: 'Clear Cache',
  });
  if (!confirmed) return;
  view.clearCache.disabled = true;
  view.status.textContent = 'Clearing the cache…';
  try {
    fillCache(view, await askHost('/settings-page/clear-cache', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{}' }));
    view.status.textContent = 'The cache was cleared: the next start reads every book again.';
  } catch (failure) {
    view.status.textContent = `Could not clear the cache: ${failure.message}`;
    view.clearCache.disabled = false;
  }
}

function close() {
  if (!shown) return;
  const { page, returnFocus } = shown;
  shown = null;
  page.remove();
  document.getElementById('app')?.removeAttribute('inert');
  if (returnFocus?.isConnected) returnFocus.focus();
}

// Hands the library folder to the desktop's file manager; the host opens its own folder only.
export function openLibraryFolder() {
  return askHost('/settings-page/open-folder', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{}' });
}

// Every highlight of the library, one section per book, as one Markdown file.
async function exportHighlights(view) {
  view.exportHighlights.disabled = true;
  view.status.textContent = 'Exporting the highlights…';
  try {
    let response;
    try {
      response = await hostFetch('/settings-page/highlights');
    } catch {
      throw new Error('Pagewyn is not running.');
    }
    view.status.textContent = `Downloaded “${await downloadAnswer(response)}”.`;
  } catch (failure) {
    view.status.textContent = `Could not export the highlights: ${failure.message}`;
  } finally {
    view.exportHighlights.disabled = false;
  }
}

async function openFolder(view) {
  view.openFolder.disabled = true;
  view.status.textContent = 'Opening the library folder…';
  try {
    await openLibraryFolder();
    view.status.textContent = 'The library folder was handed to the file manager.';
  } catch (failure) {
    view.status.textContent = `Could not open the library folder: ${failure.message}`;
  } finally {
    view.openFolder.disabled = false;
  }
}

function draw() {
  const page = element('div', 'settings-page');
  page.setAttribute('role', 'dialog');
  page.setAttribute('aria-modal', 'true');
  page.setAttribute('aria-labelledby', 'settings-page-title');
  page.tabIndex = -1;

  const bar = element('div', 'settings-bar');
  const back = element('button', 'settings-back', 'Library');
  back.type = 'button';
  back.setAttribute('aria-label', 'Back to the library');
  back.addEventListener('click', close);
  const title = element('h1', 'settings-title', 'Settings');
  title.id = 'settings-page-title';
  bar.append(back, title);

  const body = element('div', 'settings-body');
  body.setAttribute('aria-busy', 'true');
  const identity = element('div', 'settings-identity');
  const icon = element('img', 'settings-icon');
  icon.src = '/icon.svg';
  icon.alt = '';
  const names = element('div', 'settings-names');
  const name = element('h2', 'settings-name', 'Pagewyn');
  const version = element('p', 'settings-version', '');
  names.append(name, version);
  identity.append(icon, names);

  const list = element('dl', 'settings-facts');
  const view = {
    name,
    version,
    folder: fact(list, 'Library folder'),
    items: fact(list, capitalized(words.many)),
    size: fact(list, 'Size'),
    database: fact(list, 'Highlight database'),
    running: fact(list, 'Runs'),
    cache: fact(list, 'Cache of titles and authors'),
    openFolder: element('button', 'settings-open-folder', 'Open in File Manager'),
    clearCache: element('button', 'settings-clear-cache', 'Clear Cache'),
    exportHighlights: element('button', 'settings-export-highlights', 'Export All Highlights'),
    status: element('p', 'settings-status', ''),
  };
  view.openFolder.type = 'button';
  view.openFolder.disabled = true;
  view.openFolder.addEventListener('click', () => openFolder(view));
  view.clearCache.type = 'button';
  view.clearCache.disabled = true;
  view.clearCache.addEventListener('click', () => clearCache(view));
  view.exportHighlights.type = 'button';
  view.exportHighlights.addEventListener('click', () => exportHighlights(view));
  view.status.setAttribute('role', 'status');
  body.append(
    identity,
    list,
    view.openFolder,
    view.clearCache,
    view.exportHighlights,
    view.status,
    devicesSection(askHost),
    catalogSection(askHost),
  );
  page.append(bar, body);

  page.addEventListener('keydown', (event) => {
    if (event.key !== 'Escape') return;
    event.preventDefault();
    close();
  });
  keepFocusInside(page);

  askHost('/settings-page')
    .then((facts) => fillFacts(view, facts))
    .catch((failure) => { view.status.textContent = `Could not read the settings: ${failure.message}`; })
    .finally(() => body.removeAttribute('aria-busy'));
  return { page, back };
}

// Shows the page over the library, or brings it forward when it is already shown.
export function showSettingsPage() {
  if (shown) {
    shown.back.focus();
    return;
  }
  const returnFocus = document.activeElement;
  const { page, back } = draw();
  shown = { page, back, returnFocus };
  document.getElementById('app')?.setAttribute('inert', '');
  document.body.append(page);
  back.focus();
}
