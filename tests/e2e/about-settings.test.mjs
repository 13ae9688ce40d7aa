// The header bar's info and settings buttons in the browser: the about alert drawn from its
// styled text and closed by its button, Enter or Escape; the platform's settings page with the
// library's facts, its folder handed to the desktop's opener, and the way back to the library.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, describe, test } from 'node:test';

import { openPagewyn, rowNames } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { pagewynBinary, pagewynForFile, recordingOpener } from './support/pagewyn.mjs';

const books = [
  { file: 'c.epub', title: 'Gamma', author: 'Cy', modified: 1_700_000_300 },
  { file: 'b.epub', title: 'Beta', author: 'Bob', modified: 1_700_000_200 },
  { file: 'a.epub', title: 'Alpha', author: 'Ann', modified: 1_700_000_100 },
];

const opener = recordingOpener();

// A store of secrets of its own: the catalog password made anew here is no other test's.
const shared = pagewynForFile(books,
  (folder) => ({ ...opener.environment, XDG_CONFIG_HOME: join(folder, '.config') }));
after(() => opener.remove());

describe('the about alert', () => {
  test('the info button shows the styled alert and ok closes it', { timeout: 90000 }, async () => {
    const { browser, pagewyn } = shared;
    const page = await openPagewyn(browser, pagewyn);
    await page.getByRole('button', { name: 'info' }).click();
    const alert = page.getByRole('alertdialog', { name: 'Pagewyn 1.0.3' });
    await alert.waitFor();

    const text = await alert.innerText();
    for (const line of ['Pagewyn is an e-book reader with commentary from AI', '© 2026 The Pagewyn developers', 'Pagewyn is made possible by the FolioReader project']) {
      assert.ok(text.includes(line), `the alert shows "${line}"`);
    }
    assert.ok(!text.includes('<') && !text.includes('&copy;'), 'the fragment is rendered, never shown as source');

    const style = (locator) => locator.evaluate((element) => {
      const computed = getComputedStyle(element);
      return { size: computed.fontSize, weight: computed.fontWeight, color: computed.color, family: computed.fontFamily, align: getComputedStyle(element.closest('.styled-paragraph')).textAlign };
    });
    const title = await style(alert.getByText('Pagewyn 1.0.3', { exact: true }));
    assert.deepEqual([title.size, title.weight, title.color], ['17px', '700', 'rgb(0, 0, 0)']);
    const description = await style(alert.getByText('Pagewyn is an e-book reader with commentary from AI'));
    assert.deepEqual([description.size, description.color, description.align], ['18px', 'rgb(0, 0, 0)', 'center']);
    assert.match(description.family, /^"?Arial/);
    const credit = await style(alert.getByText(/made possible/));
    assert.deepEqual([credit.size, credit.align], ['13.5px', 'center']);
    assert.match(credit.family, /^"?Arial/);
    const lines = await alert.locator('.alert-message .styled-paragraph').evaluateAll((paragraphs) => paragraphs.map((paragraph) => paragraph.textContent));
    assert.deepEqual(lines, ['', 'Pagewyn is an e-book reader with commentary from AI', '', '© 2026 The Pagewyn developers', 'Pagewyn is made possible by the FolioReader project']);
    assert.equal(await alert.evaluate((box) => getComputedStyle(box).backgroundColor), 'rgba(170, 170, 170, 0.6)');

    const ok = alert.getByRole('button', { name: 'ok' });
    assert.equal(await alert.getByRole('button').count(), 1);
    assert.ok(await ok.evaluate((button) => button === document.activeElement), 'the button has the focus');
    await page.keyboard.press('Tab');
    assert.ok(await ok.evaluate((button) => button === document.activeElement), 'Tab keeps the focus inside the alert');

    await ok.click();
    await alert.waitFor({ state: 'detached' });
    assert.deepEqual(await rowNames(page), ['Gamma, Cy', 'Beta, Bob', 'Alpha, Ann'], 'ok only closes the alert');
    assert.deepEqual(page.failures, []);
    await page.close();
  });

  test('the command line names the version the alert shows, and says how to open the library', async () => {
    const { pagewyn } = shared;
    assert.equal(execFileSync(pagewynBinary(), ['--version'], { encoding: 'utf8' }), 'Pagewyn 1.0.3\n');
    // Started with --no-browser: the address is for the person to open, and it holds a secret.
    await eventually(() => /^Pagewyn: open the address above in a browser; it holds a secret key for this run/m.test(pagewyn.output()),
      'the line that says how to open the library');
  });

  test('Enter and Escape close the alert and give the keyboard back to the info button', { timeout: 90000 }, async () => {
    const { browser, pagewyn } = shared;
    const page = await openPagewyn(browser, pagewyn);
    const alert = page.getByRole('alertdialog', { name: 'Pagewyn 1.0.3' });
    const info = page.getByRole('button', { name: 'info' });
    for (const key of ['Enter', 'Escape']) {
      await info.focus();
      await page.keyboard.press('Enter');
      await alert.waitFor();
      // A click beside the button leaves the keys working.
      await alert.getByText('Pagewyn 1.0.3', { exact: true }).click();
      await page.keyboard.press(key);
      await alert.waitFor({ state: 'detached' });
      await page.waitForFunction(() => document.activeElement?.getAttribute('aria-label') === 'info');
    }
    assert.deepEqual(page.failures, []);
    await page.close();
  });
});

describe('the settings page', () => {
  test('the settings button shows the library folder and what it holds; the way back returns to the library', { timeout: 90000 }, async () => {
    const { browser, pagewyn, library } = shared;
    const page = await openPagewyn(browser, pagewyn);
    const settingsButton = page.getByRole('button', { name: 'settings' });
    await settingsButton.click();
    const settings = page.getByRole('dialog', { name: 'Settings' });
    await settings.waitFor();
    await settings.getByText(library.folder, { exact: true }).waitFor();
    assert.equal(await settings.getByRole('heading', { name: 'Pagewyn' }).count(), 1);
    await settings.getByText('Version 1.0.3').waitFor();
    await settings.getByText(/^\d+ books?$/).waitFor();
    const items = await settings.getByText(/^\d+ books?$/).textContent();
    assert.equal(items, '3 books', 'only the books are counted, not the highlight database or the places kept');
    await settings.getByText(join(library.folder, 'highlights.realm'), { exact: true }).waitFor();
    await settings.getByText(/not created yet/).waitFor();
    // Started from a command, not by the user service: the page says how to keep it serving.
    await settings.getByText('From a command or the desktop').waitFor();
    await settings.getByText('systemctl --user enable --now pagewyn', { exact: true }).waitFor();
    // The library's highlights download as one Markdown file, which says when there are none; the
    // export reads the database and never makes it.
    const [download] = await Promise.all([
      page.waitForEvent('download'),
      settings.getByRole('button', { name: 'Export All Highlights' }).click(),
    ]);
    assert.equal(download.suggestedFilename(), 'Pagewyn highlights.md');
    assert.equal(readFileSync(await download.path(), 'utf8'), '# Highlights\n\nNo book has highlights yet.\n');
    assert.equal(existsSync(join(library.folder, 'highlights.realm')), false);
    // The first scan filled the cache of titles and authors; the button empties it. It and a new
    // catalog password, which stops every reading app set up, ask first, naming what they cost:
    // Escape or Cancel does nothing and gives the keyboard back.
    await settings.getByText('Cache of titles and authors').waitFor();
    const password = settings.locator('.catalog-section .settings-fact', { hasText: 'Password' }).locator('code');
    await password.waitFor();
    const firstPassword = await password.textContent();
    const actions = [
      { button: 'Clear Cache', question: 'Clear the cache?', cost: /reads every book again/,
        done: /The cache was cleared/ },
      { button: 'New catalog password', question: 'Make a new catalog password?',
        cost: /Every reading app set up with the current password stops/, action: 'New Password',
        done: /The old password no longer opens the catalog/ },
    ];
    for (const { button, question, cost, action = button, done } of actions) {
      const control = settings.getByRole('button', { name: button });
      for (const refusal of ['Escape', 'Cancel']) {
        await control.click();
        const asking = page.getByRole('alertdialog', { name: question });
        await asking.getByText(cost).waitFor();
        if (refusal === 'Escape') await page.keyboard.press('Escape');
        else await asking.getByRole('button', { name: 'Cancel' }).click();
        await asking.waitFor({ state: 'detached' });
        assert.ok(await control.evaluate((element) => element === document.activeElement),
          `${button}: the keyboard is back on it`);
        assert.equal(await settings.getByText(done).count(), 0, `${button}: ${refusal} does nothing`);
      }
      await control.click();
      await page.getByRole('alertdialog', { name: question }).getByRole('button', { name: action }).click();
      await settings.getByText(done).waitFor();
    }
    assert.notEqual(await password.textContent(), firstPassword);

    await settings.getByRole('button', { name: 'Back to the library' }).click();
    await settings.waitFor({ state: 'detached' });
    assert.deepEqual(await rowNames(page), ['Gamma, Cy', 'Beta, Bob', 'Alpha, Ann']);
    assert.ok(await settingsButton.evaluate((button) => button === document.activeElement), 'the focus returns to the settings button');

    await settingsButton.click();
    await settings.waitFor();
    await page.keyboard.press('Escape');
    await settings.waitFor({ state: 'detached' });
    assert.deepEqual(page.failures, []);
    await page.close();
  });

  test('the open-folder button asks the host to hand the folder to the desktop', { timeout: 90000 }, async () => {
    const { browser, pagewyn, library } = shared;
    const page = await openPagewyn(browser, pagewyn);
    await page.getByRole('button', { name: 'settings' }).click();
    const settings = page.getByRole('dialog', { name: 'Settings' });
    const open = settings.getByRole('button', { name: 'Open in File Manager' });
    await settings.getByText(library.folder, { exact: true }).waitFor();
    await open.click();
    await settings.getByRole('status').filter({ hasText: 'handed to the file manager' }).waitFor();
    assert.equal(await opener.opened(), library.folder);
    await page.close();
  });

  test('the settings page opens only in the tab whose button was tapped', { timeout: 90000 }, async () => {
    const { browser, pagewyn } = shared;
    const context = await browser.newContext({ viewport: { width: 390, height: 700 } });
    const first = await openPagewyn(browser, pagewyn, { context });
    const second = await openPagewyn(browser, pagewyn, { context });
    // Taps go to the tab in front: a tab behind draws its frames late, which only slows the taps.
    await first.bringToFront();
    await first.getByRole('button', { name: 'settings' }).click();
    const settings = first.getByRole('dialog', { name: 'Settings' });
    await settings.waitFor();
    await first.keyboard.press('Escape');
    await settings.waitFor({ state: 'detached' });
    // The second tab has drawn every change up to this sort, so it has seen the tap's answer too.
    await first.getByRole('button', { name: 'sort' }).click();
    await second.getByRole('heading', { name: 'Books by Title' }).waitFor();
    assert.equal(await second.getByRole('dialog', { name: 'Settings' }).count(), 0);
    await first.getByRole('button', { name: 'sort' }).click();
    await first.getByRole('button', { name: 'sort' }).click();
    await second.getByRole('heading', { name: 'Recently Opened' }).waitFor();
    await context.close();
  });
});
