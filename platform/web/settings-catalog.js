// The settings page's section on the catalog for reading apps: the address to add in a reading
// app for each address Pagewyn listens on (with a QR code a phone's camera reads), the user name
// and password it asks for (KOReader's progress sync takes the same, at its own address), and a
// button that makes a new password, which stops the old one (so it asks first). The password is
// shown and changed on the computer Pagewyn runs on only.

import { confirmAction } from './confirm.js';
import { element } from './dom.js';

const svg = 'http://www.w3.org/2000/svg';

// The QR code's modules as squares of an SVG drawing, with the quiet margin around them.
function qrPicture(rows, address) {
  const size = rows.length + 8;
  const picture = document.createElementNS(svg, 'svg');
  picture.setAttribute('viewBox', `0 0 ${size} ${size}`);
  picture.setAttribute('class', 'catalog-qr');
  picture.setAttribute('role', 'img');
  picture.setAttribute('aria-label', `QR code of ${address}`);
  const background = document.createElementNS(svg, 'rect');
  for (const [name, value] of [['width', size], ['height', size], ['fill', '#fff']]) background.setAttribute(name, value);
  const modules = document.createElementNS(svg, 'path');
  let outline = '';
  rows.forEach((row, y) => {
    for (let x = 0; x < row.length; x++) if (row[x] === '1') outline += `M${x + 4} ${y + 4}h1v1h-1z`;
  });
  modules.setAttribute('d', outline);
  modules.setAttribute('fill', '#000');
  picture.append(background, modules);
  return picture;
}

// An address the host sent ({ address, qrCode }), written out and as its QR code.
export function addressItem({ address, qrCode }) {
  const item = element('div', 'catalog-address');
  item.append(element('code', 'settings-path', address));
  if (qrCode.length > 0) item.append(qrPicture(qrCode, address));
  return item;
}

function fill(view, catalog) {
  view.addresses.replaceChildren(...catalog.addresses.map(addressItem));
  const syncAddresses = catalog.syncAddresses ?? [];
  const syncItem = (address) => element('code', 'settings-path', address);
  view.sync.replaceChildren(...syncAddresses.map(syncItem));
  view.userName.replaceChildren(element('code', 'settings-path', catalog.userName));
  view.password.replaceChildren(catalog.canManage
    ? element('code', 'settings-path', catalog.password)
    : element('span', 'settings-note',
      'Shown on the computer Pagewyn runs on, in the browser that opened the address it printed.'));
  if (!catalog.canManage) view.renew.remove();
  view.note.replaceChildren(catalog.notice ?? '');
  if (catalog.loopbackOnly) {
    if (catalog.notice) view.note.append(' ');
    view.note.append(...withListenOption('Pagewyn serves this computer only: start it with ',
      ' for the reading apps of other devices.'));
  }
  view.renew.disabled = false;
}

// The words around the option that serves other devices, the option kept on one line as it is
// typed (a break after its dashes would read as two words).
export function withListenOption(before, after) {
  return [before, element('code', 'settings-command', '--listen 0.0.0.0'), after];
}

// A section of the settings page under its title (named by it for assistive technology, through
// the id) and a line on what it is for; the section's parts go after them.
export function settingsSection(id, titleText, introText) {
  const section = element('section', 'catalog-section');
  section.setAttribute('aria-labelledby', id);
  const title = element('h2', 'catalog-title', titleText);
  title.id = id;
  section.append(title, element('p', 'settings-note', introText));
  return section;
}

// The section, filled once the host answers; askHost is the settings page's own request helper.
export function catalogSection(askHost) {
  const section = settingsSection('catalog-section-title', 'Catalog for Reading Apps',
    'Add this address to a reading app as an OPDS catalog, with the user name and password below. '
      + 'KOReader\u2019s progress sync takes the same user name and password at the sync address.');
  const list = element('dl', 'settings-facts');
  const fact = (term) => {
    const row = element('div', 'settings-fact');
    const value = element('dd', 'settings-value', '…');
    row.append(element('dt', 'settings-term', term), value);
    list.append(row);
    return value;
  };
  const view = {
    addresses: fact('Address'),
    sync: fact('Progress sync (KOReader\u2019s custom sync server)'),
    userName: fact('User name'),
    password: fact('Password'),
    note: element('p', 'settings-status', ''),
    renew: element('button', 'settings-clear-cache', 'New catalog password'),
  };
  view.note.setAttribute('role', 'status');
  view.renew.type = 'button';
  view.renew.disabled = true;
  view.renew.addEventListener('click', async () => {
    const confirmed = await confirmAction({
      question: 'Make a new catalog password?',
      consequence: 'Every reading app set up with the current password stops reaching the catalog '
        + 'until it is given the new one.',
      action: 'New Password',
    });
    if (!confirmed) return;
    view.renew.disabled = true;
    try {
      fill(view, await askHost('/settings-page/catalog/new-password', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{}' }));
      view.note.textContent = `${view.note.textContent} The old password no longer opens the catalog.`.trim();
    } catch (failure) {
      view.note.textContent = `Could not make a new password: ${failure.message}`;
      view.renew.disabled = false;
    }
  });
  section.append(list, view.renew, view.note);
  askHost('/settings-page/catalog')
    .then((catalog) => fill(view, catalog))
    .catch((failure) => { view.note.textContent = `Could not read the catalog's settings: ${failure.message}`; });
  return section;
}
