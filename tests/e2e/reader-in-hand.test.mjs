// The reader in the hand: on a phone and a tablet (touch), swipes turn pages and never take the
// browser back or forward, a pinch sizes the text and never zooms the page, and every button of
// the bars, the text size's among them, is there and a finger wide. From the keyboard: Space
// pages whatever has the focus, Tab stays in the reader, the arrows go through the contents, and
// Escape comes back to the book's row.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import { expectProblems, launchBrowser } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { folderFor, openLibraryFor } from './support/pagewyn.mjs';
import { chapterTexts, writeReaderBook } from './support/library.mjs';

let browser = null;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const pageNumber = async (page) => Number(/^Page (\d+)/.exec(await page.locator('.reader-page').textContent())?.[1]);

async function openBook(t, viewport, contextOptions = {}) {
  const folder = folderFor(t);
  writeReaderBook(folder, { file: 'moby.epub', title: 'Moby-Dick', author: 'Herman Melville', modified: 1_600_000_000 });
  writeReaderBook(folder, { file: 'other.epub', title: 'Another Book', author: 'Ann', modified: 1_700_000_000 });
  const { page } = await openLibraryFor(t, browser, folder, viewport, contextOptions);
  // The book's scripts are never run: the browser saying so is expected. Anything else broken
  // fails the test through the launcher's guard.
  expectProblems({ console: /^Blocked script execution in '.*\/reader\/[0-9a-f]{32}\/.*' because the document's frame is sandboxed/ });
  const failures = [];
  page.on('pageerror', (error) => failures.push(error.message));
  return { page, failures };
}

// One finger, or two, moved in steps from where they start to where they end, through the
// browser's own input (so its gestures would see them too).
async function touchGesture(page, fingers) {
  const cdp = await page.context().newCDPSession(page);
  const at = (step) =>
    fingers.map(({ from, to }, id) => ({
      id,
      x: from[0] + ((to[0] - from[0]) * step) / 8,
      y: from[1] + ((to[1] - from[1]) * step) / 8,
    }));
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: at(0) });
  for (let step = 1; step <= 8; step++) await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: at(step) });
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  await cdp.detach();
}

for (const [profile, viewport] of [['a phone', { width: 390, height: 844 }], ['a tablet', { width: 820, height: 1180 }]]) {
  test(`on ${profile}, swipes turn pages and stay in Pagewyn, a pinch sizes the text, and every control is a finger wide`, async (t) => {
    const { page, failures } = await openBook(t, viewport, {
      hasTouch: true,
      isMobile: true,
      deviceScaleFactor: 2,
    });
    const address = page.url();
    await page.locator('.row-cell', { hasText: 'Moby-Dick' }).tap();
    await page.frameLocator('.reader-frame').getByText(chapterTexts.one).waitFor();
    await eventually(async () => (await pageNumber(page)) === 1, 'the first page');

    const stage = await page.locator('.reader-stage').boundingBox();
    const middle = stage.y + stage.height / 2;
    const left = stage.x + stage.width * 0.15;
    const right = stage.x + stage.width * 0.85;
    // A swipe towards the previous page on the first one is where the browser would go back.
    await touchGesture(page, [{ from: [left, middle], to: [right, middle] }]);
    await touchGesture(page, [{ from: [right, middle], to: [left, middle] }]);
    await eventually(async () => (await pageNumber(page)) === 2, 'the next page by a swipe');
    await touchGesture(page, [{ from: [left, middle], to: [right, middle] }]);
    await eventually(async () => (await pageNumber(page)) === 1, 'back by a swipe');
    assert.equal(page.url(), address, 'the swipes left the page where it was');

    const textSize = () => page.frameLocator('.reader-frame').locator('html').evaluate((html) => parseFloat(getComputedStyle(html).fontSize));
    const before = await textSize();
    const centre = stage.x + stage.width / 2;
    await touchGesture(page, [
      { from: [centre - 20, middle], to: [centre - 120, middle] },
      { from: [centre + 20, middle], to: [centre + 120, middle] },
    ]);
    await eventually(async () => (await textSize()) > before, 'larger text after the pinch');
    assert.equal(await page.evaluate(() => window.visualViewport.scale), 1, 'the page did not zoom');

    for (const name of ['close', 'Search', 'Contents', 'Night mode', 'A− Smaller text', 'A+ Larger text', 'Previous page', 'Next page']) {
      const box = await page.getByRole('button', { name, exact: true }).boundingBox();
      assert.ok(box && box.x >= 0 && box.x + box.width <= viewport.width, `${name} is on screen`);
      assert.ok(box.width >= 44 && box.height >= 44, `${name} is ${box.width}×${box.height}`);
    }
    // The title is shown whole where it fits the screen's width, and a notice leaves the page
    // counter in sight.
    const title = page.locator('.reader-title');
    assert.ok(await title.evaluate((shown) => shown.scrollWidth <= shown.clientWidth), 'the title is not cut');
    const notice = await page.locator('#notice').evaluate((shown) => {
      shown.textContent = 'Added: “A rather long name of a book.epub”, “Another one.epub”.';
      shown.hidden = false;
      return shown.getBoundingClientRect().bottom;
    });
    const counter = await page.locator('.reader-page').boundingBox();
    assert.ok(notice <= counter.y, 'the notice stands above the page counter');
    await page.getByRole('button', { name: 'A+ Larger text' }).tap();
    assert.deepEqual(failures, []);
  });
}

test('from the keyboard, Space pages whatever has the focus, Tab stays inside, and Escape returns to the row', async (t) => {
  const { page, failures } = await openBook(t, { width: 1280, height: 800 });
  // Tab goes through the header, whose icons say their names when pointed at, before the rows.
  const stops = [];
  while (stops.length < 10 && !stops.includes('Another Book, Ann')) {
    await page.keyboard.press('Tab');
    stops.push(await page.evaluate(() => document.activeElement.getAttribute('aria-label') ?? document.activeElement.placeholder));
  }
  assert.deepEqual(stops.slice(0, 4), ['info', 'open', 'sort', 'settings']);
  assert.equal(stops.at(-1), 'Another Book, Ann', stops.join(' / '));
  assert.equal(await page.getByRole('button', { name: 'sort' }).getAttribute('title'), 'sort');
  await page.keyboard.press('ArrowDown');
  const row = page.locator('.row-cell[aria-label^="Moby-Dick, Herman Melville"]');
  await eventually(() => row.evaluate((cell) => cell === document.activeElement), 'the arrow moves to the next row');
  await page.keyboard.press('Enter');
  await eventually(async () => (await pageNumber(page)) === 1, 'the first page');
  await page.keyboard.press(' ');
  await eventually(async () => (await pageNumber(page)) === 2, 'Space turns the page');
  await page.keyboard.press('Shift+ ');
  await eventually(async () => (await pageNumber(page)) === 1, 'Shift+Space turns it back');
  // A clicked button keeps the focus, yet Space still pages rather than pressing it again.
  await page.getByRole('button', { name: 'Night mode' }).click();
  await page.keyboard.press(' ');
  await eventually(async () => (await pageNumber(page)) === 2, 'Space pages after a click');
  assert.equal(await page.getByRole('button', { name: 'Night mode' }).getAttribute('aria-pressed'), 'true');

  for (let presses = 0; presses < 12; presses++) {
    await page.keyboard.press(presses % 3 === 2 ? 'Shift+Tab' : 'Tab');
    assert.ok(await page.evaluate(() => Boolean(document.activeElement?.closest('.reader'))), 'Tab stays inside the reader');
  }

  // Enter presses a button reached by Tab.
  for (let presses = 0; presses < 12 && !(await page.evaluate(() => document.activeElement.textContent === 'Contents')); presses++) {
    await page.keyboard.press('Tab');
  }
  await page.keyboard.press('Enter');
  const entries = page.locator('.reader-toc-entry');
  await eventually(() => entries.nth(0).evaluate((entry) => entry === document.activeElement), 'the contents take the focus');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowDown');
  assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Middle');
  await page.keyboard.press('End');
  assert.equal(await page.evaluate(() => document.activeElement.textContent), 'The Spouter-Inn');
  await page.keyboard.press('Escape');
  await page.locator('.reader-toc').waitFor({ state: 'hidden' });
  await page.keyboard.press('Escape');
  await page.locator('.reader').waitFor({ state: 'detached' });
  await eventually(() => row.evaluate((cell) => cell === document.activeElement), 'Escape gives the focus back to the book\'s row');
  assert.deepEqual(failures, []);
});
