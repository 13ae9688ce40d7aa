// Find marks on the page exactly the words it found, in text with CRLF line ends, styles in the
// body, ruby and drawings (never in a running head the book hides), on either page of a spread,
// visibly in a drawing's text; a book's
// obfuscated fonts are revealed, and one locked in a way not known is left out without a failed
// request or an error.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { folderFor, openLibraryFor } from './support/pagewyn.mjs';
import {
  markedBookEntries, markedTexts, spreadFindEntries, spreadFindWord, writeEntries,
} from './support/library.mjs';

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

test('a match is marked on the page of a spread that holds it, seen in a drawing', async (t) => {
  const folder = folderFor(t);
  writeEntries(folder, 'spread.epub', spreadFindEntries());
  const { page } = await openLibraryFor(t, browser, folder, { width: 1280, height: 800 });
  await page.locator('.row-cell').first().click();
  await page.frameLocator('.reader-facing').locator('#line-5').waitFor();
  const field = page.getByRole('searchbox', { name: 'Search the book' });
  await page.getByRole('button', { name: 'Search' }).click();
  await field.fill(spreadFindWord);
  await field.press('Enter');
  const status = () => page.locator('.reader-search-status').textContent();
  await eventually(async () => (await status()) === '7 found', 'once left, six times right');
  // Where each frame's marks stand: the id of the line, or the drawing.
  const marks = () => page.locator('.reader-frame').evaluateAll((frames) => frames.map((frame) => [
    ...frame.contentDocument.querySelectorAll('.pagewyn-found'),
  ].map((mark) => `${mark.closest('[id], svg').id || 'drawing'} ${mark.textContent}`)));
  const choose = async (n) => {
    if (!(await page.locator('.reader-search').isVisible())) {
      await page.getByRole('button', { name: 'Search' }).click();
    }
    await page.locator('.reader-search-result').nth(n).click();
  };
  const chosen = [
    [3, [[], ['line-2 éditions']]],
    [0, [['left-1 éditions'], []]],
    [6, [[], ['line-5 éditions']]],
    [1, [[], ['drawing éditions']]],
  ];
  for (const [n, expected] of chosen) {
    await choose(n);
    const shown = async () => JSON.stringify(await marks());
    const wanted = JSON.stringify(expected);
    await eventually(async () => (await shown()) === wanted, `result ${n + 1}: ${await shown()}`);
  }
  // The drawing's text looks otherwise with its mark than without.
  const text = page.frameLocator('.reader-facing').locator('svg text');
  const marked = await text.screenshot();
  await text.evaluate((drawn) => drawn.querySelector('.pagewyn-found').removeAttribute('class'));
  assert.notDeepEqual(await text.screenshot(), marked, 'the mark is seen');
});

