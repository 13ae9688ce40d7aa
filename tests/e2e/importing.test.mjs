// Importing in the browser and from other programs: the "open" button's picker sheet takes a
// chosen book, which then stands first and opens in the reader; Cancel closes the sheet and the
// program says so; `pagewyn FILE.epub` hands a book to the running program; a book dropped on the
// page arrives the same way.

import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';

import { dropFile, dropFiles, expectProblems, launchBrowser, openPagewyn, rowNames, waitForFirstRow, waitForRows } from './support/browser.mjs';
import { bookEntries, storedZip, writeBook } from './support/library.mjs';
import { eventually } from './support/eventually.mjs';
import { runPagewyn, withPagewyn } from './support/pagewyn.mjs';

let browser;
let outside;
before(async () => {
  browser = await launchBrowser();
  outside = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-outside-'));
});
after(async () => {
  await browser?.close();
  rmSync(outside, { recursive: true, force: true });
});

const books = [
  { file: 'beta.epub', title: 'Beta', author: 'Bob', modified: 1_700_000_200 },
  { file: 'alpha.epub', title: 'Alpha', author: 'Ann', modified: 1_700_000_100 },
];

// A book outside the library, as a person has it among their downloads.
const bookOutside = (file, title, author) =>
  writeBook(outside, { file, title, author, modified: 1_600_000_000 });

// The reader shows the book; closed, the library shows it first.
async function expectOpenedAndFirst(page, title, author) {
  await page.locator('.reader-title').filter({ hasText: title }).waitFor({ timeout: 20000 });
  await page.frameLocator('.reader-frame').getByText('Once upon a time.').waitFor({ timeout: 20000 });
  await page.getByRole('button', { name: 'close' }).click();
  await page.locator('.reader').waitFor({ state: 'detached' });
  await waitForFirstRow(page, `${title}, ${author}`, { timeout: 20000 });
}

describe('importing a book', () => {
  test('the open button shows the picker sheet; a chosen book is imported, opened and stands first', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      await page.getByRole('button', { name: 'open' }).click();
      const sheet = page.getByRole('dialog', { name: 'Choose an EPUB book' });
      await sheet.getByRole('heading', { name: 'Choose an EPUB book' }).waitFor();
      const chooser = sheet.getByLabel('Book file');
      assert.equal(await chooser.getAttribute('accept'), '.epub,application/epub+zip');
      assert.equal(await chooser.evaluate((input) => input.multiple), true, 'several books can be chosen at once');

      await chooser.setInputFiles(bookOutside('Gamma.epub', 'Gamma', 'Cy'));
      await sheet.waitFor({ state: 'detached', timeout: 20000 });
      await expectOpenedAndFirst(page, 'Gamma', 'Cy');
      assert.ok(statSync(join(library.folder, 'Gamma.epub')).isDirectory(), 'unpacked into a folder named like the file');
      assert.ok(existsSync(join(outside, 'Gamma.epub')), 'the chosen file stays where it was');
      assert.deepEqual(page.failures, []);
    });
  });

  test('Cancel and Escape close the sheet, import nothing, and the program says "view was cancelled"', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      const sheet = page.getByRole('dialog', { name: 'Choose an EPUB book' });

      await page.getByRole('button', { name: 'open' }).click();
      await sheet.getByRole('button', { name: 'Cancel' }).click();
      await sheet.waitFor({ state: 'detached' });
      const cancelledLines = () => pagewyn.output().split('\n').filter((line) => line === 'view was cancelled').length;
      await eventually(() => cancelledLines() === 1, 'the program printed "view was cancelled"');

      await page.getByRole('button', { name: 'open' }).click();
      await sheet.getByLabel('Book file').waitFor();
      await page.keyboard.press('Escape');
      await sheet.waitFor({ state: 'detached' });
      await eventually(() => cancelledLines() === 2, 'the program printed "view was cancelled" again');

      assert.deepEqual(await rowNames(page), ['Beta, Bob', 'Alpha, Ann']);
      assert.deepEqual(page.failures, []);
      assert.equal(existsSync(join(library.folder, 'Gamma.epub')), false);
    });
  });

  test('`pagewyn FILE.epub` hands the book to the running program, which imports and opens it', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      const handed = await runPagewyn(['--documents', library.folder, '--no-browser', bookOutside('Delta.epub', 'Delta', 'Di')],
        { XDG_DATA_HOME: join(library.folder, '.xdg') });
      assert.equal(handed.code, 0, handed.errors);
      assert.match(handed.output, /^Pagewyn: Delta\.epub was handed to the library at http:\/\/127\.0\.0\.1:\d+\n$/);
      // The page learns of the change from the program and shows the book.
      await expectOpenedAndFirst(page, 'Delta', 'Di');
      assert.ok(statSync(join(library.folder, 'Delta.epub')).isDirectory());
    });
  });

  test('`pagewyn FILE` refuses what it cannot hand over, with a clear message and a failing status', { timeout: 60000 }, async () => {
    await withPagewyn(books, async (pagewyn, library) => {
      const env = { XDG_DATA_HOME: join(library.folder, '.xdg') };
      const missing = await runPagewyn(['--documents', library.folder, join(outside, 'absent.epub')], env);
      assert.notEqual(missing.code, 0);
      assert.match(missing.errors, /^Can't import .*absent\.epub: /);
      const notEpub = await runPagewyn(['--documents', library.folder, join(outside, 'notes.txt')], env);
      assert.notEqual(notEpub.code, 0);
      assert.match(notEpub.errors, /only EPUB files/);
      assert.equal(notEpub.output, '');
      // A book the running program cannot import: the command waits for the outcome and says so.
      const brokenPath = join(outside, 'Broken.epub');
      writeFileSync(brokenPath, 'this is no zip archive');
      const broken = await runPagewyn(['--documents', library.folder, brokenPath], env);
      assert.equal(broken.code, 1);
      assert.equal(broken.output, '');
      assert.ok(broken.errors.startsWith(`Can't import ${brokenPath}: `) && !broken.errors.includes('inbox'), broken.errors);
      assert.ok(!existsSync(join(library.folder, 'Broken.epub')));
    });
  });

  test('a broken book picked or dropped is refused with a notice naming it; the library stays as it was', { timeout: 90000 }, async () => {
    // The upload routes answer a refused import 422 with the reason the notice shows.
    expectProblems({ status: 422, url: /\/(pick|handoff)\?/ });
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      await page.getByRole('button', { name: 'open' }).click();
      const sheet = page.getByRole('dialog', { name: 'Choose an EPUB book' });
      const picked = join(outside, 'Picked.epub');
      writeFileSync(picked, 'this is no zip archive');
      await sheet.getByLabel('Book file').setInputFiles(picked);
      await page.locator('.notice').filter({ hasText: '“Picked.epub” was not imported: ' }).waitFor({ timeout: 20000 });

      await dropFile(page, 'Dropped.epub', 'this is no zip archive');
      await page.locator('.notice').filter({ hasText: '“Dropped.epub” was not added: ' }).waitFor({ timeout: 20000 });
      // A zip that unpacks well but that the library could never list: no container.
      const noContainer = bookEntries({ title: 'Hidden', author: 'Hal' }).filter((entry) => entry.name !== 'META-INF/container.xml');
      await dropFile(page, 'Unlisted.epub', storedZip(noContainer));
      await page.locator('.notice').filter({ hasText: '“Unlisted.epub” was not added: ' }).waitFor({ timeout: 20000 });
      assert.ok(!existsSync(join(library.folder, 'Unlisted.epub')));
      assert.deepEqual(await rowNames(page), ['Beta, Bob', 'Alpha, Ann']);
      assert.deepEqual(page.failures, []);
    });
  });

  test('several books dropped at once are added in turn and none opens; one notice names those added and those refused', { timeout: 90000 }, async () => {
    expectProblems({ status: 422, url: /\/handoff\?/ });
    await withPagewyn(books, async (pagewyn) => {
      const page = await openPagewyn(browser, pagewyn);
      await page.evaluate(() => {
        window.readerShown = false;
        new MutationObserver(() => { window.readerShown ||= Boolean(document.querySelector('.reader')); })
          .observe(document.body, { subtree: true, childList: true });
      });
      await dropFiles(page, [
        ['Epsilon.epub', readFileSync(bookOutside('Epsilon.epub', 'Epsilon', 'Eve'))],
        ['Broken.epub', 'this is no zip archive'],
        ['notes.txt', 'a note'],
        ['Zeta.epub', readFileSync(bookOutside('Zeta.epub', 'Zeta', 'Zoe'))],
      ]);
      const notice = page.locator('.notice').filter({ hasText: 'Added: “Epsilon.epub”, “Zeta.epub”.' });
      await notice.waitFor({ timeout: 30000 });
      assert.match(await notice.textContent(), /Not added: “Broken\.epub”: .+\. Not added: “notes\.txt”: only files whose names end in \.epub can be added\./);
      await waitForRows(page, ['Zeta, Zoe', 'Epsilon, Eve', 'Beta, Bob', 'Alpha, Ann']);
      assert.equal(await page.evaluate(() => window.readerShown), false, 'the library stays in front');
      assert.ok(await notice.isVisible());
      assert.deepEqual(page.failures, []);
    });
  });

  test('a book handed over while a book is open replaces it in the reader', { timeout: 90000 }, async () => {
    // The replaced book's reader may send its place in the moment between the program closing its
    // session and the page drawing the new book.
    expectProblems({ status: 404, url: /\/reader\/[0-9a-f]{32}\/action$/ });
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      await page.locator('.row-cell', { hasText: 'Beta' }).click();
      await page.locator('.reader-title').filter({ hasText: 'Beta' }).waitFor({ timeout: 20000 });
      const handed = await runPagewyn(['--documents', library.folder, '--no-browser', bookOutside('Theta.epub', 'Theta', 'Tom')],
        { XDG_DATA_HOME: join(library.folder, '.xdg') });
      assert.equal(handed.code, 0, handed.errors);
      await expectOpenedAndFirst(page, 'Theta', 'Tom');
      assert.ok(!pagewyn.output().includes('Fault'), pagewyn.output());
      assert.deepEqual(page.failures, []);
    });
  });

  test('a book dropped on the library page is imported like a handed-over file', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn) => {
      const page = await openPagewyn(browser, pagewyn);
      const target = page.locator('.drop-target');
      await dropFile(page, 'Epsilon.epub', readFileSync(bookOutside('Epsilon.epub', 'Epsilon', 'Eve')),
        { whileOver: () => target.getByText('Drop an EPUB book or several here to add them to the library').waitFor() });
      await expectOpenedAndFirst(page, 'Epsilon', 'Eve');
      await target.waitFor({ state: 'hidden' });
      assert.deepEqual(page.failures, []);
    });
  });
});
