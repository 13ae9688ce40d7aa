// The settings page's section on paired devices: "Add a device" shows an address (and its QR code
// for a phone's camera) that pairs the browser opening it within a few minutes, once; the paired
// devices are listed with the date each was paired and last used, and "Remove" stops one at once.
// Pairing and removing are for the browser on the computer Pagewyn runs on: a paired device's
// page lists the devices and says so.

import { element } from './dom.js';
import { addressItem, settingsSection, withListenOption } from './settings-catalog.js';

const post = (body) => ({ method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });

function dateText(iso) {
  const date = new Date(iso);
  return Number.isNaN(date.getTime()) ? iso : date.toLocaleString();
}

function fillDevices(view, answer, askHost) {
  const devices = answer.devices ?? [];
  view.list.replaceChildren(...devices.map((device) => {
    const item = element('li', 'device-item');
    const words = element('div', 'device-words');
    words.append(element('span', 'device-name', device.name),
      element('span', 'settings-note', `Paired ${dateText(device.paired)} · ${device.lastUse ? `last used ${dateText(device.lastUse)}` : 'not used yet'}`));
    const remove = element('button', 'settings-clear-cache', 'Remove');
    remove.type = 'button';
    remove.setAttribute('aria-label', `Remove ${device.name}`);
    remove.addEventListener('click', async () => {
      remove.disabled = true;
      try {
        fillDevices(view, await askHost('/settings-page/devices/remove', post({ id: device.id })), askHost);
        view.note.textContent = `${device.name} can no longer open Pagewyn.`;
      } catch (failure) {
        view.note.textContent = `Could not remove ${device.name}: ${failure.message}`;
        remove.disabled = false;
      }
    });
    item.append(words);
    if (answer.canManage) item.append(remove);
    return item;
  }));
  if (!answer.canManage) view.add.replaceWith(view.managedElsewhere);
  // Not `hidden`: the note's own style shows it whatever the attribute says.
  view.empty.textContent = devices.length > 0 ? '' : 'No device is paired.';
  view.notice.textContent = answer.notice ?? '';
}

function fillPairing(view, pairing) {
  view.pairing.replaceChildren(
    element('p', 'settings-note', `Open this address on the device within ${pairing.minutes} minutes; it works once.`),
    ...pairing.addresses.map(addressItem),
  );
  if (pairing.loopbackOnly) {
    const note = element('p', 'settings-note');
    note.append(...withListenOption('Pagewyn serves this computer only, so this pairs another browser of this computer. A phone or a tablet needs Pagewyn started with ', '.'));
    view.pairing.append(note);
  }
}

// The section, filled once the host answers; askHost is the settings page's own request helper.
export function devicesSection(askHost) {
  const section = settingsSection('devices-section-title', 'Devices',
    'A paired device opens the library at Pagewyn\'s bare address, across restarts, without the address Pagewyn prints.');
  const view = {
    list: element('ul', 'device-list'),
    empty: element('p', 'settings-note', ''),
    notice: element('p', 'settings-status', ''),
    add: element('button', 'settings-open-folder', 'Add a device'),
    pairing: element('div', 'device-pairing'),
    note: element('p', 'settings-status', ''),
    managedElsewhere: element('p', 'settings-note', 'Devices are added and removed on the computer '
      + 'Pagewyn runs on, in the browser that opened the address it printed.'),
  };
  view.note.setAttribute('role', 'status');
  view.add.type = 'button';
  view.add.addEventListener('click', async () => {
    view.add.disabled = true;
    try {
      fillPairing(view, await askHost('/settings-page/devices/add', post({})));
    } catch (failure) {
      view.note.textContent = `Could not make a pairing address: ${failure.message}`;
    } finally {
      view.add.disabled = false;
    }
  });
  section.append(view.list, view.empty, view.notice, view.add, view.pairing, view.note);
  askHost('/settings-page/devices')
    .then((answer) => fillDevices(view, answer, askHost))
    .catch((failure) => { view.note.textContent = `Could not read the paired devices: ${failure.message}`; });
  return section;
}
