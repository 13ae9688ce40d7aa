// Makes the README's pictures of Pagewyn from the browser tests' own books: the library with a
// handful of books, and the reader on a page of one of them. Run it again after any visual change:
//
//     node tests/e2e/screenshots.mjs [docs folder]     (scripts/screenshots.sh builds first)
//
// It starts the built program on a temporary library, as the browser tests do, serving other
// devices (so the catalog shows an address a phone can reach), and writes library.png,
// reader.png and catalog-settings.png into the folder (docs/ by default).

import { mkdirSync, rmSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { makeLibrary, writeReaderBook } from './support/library.mjs';
import { launchBrowser, openPagewyn } from './support/browser.mjs';
import { startPagewyn } from './support/pagewyn.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const output = resolve(process.argv[2] ?? join(here, '../../docs'));

// Covers in a few colours, newest first in the recency order.
const books = [
  { file: 'persuasion.epub', title: 'Persuasion', author: 'Jane Austen', cover: { width: 120, height: 180, color: [64, 96, 160] }, modified: 1_700_000_600 },
  { file: 'odyssey.epub', title: 'The Odyssey', author: 'Homer', cover: { width: 120, height: 180, color: [180, 70, 50] }, modified: 1_700_000_400 },
  { file: 'middlemarch.epub', title: 'Middlemarch', author: 'George Eliot', cover: { width: 120, height: 180, color: [70, 140, 90] }, modified: 1_700_000_300 },
  { file: 'kokoro.epub', title: 'こころ', author: '夏目漱石', cover: { width: 120, height: 180, color: [230, 180, 40] }, modified: 1_700_000_200 },
  { file: 'walden.epub', title: 'Walden', author: 'Henry David Thoreau', unpacked: true, modified: 1_700_000_100 },
];

const library = makeLibrary(books);
writeReaderBook(library.folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville', modified: 1_700_000_500 });
const pagewyn = await startPagewyn(library.folder, ['--listen', '0.0.0.0'], { XDG_CACHE_HOME: join(library.folder, '.cache'), XDG_CONFIG_HOME: join(library.folder, '.config') });
const browser = await launchBrowser();
try {
  mkdirSync(output, { recursive: true });
  const page = await openPagewyn(browser, pagewyn, { width: 430, height: 760 });
  await page.locator('.row-cell').nth(books.length).waitFor();
  // Every cover drawn before the picture is taken.
  await page.waitForFunction(() => [...document.images].every((image) => image.complete));
  await page.screenshot({ path: join(output, 'library.png') });

  await page.getByRole('button', { name: 'settings' }).click();
  const catalog = page.locator('.catalog-section');
  await catalog.locator('.catalog-qr').first().waitFor();
  await catalog.screenshot({ path: join(output, 'catalog-settings.png') });
  await page.getByRole('button', { name: 'Back to the library' }).click();

  await page.locator('.row-cell', { hasText: 'Moby-Dick' }).click();
  await page.frameLocator('.reader-frame').locator('h1').waitFor();
  await page.getByRole('button', { name: 'Next page' }).waitFor();
  await page.screenshot({ path: join(output, 'reader.png') });

  console.log(`Wrote library.png, reader.png and catalog-settings.png into ${output}`);
} finally {
  await browser.close();
  await pagewyn.stop();
  rmSync(library.folder, { recursive: true, force: true });
}
