// Opening a 50 MB book in Chromium at a kept place deep in it (a chapter near the end, well into
// the chapter) against opening it at its start, in the same run: from the tap on its row to the
// page drawn. Target: at most 1.2×.
//
//   PAGEWYN_BINARY=build-bench/pagewyn node bench/browser/reader-place.mjs
//
// Needs tests/e2e/node_modules (scripts/install-dependencies.sh), /usr/bin/chromium and the book
// maker, build/tests/support/pagewyn_make_books (or PAGEWYN_MAKE_BOOKS).

import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { performance } from 'node:perf_hooks';

import { launchBrowser } from '../../tests/e2e/support/browser.mjs';
import { epubEntries, writeEntries, xhtml } from '../../tests/e2e/support/library.mjs';
import { startPagewyn } from '../../tests/e2e/support/pagewyn.mjs';

const chapters = 100;
const chapterBytes = 512 * 1024;
const deepChapter = 90;
const deepOffset = 300000;
const rounds = 7;
const bound = 1.2;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// An unpacked book of 100 chapters of about 512 KB of paragraphs each.
function writeBook(folder) {
  const paragraph = (n) => `<p>Paragraph ${n}: the sea and the ship, the white whale and the harpoon, the deck, the sail and the storm of the long voyage.</p>\n`;
  const parts = Array.from({ length: chapters }, (_, c) => {
    let body = '';
    for (let n = 0; body.length < chapterBytes; ++n) body += paragraph(n);
    return { id: `c${c}`, file: `c${c}.xhtml`, bytes: xhtml(`c${c}`, body) };
  });
  writeEntries(folder, 'big.epub', epubEntries({ title: 'Big Book', author: 'Ann', identifier: 'bench', parts, contents: '' }), { unpacked: true });
}

// Taps the book, waits for the page the condition names, and closes the reader again.
async function openOnce(page, shown) {
  const started = performance.now();
  await page.locator('.row-cell').first().click();
  await page.waitForFunction(shown, null, { timeout: 120000, polling: 'raf' });
  const took = performance.now() - started;
  await page.getByRole('button', { name: 'close' }).click();
  await page.locator('.reader').waitFor({ state: 'detached' });
  return took;
}

// A library holding the book, with or without a kept place deep in it, open in a page of its own.
async function library(browser, deep) {
  const folder = mkdtempSync(join(tmpdir(), 'pagewyn-place-bench-'));
  writeBook(folder);
  if (deep) {
    writeFileSync(join(folder, 'reading-places.json'), JSON.stringify({ store: 'pagewyn reading places',
      places: { 'big.epub': { document: `OEBPS/c${deepChapter}.xhtml`, offset: deepOffset, fontScale: 1, night: false } } }));
  }
  // Its metadata cache stays in the folder, never in the user's ~/.cache.
  const pagewyn = await startPagewyn(folder, [], { XDG_CACHE_HOME: join(folder, '.cache'), XDG_CONFIG_HOME: join(folder, '.config') });
  const page = await browser.newPage({ viewport: { width: 900, height: 700 } });
  await page.goto(pagewyn.address);
  await page.locator('.row-cell').first().waitFor({ timeout: 120000 });
  const label = deep ? `Part ${deepChapter + 1} of ${chapters}` : `Part 1 of ${chapters}`;
  const shown = new Function(`const chapter = document.querySelector('.reader-chapter')?.textContent;
    const position = /^Page (\\d+) of/.exec(document.querySelector('.reader-page')?.textContent ?? '');
    return chapter === ${JSON.stringify(label)} && position && (${deep} ? Number(position[1]) > 1 : position[1] === '1');`);
  return {
    open: () => openOnce(page, shown),
    async remove() {
      await page.close();
      await pagewyn.stop();
      rmSync(folder, { recursive: true, force: true });
    },
  };
}

const browser = await launchBrowser();
try {
  // The two openings take turns, so a machine busy with something else weighs on both alike.
  const atStart = await library(browser, false);
  const atPlace = await library(browser, true);
  const startTimes = [];
  const deepTimes = [];
  for (let round = 0; round < rounds; ++round) {
    startTimes.push(await atStart.open());
    deepTimes.push(await atPlace.open());
  }
  await atStart.remove();
  await atPlace.remove();
  const start = median(startTimes);
  const deep = median(deepTimes);
  const ratio = deep / start;
  console.log(`\nOpening a ${chapters * chapterBytes / 1024 / 1024} MB book in Chromium, median of ${rounds}`);
  console.log('| At its start | At a kept place in chapter 91 | Ratio | Bound |');
  console.log('|---|---|---|---|');
  console.log(`| ${start.toFixed(0)} ms | ${deep.toFixed(0)} ms | ${ratio.toFixed(2)}× | ≤ ${bound}× |`);
  process.exitCode = ratio > bound ? 1 : 0;
} finally {
  await browser.close();
}
