// Every screen checked by axe-core as a screen reader's user meets it: the library, the about
// alert, the settings page, the reader's bars and its contents. A serious or critical violation
// fails; the book's own page in the reader's frame is the book's, not ours, and is left out.

import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { after, before, test } from 'node:test';

import { launchBrowser } from './support/browser.mjs';
import { folderFor, openLibraryFor } from './support/pagewyn.mjs';
import { chapterTexts, writeBook, writeReaderBook } from './support/library.mjs';

const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');

let browser = null;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

async function violations(page) {
  if (!(await page.evaluate(() => Boolean(window.axe)))) await page.addScriptTag({ path: axePath });
  const found = await page.evaluate(async () => {
    const results = await window.axe.run(document, { iframes: false, resultTypes: ['violations'] });
    return results.violations.map(({ id, impact, nodes }) => ({ id, impact, where: nodes.slice(0, 3).map((node) => `${node.target.join(' ')}: ${node.failureSummary}`) }));
  });
  return found.filter(({ impact }) => impact === 'serious' || impact === 'critical');
}

test('the library, the about alert, the settings page, the reader and its contents have no serious violations', { timeout: 120000 }, async (t) => {
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville', modified: 1_600_000_000 });
  writeBook(folder, { file: 'waste1.epub', title: 'The Waste Land', author: 'T. S. Eliot', modified: 1_600_000_100 });
  writeBook(folder, { file: 'waste2.epub', title: 'The Waste Land', author: 'T. S. Eliot', modified: 1_600_000_200 });
  const { page } = await openLibraryFor(
    t,
    browser,
    folder,
    { width: 1280, height: 800 },
    { bypassCSP: true },
  );
  const screens = [
    ['the library', async () => {}],
    ['the about alert', async () => { await page.getByRole('button', { name: 'info' }).click(); await page.getByRole('alertdialog').waitFor(); }],
    ['the library again', async () => { await page.keyboard.press('Escape'); await page.getByRole('alertdialog').waitFor({ state: 'detached' }); }],
    ['the passages under the search field', async () => {
      await page.locator('.search-field').fill('ishmael');
      await page.locator('.passage').first().waitFor();
    }],
    ['the settings page', async () => {
      await page.locator('.search-field').fill('');
      await page.getByRole('button', { name: 'settings' }).click();
      await page.getByText(folder, { exact: true }).waitFor();
    }],
    ['the reader', async () => {
      await page.keyboard.press('Escape');
      await page.locator('.row-cell', { hasText: 'Moby-Dick' }).click();
      await page.frameLocator('.reader-frame').getByText(chapterTexts.one).waitFor();
      await page.locator('.reader-page').filter({ hasText: /^Page 1 of/ }).waitFor();
    }],
    ['the contents', async () => { await page.getByRole('button', { name: 'Contents' }).click(); await page.locator('.reader-toc-entry[aria-current]').waitFor(); }],
  ];
  for (const [name, reach] of screens) {
    await reach();
    assert.deepEqual(await violations(page), [], name);
  }
});
