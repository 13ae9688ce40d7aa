// Passages from the books' text under the library's search field: typed words find the passage
// (also in right-to-left and CJK text), the line says how far indexing has come, and a passage
// opens its book in the reader with the words marked. Legible at phone and desktop sizes.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, utimesSync } from 'node:fs';
import { join } from 'node:path';
import { launchBrowser } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { folderFor, startPagewyn } from './support/pagewyn.mjs';
import { epubEntries, writeEntries, xhtml } from './support/library.mjs';

let browser = null;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

// A book of chapters, each [title, text]; modified in seconds since 1970.
function writeChapters(
  folder,
  file,
  { title, author, language, chapters, modified = 1_700_000_000 },
) {
  const direction = language === 'he' ? ' dir="rtl"' : '';
  const parts = chapters.map(([heading, text], n) => ({
    id: `c${n + 1}`,
    file: `c${n + 1}.xhtml`,
    bytes: xhtml(heading, `<h1>${heading}</h1><p>${text}</p>`, {
      htmlAttributes: `lang="${language}"${direction}`,
    }),
  }));
  const contents = chapters.map(
    ([heading], n) => `<li><a href="c${n + 1}.xhtml">${heading}</a></li>`,
  );
  const metadata = `<dc:language>${language}</dc:language>`;
  const entries = epubEntries({ title, author, parts, contents: contents.join(''), metadata });
  writeEntries(folder, file, entries, { modified });
}

function writeLibrary(folder) {
  writeChapters(folder, 'voyage.epub', {
    title: 'The Whaling Voyage',
    author: 'Ann Sailor',
    language: 'en',
    chapters: [['Loomings', 'The sea was grey that morning.'],
      ['The Inn', 'Call me Ishmael, said the stranger at the inn.'],
      ['The Ship', 'The ship left the harbour at noon.'], ['The Quay', 'The harbour was full.'],
      ['Night', 'Lights of the harbour.'], ['Dawn', 'Back to the harbour.']],
  });
  writeChapters(folder, 'hebrew.epub', {
    title: 'ספר הים', author: 'דנה', language: 'he', chapters: [['פרק', 'הים היה שקט, הספינה הפליגה לאט.']],
  });
  writeChapters(folder, 'cat.epub', {
    title: '吾輩は猫である', author: '夏目', language: 'ja', chapters: [['一', '吾輩は猫である。名前はまだ無い。']],
  });
  // Dated tomorrow, and touched while the test looks (beingWritten), as a book being written
  // still: the indexer leaves it for later, so the line says how far it came.
  writeChapters(folder, 'fresh.epub', {
    title: 'Fresh Ink',
    author: 'Ben Writer',
    language: 'en',
    chapters: [['One', 'Nothing to see here.']],
    modified: Math.floor(Date.now() / 1000) + 86_400,
  });
}

async function openLibrary(t, folder, viewport) {
  const cache = mkdtempSync(join(folder, '.cache-'));
  const program = await startPagewyn(folder, [], { XDG_CACHE_HOME: cache });
  t.after(() => program.stop());
  const context = await browser.newContext({ viewport });
  t.after(() => context.close());
  const page = await context.newPage();
  await page.goto(program.address);
  await page.locator('.row-cell').first().waitFor();
  return page;
}

const sizes = [{ width: 390, height: 844 }, { width: 1280, height: 800 }];
const texts = (locator) => locator.allTextContents().then((all) => all.join(''));

test('typed words find passages, and a passage opens in the reader, marked', async (t) => {
  const folder = folderFor(t);
  writeLibrary(folder);
  const tomorrow = Math.floor(Date.now() / 1000) + 86_400;
  const beingWritten = setInterval(() => utimesSync(join(folder, 'fresh.epub'), tomorrow, tomorrow), 1000);
  t.after(() => clearInterval(beingWritten));
  const page = await openLibrary(t, folder, sizes[0]);
  const field = page.locator('.search-field');
  const passages = page.getByRole('region', { name: "Passages in the books' text" });

  await field.fill('ishmael');
  await passages.locator('.passage').first().waitFor();
  const progress = page.locator('.passages-progress');
  await eventually(async () => /^Searching 3 of 4 books' text$/.test(await progress.textContent()),
    'the line says how far indexing has come');
  // Once it is written (its change settles), the book dated ahead is indexed too.
  clearInterval(beingWritten);
  await eventually(async () => !(await progress.textContent()).startsWith('Searching'), 'indexing ends', 30000);
  assert.equal(await texts(passages.locator('.passage-book-title')), 'The Whaling Voyage');
  assert.equal(await texts(passages.locator('.passage-book-author')), 'Ann Sailor');
  assert.equal(await texts(passages.locator('.passage-chapter')), 'The Inn');
  assert.equal(await texts(passages.locator('.passage-snippet mark')), 'Ishmael');
  // The snippet is the passage's text, not the chapter's heading again.
  assert.equal(await texts(passages.locator('.passage-snippet')), 'Call me Ishmael, said the stranger at the inn.');

  // Words found nowhere are said so once, where the list says it; words found in a title but in
  // no passage are said so under the row.
  const noPassage = page.getByText("No passage in the books' text holds these words");
  await field.fill('zzyzx');
  await page.getByText('No books match').waitFor();
  await page.waitForTimeout(1500);
  assert.equal(await noPassage.count(), 0, 'one message only');
  assert.equal(await page.getByText('No books match').count(), 1);
  await field.fill('fresh');
  await noPassage.waitFor();
  assert.equal(await page.getByText('No books match').count(), 0);

  // A last word of a letter or two counts once typing pauses: the one passage of the harbour
  // "at" noon, not every harbour.
  await field.fill('harbour at');
  await eventually(async () => (await texts(passages.locator('.passage-snippet mark'))) === 'harbourat',
    'the short word counted');
  assert.equal(await passages.locator('.passage').count(), 1);

  // Right-to-left and Japanese text, found without spaces between words.
  const scripts = [['הספינה', 'ספר הים', 'הספינה'], ['名前は', '吾輩は猫である', '名前は']];
  for (const [words, title, marked] of scripts) {
    await field.fill(words);
    await eventually(async () => (await texts(passages.locator('.passage-book-title'))) === title,
      `"${words}" finds ${title}`);
    assert.equal(await texts(passages.locator('.passage-snippet mark')), marked);
  }
  // A few passages of a book, and the rest on asking.
  await field.fill('harbour');
  await eventually(async () => (await passages.locator('.passage').count()) === 3, 'three passages');
  await passages.getByRole('button', { name: 'more in this book: The Whaling Voyage' }).click();
  await eventually(async () => (await passages.locator('.passage').count()) === 4, 'all four');
  // Under three characters no passage is looked for; the section hides.
  await field.fill('is');
  await eventually(async () => !(await passages.isVisible()), 'hidden under three characters');

  for (const size of sizes) {
    await page.setViewportSize(size);
    await field.fill('"said the stranger"');
    await passages.locator('.passage').first().waitFor();
    const box = await passages.locator('.passage').first().boundingBox();
    assert.ok(box.x >= 0 && box.x + box.width <= size.width, `within ${size.width} points`);
    assert.ok(box.height >= 44, 'a finger high');
  }

  // Tab to the passage and Enter: the reader opens on it, the phrase marked whole.
  await passages.locator('.passage').first().focus();
  await page.keyboard.press('Enter');
  const frame = page.locator('.reader-frame').first();
  const marked = () => frame.evaluate((element) => [...element.contentDocument.querySelectorAll('.pagewyn-found')]
    .map((mark) => mark.textContent).join(''));
  await eventually(async () => (await page.locator('.reader-frame').count()) > 0 && (await marked()) === 'said the stranger',
    'the words marked in the reader');
  const heading = await frame.evaluate((element) => element.contentDocument.querySelector('h1').textContent);
  assert.equal(heading, 'The Inn');
});

test('a book opened to all its passages stays open while indexing goes on', async (t) => {
  const folder = folderFor(t);
  writeLibrary(folder);
  const tomorrow = Math.floor(Date.now() / 1000) + 86_400;
  const beingWritten = setInterval(() => utimesSync(join(folder, 'fresh.epub'), tomorrow, tomorrow), 1000);
  t.after(() => clearInterval(beingWritten));
  const page = await openLibrary(t, folder, sizes[1]);
  const passages = page.getByRole('region', { name: "Passages in the books' text" });
  await page.locator('.search-field').fill('harbour');
  // The books settle for a few seconds before they are read.
  await eventually(async () => (await passages.locator('.passage').count()) === 3, 'three passages', 30000);
  assert.match(await page.locator('.passages-progress').textContent(), /^Searching 3 of 4 books' text$/);
  await passages.getByRole('button', { name: 'more in this book: The Whaling Voyage' }).click();
  await eventually(async () => (await passages.locator('.passage').count()) === 4, 'all four');
  // The keyboard leaves the list, and the answer is asked again every 2 seconds meanwhile.
  await page.evaluate(() => document.activeElement.blur());
  for (let waited = 0; waited < 5000; waited += 250) {
    assert.equal(await passages.locator('.passage').count(), 4, `still open after ${waited} ms`);
    await page.waitForTimeout(250);
  }
  assert.equal(await page.locator('.passages-more').count(), 0);
});
