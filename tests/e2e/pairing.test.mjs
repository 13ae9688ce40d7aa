// A device that pairs once, as a second browser: the settings page's "Add a device" address opens
// the library in another browser, leaves the bare address behind, and from then on the bare
// address opens it there, whose settings leave pairing and the catalog's password to this
// computer; "Remove" stops that browser at once, with the way to pair again; the code, used once,
// tells another browser so.

import assert from 'node:assert/strict';
import { join } from 'node:path';
import { test } from 'node:test';

import { expectProblems, openPagewyn, waitForRows } from './support/browser.mjs';
import { pagewynForFile } from './support/pagewyn.mjs';

const books = [
  { file: 'b.epub', title: 'Beta', author: 'Bob', modified: 1_700_000_200 },
  { file: 'a.epub', title: 'Alpha', author: 'Ann', modified: 1_700_000_100 },
];
const rows = ['Beta, Bob', 'Alpha, Ann'];

// A store of secrets of this test's own: the devices it pairs are its alone.
const shared = pagewynForFile(books, (folder) => ({ XDG_CONFIG_HOME: join(folder, '.config') }));

test('a browser paired through the settings page opens the bare address until it is removed', { timeout: 90000 }, async () => {
  const { browser, pagewyn } = shared;
  const laptop = await openPagewyn(browser, pagewyn);
  await laptop.getByRole('button', { name: 'settings' }).click();
  const settings = laptop.getByRole('dialog', { name: 'Settings' });
  await settings.getByText('No device is paired.').waitFor();
  await settings.getByRole('button', { name: 'Add a device' }).click();
  const address = await settings.locator('.device-pairing code').first().textContent();
  assert.match(address, /^http:\/\/127\.0\.0\.1:\d+\/\?pair=[a-z2-9]{10}$/);
  await settings.getByRole('img', { name: `QR code of ${address}` }).waitFor();
  await settings.getByText(/A phone or a tablet needs Pagewyn started with --listen/).waitFor();

  const phone = await browser.newContext({ viewport: { width: 390, height: 844 } });
  const paired = await phone.newPage();
  await paired.goto(address);
  await waitForRows(paired, rows);
  assert.equal(new URL(paired.url()).search, '', 'the pairing code leaves the address bar');
  assert.match(await paired.evaluate(() => localStorage.getItem('pagewyn-device-key')), /^[0-9a-f]{64}$/);
  assert.deepEqual(await phone.cookies(), [], 'no cookie carries the key');

  const bookmark = await phone.newPage();
  await bookmark.goto(pagewyn.origin + '/');
  await waitForRows(bookmark, rows);

  // The paired browser's settings list the devices, but pairing, removing and the catalog's
  // password are the laptop's: a stolen key mints no other.
  await bookmark.getByRole('button', { name: 'settings' }).click();
  const itsSettings = bookmark.getByRole('dialog', { name: 'Settings' });
  await itsSettings.locator('.device-item').getByText('Chrome on Linux').waitFor();
  await itsSettings.getByText(/^Devices are added and removed on the computer Pagewyn runs on/).waitFor();
  await itsSettings.getByText(/^Shown on the computer Pagewyn runs on/).waitFor();
  for (const name of ['Add a device', 'Remove Chrome on Linux', 'New catalog password']) {
    assert.equal(await itsSettings.getByRole('button', { name }).count(), 0, name);
  }
  await itsSettings.getByRole('button', { name: 'Back to the library' }).click();

  // The laptop's list shows the device, named after its browser, and removes it.
  await settings.getByRole('button', { name: 'Back to the library' }).click();
  await laptop.getByRole('button', { name: 'settings' }).click();
  const device = settings.locator('.device-item');
  await device.getByText('Chrome on Linux').waitFor();
  await device.getByText(/last used/).waitFor();
  assert.equal(await settings.getByText('No device is paired.').count(), 0);
  expectProblems({ status: 403, url: /\/(state|events|event)$|\/(state|events)\?/ });
  await device.getByRole('button', { name: 'Remove Chrome on Linux' }).click();
  await settings.getByText('No device is paired.').waitFor();

  await bookmark.reload();
  await bookmark.getByRole('heading', { name: 'This device was removed' }).waitFor();
  await bookmark.getByText(/choose “Add a device”/).waitFor();
  assert.equal(await bookmark.locator('.row-cell').count(), 0);
  await phone.close();

  // The code, used once, opens nothing on another browser, which is told so.
  expectProblems({ status: 403, url: /\/pairing$/ });
  const tablet = await browser.newContext({ viewport: { width: 820, height: 1180 } });
  const late = await tablet.newPage();
  await late.goto(address);
  await late.getByRole('heading', { name: 'This pairing code was used or has expired' }).waitFor();
  await late.getByText(/within 5 minutes of being made/).waitFor();
  assert.equal(await late.locator('.row-cell').count(), 0);
  await tablet.close();
});
