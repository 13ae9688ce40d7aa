// The reader in Chromium: a tapped row opens the book at its first page; pages turn by button,
// key and link across the ends of chapters; the contents jump; the book's scripts never run; the
// book's files are served only inside the book; a broken book says so; closing comes back to the
// library with the book first, and it stays first after a restart. Highlights are listed in the
// contents and downloaded as Markdown; a place an e-ink reader pushed through the progress sync
// opens the book at its paragraph, left to right, right to left or vertical.

import { after, before, beforeEach, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { request } from 'node:http';
import { existsSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { expectProblems, launchBrowser, rowNames, waitForFirstRow } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { folderFor, openLibraryFor } from './support/pagewyn.mjs';
import { chapterTexts, writeLayoutBook, writeReaderBook } from './support/library.mjs';

let browser = null;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

const pageLabel = (page) => page.locator('.reader-page').textContent();
const chapterLabel = (page) => page.locator('.reader-chapter').textContent();

// Whether the element of the page in the frame stands in the part of the page shown.
const inView = (page, selector) => page.frameLocator('.reader-frame').locator(selector).evaluate((element) => {
  const rect = element.getBoundingClientRect();
  return rect.right > 0 && rect.left < element.ownerDocument.defaultView.innerWidth;
});

// GET of the path as it is (no client tidies it up), with the launch token unless token is false;
// headersOnly answers the status alone, without waiting for a body (a stream never ends).
function get(program, path, { token = true, headersOnly = false, window = null } = {}) {
  const { hostname, port } = new URL(program.origin);
  const headers = { ...(token ? { 'X-Pagewyn-Token': program.token } : {}), ...(window ? { 'X-Pagewyn-Window': window } : {}) };
  return new Promise((resolve, reject) => {
    const sent = request({ hostname, port, path, headers }, (response) => {
      if (headersOnly) {
        resolve({ status: response.statusCode });
        sent.destroy();
        return;
      }
      let body = '';
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body }));
    });
    sent.on('error', reject);
    sent.end();
  });
}

test('a tapped book opens at its first page and reads through its chapters', async (t) => {
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville', modified: 1_600_000_000 });
  writeReaderBook(folder, { file: 'other.epub', title: 'Another Book', author: 'Ann', modified: 1_700_000_000 });
  const { program, page } = await openLibraryFor(t, browser, folder);
  assert.deepEqual(await rowNames(page), ['Another Book, Ann', 'Moby-Dick, Herman Melville']);

  await page.locator('.row-cell', { hasText: 'Moby-Dick' }).click();
  const frame = page.frameLocator('.reader-frame');
  await frame.getByText(chapterTexts.one).waitFor();
  assert.equal(await page.locator('.reader-title').textContent(), 'Moby-Dick');
  const first = await eventually(async () => /^Page 1 of (\d+)$/.exec(await pageLabel(page)), 'the first page');
  const pages = Number(first[1]);
  assert.ok(pages > 1, 'the long chapter takes several pages');
  assert.equal(await chapterLabel(page), 'Loomings');
  assert.ok(await inView(page, 'h1'));
  assert.ok(await page.getByRole('button', { name: 'Previous page' }).isDisabled(), 'the cover page is not in the reading order');

  await page.getByRole('button', { name: 'Next page' }).click();
  await eventually(async () => (await pageLabel(page)) === `Page 2 of ${pages}`, 'the second page');
  assert.equal(await inView(page, 'h1'), false, 'the first page turned away');
  await page.keyboard.press('ArrowRight');
  await eventually(async () => (await pageLabel(page)) === `Page 3 of ${pages}`, 'the third page by key');
  await page.keyboard.press('ArrowLeft');
  await eventually(async () => (await pageLabel(page)) === `Page 2 of ${pages}`, 'back by key');

  for (let turn = 2; turn <= pages; ++turn) await page.getByRole('button', { name: 'Next page' }).click();
  await eventually(async () => (await chapterLabel(page)) === 'The Carpet-Bag', 'the next chapter, past the notes');
  await frame.getByText(chapterTexts.two).waitFor();
  assert.match(await pageLabel(page), /^Page 1 of \d+$/);
  await page.getByRole('button', { name: 'Previous page' }).click();
  await eventually(async () => (await chapterLabel(page)) === 'Loomings', 'back to the first chapter');
  await eventually(async () => (await pageLabel(page)) === `Page ${pages} of ${pages}`, 'at its last page');

  await page.getByRole('button', { name: 'Contents' }).click();
  await page.getByRole('button', { name: 'Middle' }).click();
  await eventually(() => inView(page, '#middle'), 'the jump to a section inside the second chapter');
  // The section begins further down the screen: the label names it from the screen it starts.
  assert.equal(await chapterLabel(page), 'The Carpet-Bag');
  assert.equal(await frame.locator('#scripted').textContent(), 'Nothing ran here.', "the book's script did not run");
  assert.notEqual(await page.title(), 'hijacked');

  // A chapter slow to come says so after a moment, rather than leave the screen blank.
  let release;
  const held = new Promise((resolve) => { release = resolve; });
  await page.route(/\/text\/three\.xhtml/, async (route) => { await held; await route.continue(); });
  const opening = () => page.locator('.reader-stage').evaluate((stage) => {
    const said = getComputedStyle(stage, '::after');
    return said.content === 'none' ? '' : `${said.content} ${said.opacity}`;
  });
  await frame.getByText('On to the third').click();
  await eventually(async () => (await opening()) === '"Opening…" 1', 'the chapter said to be opening');
  release();
  await eventually(async () => (await chapterLabel(page)) === 'The Spouter-Inn', 'the link to the third chapter');
  await frame.getByText(chapterTexts.three).waitFor();
  assert.equal(await opening(), '', 'said no more once it shows');

  await page.getByRole('button', { name: 'Contents' }).click();
  await page.getByRole('button', { name: 'Loomings' }).click();
  await eventually(async () => (await pageLabel(page)) === `Page 1 of ${pages}`, 'the contents jump back');

  await page.getByRole('button', { name: 'close' }).click();
  await page.locator('.reader').waitFor({ state: 'detached' });
  await waitForFirstRow(page, 'Moby-Dick, Herman Melville', { anyProgress: true });

  await program.stop();
  const restarted = await openLibraryFor(t, browser, folder);
  await waitForFirstRow(restarted.page, 'Moby-Dick, Herman Melville', { anyProgress: true });
});

// The words of the paragraph of the frame's page that begins on the screen shown, and whether
// any line of a paragraph with those words is on it.
const firstShownParagraph = (page) => page.frameLocator('.reader-frame').locator('body').evaluate((body) => {
  const width = body.ownerDocument.defaultView.innerWidth;
  const onScreen = (p) => {
    const range = body.ownerDocument.createRange();
    range.selectNodeContents(p);
    return [...range.getClientRects()].some((r) => r.width > 0 && r.right > 0 && r.left < width);
  };
  return [...body.querySelectorAll('p')].find(onScreen)?.textContent.slice(0, 24) ?? null;
});
const paragraphShown = (page, start) => page.frameLocator('.reader-frame').locator('body').evaluate((body, words) => {
  const { innerWidth: width, innerHeight: height } = body.ownerDocument.defaultView;
  const p = [...body.querySelectorAll('p')].find((item) => item.textContent.startsWith(words));
  const range = body.ownerDocument.createRange();
  range.selectNodeContents(p);
  return [...range.getClientRects()].some((r) => r.width > 0 && r.right > 0 && r.left < width
    && r.bottom > 0 && r.top < height);
}, start);

test('a book reopens where it was left: after a close, a restart, a new size and a new text size', async (t) => {
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville' });
  const openBook = async (page) => {
    await page.setViewportSize({ width: 600, height: 700 });
    await page.locator('.row-cell', { hasText: 'Moby-Dick' }).click();
    // The reader, then its page's document: where it stands on that page the checks below say.
    await page.locator('.reader').waitFor();
    await page.frameLocator('.reader-frame').locator('h1').first().waitFor({ state: 'attached' });
  };
  const first = await openLibraryFor(t, browser, folder);
  await openBook(first.page);
  await eventually(async () => /^Page 1 of/.test(await pageLabel(first.page)), 'the first page at first');
  for (let turn = 0; turn < 3; ++turn) await first.page.getByRole('button', { name: 'Next page' }).click();
  await eventually(async () => /^Page 4 of/.test(await pageLabel(first.page)), 'the fourth page');
  const words = await firstShownParagraph(first.page);
  assert.match(words, /^Paragraph \d+ /);

  await first.page.setViewportSize({ width: 900, height: 520 });
  await eventually(() => paragraphShown(first.page, words), 'the same words after a new size');
  await first.page.getByRole('button', { name: 'Larger text' }).click();
  await first.page.getByRole('button', { name: 'Larger text' }).click();
  await eventually(() => paragraphShown(first.page, words), 'the same words after a larger text');
  await first.page.getByRole('button', { name: 'Night mode' }).click();
  await first.page.setViewportSize({ width: 600, height: 700 });
  // The page label once the last new size is laid out: the same on two looks with the words shown.
  let seen = null;
  const left = await eventually(async () => {
    const label = (await paragraphShown(first.page, words)) ? await pageLabel(first.page) : null;
    const settled = label !== null && label === seen;
    seen = label;
    return settled && label;
    // Three new sizes and a text size laid out one after the other: on a loaded machine (the
    // sanitized build beside another browser file) that takes longer than one look's usual wait.
  }, 'the same words back at the first size', 30000);

  await first.page.getByRole('button', { name: 'close' }).click();
  await first.page.locator('.reader').waitFor({ state: 'detached' });
  await openBook(first.page);
  await eventually(async () => (await pageLabel(first.page)) === left, `${left} after a close`);
  assert.ok(await paragraphShown(first.page, words));
  assert.match(await first.page.locator('.reader').getAttribute('class'), /\bnight\b/, 'night mode kept');

  await first.program.stop();
  assert.ok(existsSync(join(folder, 'reading-places.json')));
  const restarted = await openLibraryFor(t, browser, folder);
  assert.equal((await rowNames(restarted.page)).length, 1, 'the places are no book');
  await openBook(restarted.page);
  await eventually(async () => (await pageLabel(restarted.page)) === left, `${left} after a restart`);
  assert.ok(await paragraphShown(restarted.page, words));
});

test('a place kept in one browser is where another opens the book, its own reader apart', async (t) => {
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville' });
  const viewport = { width: 600, height: 700 };
  const laptop = await openLibraryFor(t, browser, folder, viewport);
  const phoneContext = await browser.newContext({ viewport, hasTouch: true });
  t.after(() => phoneContext.close());
  const phone = await phoneContext.newPage();
  await phone.goto(laptop.program.address);
  await phone.locator('.row-cell').first().waitFor();

  // When the laptop's page kept its place: a turn is kept once the pages have been still a moment.
  const kept = [];
  laptop.page.on('requestfinished', (sent) => {
    if (/\/action$/.test(sent.url()) && sent.postData()?.includes('keepPlace')) kept.push(Date.now());
  });
  await laptop.page.locator('.row-cell', { hasText: 'Moby-Dick' }).click();
  await eventually(async () => /^Page 1 of/.test(await pageLabel(laptop.page)), 'the first page on the laptop');
  for (let turn = 0; turn < 3; ++turn) await laptop.page.getByRole('button', { name: 'Next page' }).click();
  await eventually(async () => /^Page 4 of/.test(await pageLabel(laptop.page)), 'the fourth page on the laptop');
  const shownAt = Date.now();
  await eventually(() => kept.length > 0 && Date.now() - Math.max(kept.at(-1), shownAt) > 1500, 'the place kept');
  assert.equal(await phone.locator('.reader').count(), 0, 'the phone still shows the library');

  await phone.locator('.row-cell', { hasText: 'Moby-Dick' }).tap();
  await eventually(async () => /^Page 4 of/.test(await pageLabel(phone)), 'the laptop\'s place on the phone');
  await phone.getByRole('button', { name: 'close' }).click();
  await phone.locator('.reader').waitFor({ state: 'detached' });
  assert.match(await pageLabel(laptop.page), /^Page 4 of/, 'the laptop still reads its book');
});

// A request of KOReader's progress sync, with the catalog's account; its status and JSON answer.
function syncRequest(program, method, path, key, body = null) {
  const { hostname, port } = new URL(program.origin);
  const headers = { 'x-auth-user': 'pagewyn', 'x-auth-key': key };
  headers.Accept = 'application/vnd.koreader.v1+json';
  if (body) headers['Content-Type'] = 'application/json';
  return new Promise((resolve, reject) => {
    const sent = request({ hostname, port, path, method, headers }, (response) => {
      let text = '';
      response.on('data', (chunk) => { text += chunk; });
      const json = () => JSON.parse(text || 'null');
      response.on('end', () => resolve({ status: response.statusCode, json: json() }));
    });
    sent.on('error', reject);
    sent.end(body ? JSON.stringify(body) : undefined);
  });
}

// The name a reading device gives a book: the MD5 of 1,024 bytes at 0, then at 1,024 × 4^i.
function documentDigest(path) {
  const bytes = readFileSync(path);
  const hash = createHash('md5');
  for (let i = -1; i <= 10; ++i) {
    const offset = i < 0 ? 0 : 1024 * 4 ** i;
    if (offset < bytes.length) hash.update(bytes.subarray(offset, offset + 1024));
  }
  return hash.digest('hex');
}

// The books a pushed place is opened in, one of each direction, and the paragraph pushed: each
// chapter's paragraphs are its body's p elements, Moby-Dick's first chapter (the spine's second
// document) beginning with its title's, so that its 41st is Paragraph 40.
const pushedBooks = [
  {
    direction: 'left to right', file: 'moby.epub', row: 'Moby-Dick, Herman Melville',
    write: (folder) => writeReaderBook(folder,
      { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville' }),
    progress: '/body/DocFragment[2]/body/p[41]/text().10',
    words: 'Paragraph 40 of', first: 'Paragraph 1 of',
  },
  {
    direction: 'right to left', file: 'arabic.epub', row: 'arabic, Layout',
    write: (folder) => writeLayoutBook(folder, 'arabic'),
    progress: '/body/DocFragment[1]/body/p[30]/text().10',
    words: 'الفقرة 30 من', first: 'الفقرة 1 من',
  },
  {
    direction: 'vertical', file: 'japanese.epub', row: 'japanese, Layout',
    write: (folder) => writeLayoutBook(folder, 'japanese'),
    progress: '/body/DocFragment[1]/body/p[30]/text().10',
    words: '第1章の第30段落', first: '第1章の第1段落',
  },
];

test('a place an e-ink reader pushed opens its paragraph in every direction; the row shows it', async (t) => {
  for (const book of pushedBooks) {
    await t.test(book.direction, async (t) => {
      const folder = folderFor(t);
      book.write(folder);
      const { program, page } = await openLibraryFor(t, browser, folder, {
        width: 600,
        height: 700,
      });
      const settings = JSON.parse((await get(program, '/settings-page/catalog')).body);
      const key = createHash('md5').update(settings.password).digest('hex');
      const document = documentDigest(join(folder, book.file));
      const path = `/kosync/syncs/progress/${document}`;
      assert.deepEqual(await syncRequest(program, 'GET', path, key), { status: 200, json: {} });

      const pushed = await syncRequest(program, 'PUT', '/kosync/syncs/progress', key, {
        document,
        progress: book.progress,
        percentage: 0.4,
        device: 'Kobo Libra',
        device_id: 'K1',
      });
      assert.equal(pushed.status, 200);
      assert.equal(pushed.json.document, document);
      const progressShown = async () => {
        const [name] = await rowNames(page);
        return name?.startsWith(`${book.row}, `) && / \d+% read$/.test(name);
      };
      await eventually(progressShown, 'the row\'s progress');

      await page.locator('.row-cell').first().click();
      await page.locator('.reader').waitFor();
      await eventually(() => paragraphShown(page, book.words), 'the pushed paragraph shown');
      assert.equal(await paragraphShown(page, book.first), false, 'not the chapter\'s start');
      const notice = () => page.locator('#notice').textContent();
      await eventually(async () => (await notice()).includes('Kobo Libra'), 'the device named');
    });
  }
});

test('find lists the matches with their chapter, and a chosen one shows its page with the words marked', async (t) => {
  // Known fault, cause not yet found: a reader action answered 422 during this test or just before.
  expectProblems({ status: 422, url: /\/reader\/[0-9a-f]{32}\/action$/ });
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville' });
  const { page } = await openLibraryFor(t, browser, folder);
  await page.locator('.row-cell', { hasText: 'Moby-Dick' }).click();
  const frame = page.frameLocator('.reader-frame');
  await frame.locator('h1').waitFor();
  await eventually(async () => /^Page 1 of/.test(await pageLabel(page)), 'the first page');

  await page.keyboard.press('Control+f');
  const field = page.getByRole('searchbox', { name: 'Search the book' });
  await field.waitFor();
  await field.fill('ISHMAEL');
  await eventually(async () => (await page.locator('.reader-search-status').textContent()) === '1 found', 'one match');
  assert.equal(await page.locator('.reader-search-chapter').textContent(), 'Loomings');
  assert.equal(await page.locator('.reader-search-snippet mark').textContent(), 'Ishmael');

  await field.fill('paragraph 42 of THE first');
  await eventually(async () => (await page.locator('.reader-search-snippet mark').allTextContents()).join() === 'Paragraph 42 of the first', 'the new query replaces the old');
  await page.locator('.reader-search-result').click();
  await eventually(async () => /^Page [2-9]/.test(await pageLabel(page)), 'the page of the match');
  assert.equal(await frame.locator('mark.pagewyn-found').first().textContent(), 'Paragraph 42 of the first');
  assert.ok(await inView(page, 'mark.pagewyn-found'), 'the marked words on the page shown');

  await page.getByRole('button', { name: 'Search' }).click();
  await field.fill('carpet');
  await eventually(async () => (await page.locator('.reader-search-chapter').allTextContents()).join() === 'The Carpet-Bag', 'a match in the second chapter');
  await page.locator('.reader-search-result').click();
  await eventually(async () => (await chapterLabel(page)) === 'The Carpet-Bag', 'the second chapter');
  await page.keyboard.press('Control+f');
  await field.fill('');
  await eventually(async () => (await page.locator('.reader-search-result').count()) === 0, 'an empty query lists nothing');
});

// The reader's book carries a script on purpose, which the book's sandboxed frame does not run.
beforeEach(() => expectProblems({ console: /^Blocked script execution in '.*\/reader\/[0-9a-f]{32}\/.*' because the document's frame is sandboxed/ }));

test("the book's files are served only inside the open book, and the book reaches nothing else", async (t) => {
  // What the hostile book asks of the host is refused, and its style sheet from the state is not
  // applied.
  expectProblems(
    { status: 403, url: /\/(events|state)/ },
    { console: /^Refused to apply style from '.*\/state'/ },
  );
  const folder = folderFor(t);
  const outside = folderFor(t);
  writeFileSync(join(outside, 'secret.txt'), 'not the book');
  writeReaderBook(folder, {
    file: 'open.epub',
    title: 'Open Book',
    author: 'Ann',
    unpacked: true,
    hostile: true,
    outsideLink: { name: 'OEBPS/leak.xhtml', target: join(outside, 'secret.txt') },
  });
  const { program, page } = await openLibraryFor(t, browser, folder);
  const fromBook = [];
  page.on('response', (response) => {
    if (response.frame() !== page.mainFrame())
      fromBook.push({ path: new URL(response.url()).pathname, status: response.status() });
  });
  await page.locator('.row-cell', { hasText: 'Open Book' }).click();
  await page.frameLocator('.reader-frame').getByText(chapterTexts.one).waitFor();

  // The book's loads of the change stream and the state get nothing; the page's own stream lives
  // on.
  const tried = await eventually(() => {
    const hostRoutes = fromBook.filter((load) => load.path === '/events' || load.path === '/state');
    return (
      ['/events', '/state'].every((path) => hostRoutes.some((load) => load.path === path)) &&
      hostRoutes
    );
  }, 'the book tried the host routes');
  assert.deepEqual([...new Set(tried.map((load) => load.status))], [403]);
  assert.equal(
    (await get(program, '/events', { headersOnly: true })).status,
    200,
    'a stream is still to be had',
  );

  // The page's own window shows the book.
  const window = await page.evaluate(() => sessionStorage.getItem('pagewyn-window'));
  const state = JSON.parse((await get(program, '/state', { window })).body);
  const session = state.presented.find((screen) => screen.reader)?.reader.session;
  assert.match(session, /^[0-9a-f]{32}$/);

  const served = await get(program, `/reader/${session}/OEBPS/text/one.xhtml`);
  assert.equal(served.status, 200);
  assert.match(served.headers['content-type'], /^application\/xhtml\+xml/);
  assert.match(served.headers['content-security-policy'], /default-src 'none'/);
  assert.doesNotMatch(served.headers['content-security-policy'], /script-src/);
  assert.match(served.headers['x-frame-options'], /SAMEORIGIN/);

  for (const path of [
    '../../../../etc/passwd',
    '%2e%2e/%2e%2e/%2e%2e/etc/passwd',
    'OEBPS/..%2f..%2f..%2fetc/passwd',
    '/etc/passwd',
    '%2fetc%2fpasswd',
    'OEBPS/leak.xhtml',
    'OEBPS',
    'OEBPS/absent.xhtml',
  ]) {
    const refused = await get(program, `/reader/${session}/${path}`);
    assert.equal(refused.status, 404, path);
    assert.doesNotMatch(refused.body, /root:|not the book/, path);
  }
  assert.equal(
    (await get(program, `/reader/${'0'.repeat(32)}/OEBPS/text/one.xhtml`)).status,
    404,
    'another session',
  );
  // A frame's loads cannot carry the launch token: the session's name is the book's key.
  assert.equal(
    (await get(program, `/reader/${session}/OEBPS/text/one.xhtml`, { token: false })).status,
    200,
    'by the session alone',
  );

  await page.getByRole('button', { name: 'close' }).click();
  await page.locator('.reader').waitFor({ state: 'detached' });
  assert.equal(
    (await get(program, `/reader/${session}/OEBPS/text/one.xhtml`)).status,
    404,
    'once the reader is closed',
  );
});

test('selected words become a highlight that stays, or a quote to share', async (t) => {
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville' });
  const { page } = await openLibraryFor(t, browser, folder);
  const open = async () => {
    await page.locator('.row-cell').first().click();
    await page.frameLocator('.reader-frame').getByText(chapterTexts.one).waitFor();
  };
  await open();
  const frame = page.frameLocator('.reader-frame');
  await frame.getByText(chapterTexts.one).selectText();
  await page.getByRole('button', { name: 'Highlight' }).click();
  await frame.locator('mark[data-highlight]').waitFor();
  assert.equal(await frame.locator('mark[data-highlight]').textContent(), chapterTexts.one);
  const database = join(folder, 'highlights.realm');
  await eventually(() => existsSync(database), 'the highlight database in the library folder');
  assert.match(readFileSync(database, 'utf8'), /Call me Ishmael\./);

  await page.getByRole('button', { name: 'close' }).click();
  await page.locator('.reader').waitFor({ state: 'detached' });
  await open();
  await frame.locator('mark[data-highlight]').waitFor();
  assert.equal(await frame.locator('mark[data-highlight]').textContent(), chapterTexts.one, 'kept across openings');

  // The contents list it with its chapter; choosing it from another chapter shows it marked.
  const contents = page.getByRole('button', { name: 'Contents' });
  await contents.click();
  await page.locator('.reader-toc-entry', { hasText: 'The Spouter-Inn' }).click();
  await frame.getByText(chapterTexts.three).waitFor();
  await contents.click();
  const listed = page.locator('.reader-highlight-entry');
  await listed.first().waitFor();
  assert.equal(await listed.count(), 1);
  assert.equal(await listed.locator('.reader-highlight-text').textContent(), chapterTexts.one);
  assert.equal(await listed.locator('.reader-highlight-chapter').textContent(), 'Loomings');
  assert.equal(await listed.locator('.reader-highlight-stale').count(), 0, 'it matches the book');
  await listed.click();
  await frame.locator('mark.pagewyn-highlight-shown').waitFor();
  assert.equal(await frame.locator('mark.pagewyn-highlight-shown').textContent(), chapterTexts.one);
  assert.ok(await inView(page, 'mark.pagewyn-highlight-shown'), 'its page is shown');

  // "Export highlights" downloads them as Markdown under the book's title.
  await contents.click();
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.getByRole('button', { name: 'Export highlights' }).click(),
  ]);
  assert.equal(download.suggestedFilename(), 'Moby-Dick highlights.md');
  assert.match(readFileSync(await download.path(), 'utf8'),
    /^# Moby-Dick — Herman Melville\n\n## Loomings\n\n> Call me Ishmael\.\n\nHighlighted on \d{4}-\d\d-\d\d\n$/);
  await page.keyboard.press('Escape');

  await frame.locator('h1').selectText();
  await page.getByRole('button', { name: 'Share quote' }).click();
  const composer = page.getByRole('dialog', { name: 'Share quote' });
  await composer.waitFor();
  assert.equal(await composer.getByRole('button', { name: /^Background/ }).count(), 2, 'one background per quote image');
  assert.equal(await composer.getByRole('img').getAttribute('aria-label'), '“Loomings”');
  await composer.getByRole('button', { name: 'Done' }).click();
  await composer.waitFor({ state: 'detached' });

  await frame.locator('mark[data-highlight]').click();
  await page.getByRole('button', { name: 'Remove highlight' }).click();
  await frame.locator('mark[data-highlight]').waitFor({ state: 'detached' });
  await eventually(() => !readFileSync(database, 'utf8').includes('Call me Ishmael.'), 'the highlight forgotten');
});

test('a book that cannot be read says so, and the way back stays', async (t) => {
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'broken.epub', title: 'Broken', author: 'Ann', breakage: 'spine' });
  const { page } = await openLibraryFor(t, browser, folder);
  await page.locator('.row-cell').first().click();
  const message = page.locator('.reader-message');
  await message.waitFor();
  assert.match(await message.textContent(), /This book cannot be opened\./);
  assert.match(await message.textContent(), /none of the pages/);
  assert.equal(await page.locator('.reader-frame').count(), 0);
  await page.getByRole('button', { name: 'close' }).click();
  await page.locator('.reader').waitFor({ state: 'detached' });
  assert.deepEqual(await rowNames(page), ['Broken, Ann']);
});
