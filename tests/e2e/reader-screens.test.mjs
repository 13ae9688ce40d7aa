// Every line of a chapter stands whole on some screen, whatever the book's style does to its
// columns (right-to-left, vertical, capped in size, hidden text, sections kept whole, pictures
// alone on a screen, boxes wider than a screen); "Previous page" retraces the screens; and a place
// left at any screen comes back at that screen after a close, a reload, a new window size and a new
// text size, showing no other screen as the book opens again.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { folderFor, openLibraryFor } from './support/pagewyn.mjs';
import { writeLayoutBook } from './support/library.mjs';

let browser = null;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

const phone = { width: 390, height: 760 };
const pageLabel = (page) => page.locator('.reader-page').textContent();

// The lines of the chapter's read text (ruby readings and hidden text aside), each by its text node
// and its place among that node's boxes, and its pictures: those wholly on the screen, and those
// cut by its edge.
const screenLines = (page) => page.locator('.reader-frame').evaluate((frame) => {
  const doc = frame.contentDocument;
  const view = doc.defaultView;
  const walker = doc.createTreeWalker(doc.body, NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT);
  const range = doc.createRange();
  const lines = { all: [], whole: [], cut: [] };
  for (let node = walker.nextNode(), n = 0; node; node = walker.nextNode(), ++n) {
    const picture = node.localName === 'img';
    if (!picture && (node.nodeType !== Node.TEXT_NODE || !node.data.trim() || node.parentElement.closest('rt'))) continue;
    if (picture) range.selectNode(node);
    else range.selectNodeContents(node);
    [...range.getClientRects()].filter((r) => r.width && r.height).forEach((r, k) => {
      const key = `${n}.${k}`;
      lines.all.push(key);
      const within =
        r.left >= -1 &&
        r.top >= -1 &&
        r.right <= view.innerWidth + 1 &&
        r.bottom <= view.innerHeight + 1;
      const apart =
        r.right <= 1 ||
        r.left >= view.innerWidth - 1 ||
        r.bottom <= 1 ||
        r.top >= view.innerHeight - 1;
      if (within) lines.whole.push(key);
      else if (!apart) lines.cut.push(`${key} "${picture ? 'picture' : node.data.slice(0, 20)}" ${JSON.stringify([r.left, r.top, r.right, r.bottom])}`);
    });
  }
  return lines;
});

async function screenCount(page) {
  // Counted once the pictures are in: one that arrives late lays the chapter out anew.
  await page.locator('.reader-frame').evaluate((frame) => Promise.all([...frame.contentDocument.images].map((image) => image.decode().catch(() => {}))));
  const counted = await eventually(async () => {
    const found = /^Page 1 of (\d+)$/.exec(await pageLabel(page));
    return found && Number(found[1]) >= 3 ? found : null;
  }, 'the chapter counted in three screens or more');
  return Number(counted[1]);
}

async function turnTo(page, button, label) {
  await page.getByRole('button', { name: button }).click();
  await eventually(async () => (await pageLabel(page)) === label, label);
}

// The screen shown: its label and the first line wholly on it.
async function screen(page) {
  return `${await pageLabel(page)} at ${(await screenLines(page)).whole[0]}`;
}

// The chapter label a screen of the "headers" book should show: the last of its contents entries
// (every third paragraph from the fourth) that began on an earlier screen or is the first text of
// this one; and whether one of them begins further down this screen.
const expectedLabel = (page) => page.locator('.reader-frame').evaluate((frame) => {
  const doc = frame.contentDocument;
  const width = doc.defaultView.innerWidth;
  const rects = (element) => [...element.getClientRects()].filter((r) => r.width && r.height);
  const firstShown = [...doc.querySelectorAll('p')].find((p) => rects(p).some((r) => r.left >= -1 && r.right <= width + 1));
  let label = 'Part c1';
  let midScreen = false;
  for (let n = 4; n <= 40; n += 3) {
    const target = doc.getElementById(`p-1-${n}`);
    const first = rects(target)[0];
    if (first.right <= 1 || target === firstShown) label = `Paragraph ${n}`;
    else if (first.left < width - 1) midScreen = true;
  }
  return { label, midScreen };
});

// Leaves the book and comes back: a reload draws the reader open again, a close needs the row.
async function reopen(page, how) {
  if (how === 'reload') {
    await page.reload();
    return;
  }
  await page.getByRole('button', { name: 'close' }).click();
  await page.locator('.reader').waitFor({ state: 'detached' });
  await page.locator('.row-cell').first().click();
}

test('every line of a chapter is whole on a screen, and a place left on any screen reopens there', async (t) => {
  for (const name of ['arabic', 'headers', 'capped', 'sections', 'wide']) {
    await t.test(name, async (t) => {
      const folder = folderFor(t);
      writeLayoutBook(folder, name);
      const { page } = await openLibraryFor(t, browser, folder, phone);
      await page.locator('.row-cell').first().click();
      const count = await screenCount(page);
      const screens = [];
      const seen = new Set();
      let midScreen = false;
      for (let n = 1; n <= count; ++n) {
        if (n > 1) await turnTo(page, 'Next page', `Page ${n} of ${count}`);
        const lines = await screenLines(page);
        assert.deepEqual(lines.cut, [], `no line cut at the edge of screen ${n}`);
        assert.ok(lines.whole.length > 0, `screen ${n} is not blank`);
        lines.whole.forEach((key) => seen.add(key));
        if (n === count) assert.deepEqual(lines.all.filter((key) => !seen.has(key)), [], 'every line was on a screen');
        screens.push(await screen(page));
        if (name === 'headers') {
          const expected = await expectedLabel(page);
          assert.equal(await page.locator('.reader-chapter').textContent(), expected.label, `the label of screen ${n}`);
          midScreen ||= expected.midScreen;
        }
      }
      if (name === 'headers') assert.ok(midScreen, 'an entry began mid-screen');
      if (name === 'arabic') {
        // Next lies to the left: its button there, pointing there, and the bar fills from the
        // right.
        const box = async (selector) => page.locator(selector).boundingBox();
        const [next, previous, bar, fill] = await Promise.all(
          ['.reader-next', '.reader-previous', '.reader-progress', '.reader-progress-fill'].map(
            box,
          ),
        );
        assert.ok(next.x < previous.x, 'Next page on the left');
        assert.equal(await page.getByRole('button', { name: 'Next page' }).textContent(), '‹');
        assert.ok(
          fill.width > 0 && Math.abs(fill.x + fill.width - (bar.x + bar.width)) < 1,
          'the bar fills from the right',
        );
      }
      for (let n = count - 1; n >= 1; --n) {
        await turnTo(page, 'Previous page', `Page ${n} of ${count}`);
        assert.equal(await screen(page), screens[n - 1], 'back at the same screen');
      }
      for (let n = 2; n <= count; ++n) {
        await turnTo(page, 'Next page', `Page ${n} of ${count}`);
        // What each frame drawn shows while the book opens again: its label, and whether the
        // chapter's page is seen.
        await page.evaluate(() => {
          window.drawn = [];
          const look = () => {
            const frame = document.querySelector('.reader-frame');
            const label = document.querySelector('.reader-page')?.textContent;
            const seen = frame && getComputedStyle(frame).visibility === 'visible'
              && frame.contentDocument?.URL !== 'about:blank';
            window.drawn.push(label || (seen ? 'a page without a label' : 'nothing'));
            if (window.drawn.length < 1000) requestAnimationFrame(look);
          };
          requestAnimationFrame(look);
        });
        await reopen(page, n % 2 ? 'reload' : 'close');
        await eventually(async () => (await pageLabel(page)) === `Page ${n} of ${count}`, `reopened at screen ${n}: ${await pageLabel(page)}`);
        assert.equal(await screen(page), screens[n - 1]);
        const drawn = await page.evaluate(() => window.drawn ?? []);
        const afterClose = drawn.slice(drawn.indexOf('nothing'));
        const opening = new Set(afterClose.filter((shown) => shown !== 'nothing'));
        assert.deepEqual([...opening].filter((label) => label !== `Page ${n} of ${count}`), [],
          'nothing but the kept screen is shown as the book opens');
      }
      // The text size buttons show on a wide screen: a middle screen comes back after a new size,
      // a new text size and back, pressed one after the other, and the book's page is never loaded
      // again on the way (a flash, and a place lost), though the place kept changed meanwhile.
      const middle = Math.ceil(count / 2);
      const kept = page.waitForResponse((answer) => answer.url().endsWith('/action') && answer.request().postData()?.includes('keepPlace'));
      for (let n = count - 1; n >= middle; --n) await turnTo(page, 'Previous page', `Page ${n} of ${count}`);
      await kept;
      await page.locator('.reader-frame').evaluate((frame) => {
        window.bookPageLoads = 0;
        frame.addEventListener('load', () => { window.bookPageLoads += 1; });
      });
      await page.setViewportSize({ width: 1280, height: 800 });
      await page.getByRole('button', { name: 'Larger text' }).click();
      await page.getByRole('button', { name: 'Smaller text' }).click();
      await page.setViewportSize(phone);
      let shown = '';
      await eventually(async () => (shown = await screen(page)) === screens[middle - 1], 'the same screen after a new size, a new text size and back', 20000)
        .catch((failure) => { throw new Error(`${failure.message}: ${shown}, not ${screens[middle - 1]}`); });
      assert.equal(await page.evaluate(() => window.bookPageLoads), 0, 'the book\'s page is not loaded again');
      // Closed, the reader has sent its place: nothing is written into the folder as it goes.
      await page.getByRole('button', { name: 'close' }).click();
      await page.locator('.reader').waitFor({ state: 'detached' });
    });
  }
});
