// Find marks on the page exactly the words it found, in text with CRLF line ends, styles in the
// body, ruby and drawings; a book's obfuscated fonts are revealed, and one locked in a way not
// known is left out without a failed request or an error.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { folderFor, openLibraryFor } from './support/pagewyn.mjs';
import { markedBookEntries, markedTexts, writeEntries } from './support/library.mjs';

let browser = null;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

test('each match is marked as found, and the fonts are revealed or left out', async (t) => {
  const folder = folderFor(t);
  writeEntries(folder, 'marked.epub', markedBookEntries());
  const { page } = await openLibraryFor(t, browser, folder, { width: 390, height: 760 });
  const failures = [];
  page.on('console', (message) => {
    if (message.type() === 'error') failures.push(message.text());
  });
  page.on('response', (response) => {
    if (response.status() >= 400) failures.push(`${response.status()} ${response.url()}`);
  });
  await page.locator('.row-cell').first().click();
  const frame = page.frameLocator('.reader-frame');
  await frame.locator('.Adobe').waitFor();

  const fonts = await page.locator('.reader-frame').evaluate(async (element) => {
    const doc = element.contentDocument;
    await Promise.allSettled([...doc.fonts].map((font) => font.load()));
    return Object.fromEntries([...doc.fonts].map((font) => [font.family, font.status]));
  });
  assert.deepEqual(fonts, { Idpf: 'loaded', Adobe: 'loaded', Locked: 'error' });

  const field = page.getByRole('searchbox', { name: 'Search the book' });
  for (const query of markedTexts) {
    await page.getByRole('button', { name: 'Search' }).click();
    await field.fill(query);
    await field.press('Enter');
    await eventually(async () => (await page.locator('.reader-search-status').textContent()) === '1 found', `"${query}" found once`);
    const snippet = await page.locator('.reader-search-snippet').textContent();
    assert.doesNotMatch(snippet, /[{}]/, 'no style in the words around the match');
    const found = await page.locator('.reader-search-snippet mark').textContent();
    await page.locator('.reader-search-result').click();
    const marked = () => page.locator('.reader-frame').evaluate((element) => [...element.contentDocument.querySelectorAll('.pagewyn-found')]
      .map((mark) => mark.textContent).join(''));
    await eventually(async () => (await marked()).replace(/\s+/g, ' ') === found, `"${found}" marked: "${await marked()}"`);
  }
  assert.deepEqual(failures, []);
});
