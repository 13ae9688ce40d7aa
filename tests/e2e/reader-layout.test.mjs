// The reader lays out books that are not left-to-right text: every screen of a right-to-left or
// vertical chapter shows text the screen before did not, up to the chapter's end and on into the
// next; fixed-layout pages are shown whole, one per portrait screen and in spreads on a landscape
// one, turning in the book's progression.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { folderFor, openLibraryFor } from './support/pagewyn.mjs';
import { comicPages, layoutBooks, writeLayoutBook } from './support/library.mjs';

let browser = null;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

async function openBook(t, name, viewport) {
  const folder = folderFor(t);
  writeLayoutBook(folder, name);
  const { page } = await openLibraryFor(t, browser, folder, viewport);
  await page.locator('.row-cell').first().click();
  await eventually(async () => (await shown(page)).length > 0, 'the first page');
  return page;
}

// The ids of the paragraphs and pages of which some part is on screen, in every frame shown.
const shown = (page) => page.locator('.reader-frame:not([hidden])').evaluateAll((frames) => frames.flatMap((frame) => {
  const doc = frame.contentDocument;
  const width = doc?.defaultView?.innerWidth ?? 0;
  const height = doc?.defaultView?.innerHeight ?? 0;
  return [...(doc?.querySelectorAll('[id^="p-"], [id^="page-"]') ?? [])]
    .filter((element) =>
      [...element.getClientRects()].some(
        (r) => r.right > 1 && r.left < width - 1 && r.bottom > 1 && r.top < height - 1,
      ),
    )
    .map((element) => element.id);
}));
const pageLabel = (page) => page.locator('.reader-page').textContent();

test('right-to-left and vertical chapters are read screen by screen into the next chapter', async (t) => {
  for (const name of ['arabic', 'hebrew', 'japanese']) {
    await t.test(name, async (t) => {
      const page = await openBook(t, name, { width: 900, height: 700 });
      // The label reads "Page 1 of 1" until the chapter's fonts and columns have settled.
      const first = await eventually(async () => {
        const counted = /^Page 1 of (\d+)$/.exec(await pageLabel(page));
        return counted && Number(counted[1]) >= 3 ? counted : null;
      }, 'the first chapter counted in three screens or more');
      const screens = Number(first[1]);
      const stage = await page.locator('.reader-stage').boundingBox();
      // Forward is to the left: the left arrow, the button, a tap near the left edge.
      const turns = [
        () => page.keyboard.press('ArrowLeft'),
        () => page.getByRole('button', { name: 'Next page' }).click(),
        () => page.mouse.click(stage.x + 8, stage.y + stage.height / 2),
      ];
      const seen = new Set();
      let before = await shown(page);
      for (const id of before) seen.add(id);
      for (let screen = 2; screen <= screens + 1; ++screen) {
        await turns[screen % turns.length]();
        const label = screen <= screens ? `Page ${screen} of ${screens}` : /^Page 1 of \d+$/;
        await eventually(async () => {
          const text = await pageLabel(page);
          return typeof label === 'string' ? text === label : label.test(text);
        }, `screen ${screen}`);
        const now = await eventually(async () => {
          const ids = await shown(page);
          return ids.some((id) => !before.includes(id)) ? ids : null;
        }, `new text on screen ${screen}`);
        for (const id of now) seen.add(id);
        before = now;
      }
      assert.ok(before.includes('p-2-1'), 'on into the next chapter');
      const writingMode = await page.frameLocator('.reader-frame').locator('body').evaluate((body) => getComputedStyle(body).writingMode);
      assert.equal(writingMode, layoutBooks[name].writingMode ?? 'horizontal-tb', 'the book\'s writing mode where the chapter sets none');
      const missed = Array.from({ length: 40 }, (_, n) => `p-1-${n + 1}`).filter((id) => !seen.has(id));
      assert.deepEqual(missed, [], 'every paragraph of the first chapter was on a screen');
      await page.keyboard.press('ArrowRight');
      await eventually(async () => (await pageLabel(page)) === `Page ${screens} of ${screens}`, `back by the right arrow: ${await pageLabel(page)}`);
    });
  }
});

test('fixed-layout pages are shown whole, in spreads on a landscape screen, in the book\'s progression', async (t) => {
  const single = comicPages.map((_, n) => [n + 1]);
  const spreads = [[1], [2, 3], [4, 5], [6]];
  for (const [name, forward] of [['comicLTR', 'ArrowRight'], ['comicRTL', 'ArrowLeft']]) {
    for (const [viewport, expected] of [
      [{ width: 430, height: 900 }, single],
      [{ width: 1000, height: 700 }, spreads],
    ]) {
      await t.test(`${name} ${viewport.width}×${viewport.height}`, async (t) => {
        const page = await openBook(t, name, viewport);
        for (const [screen, pages] of expected.entries()) {
          if (screen > 0) await page.keyboard.press(forward);
          const ids = pages.map((n) => `page-${n}`);
          await eventually(
            async () => JSON.stringify((await shown(page)).sort()) === JSON.stringify(ids),
            `${ids} on screen ${screen + 1}`,
          );
          const label = `Page ${pages[0]} of ${comicPages.length}`;
          await eventually(
            async () => (await pageLabel(page)) === label,
            `pages counted across the book: ${label}`,
          );
          const frames = await page.locator('.reader-frame:not([hidden])').evaluateAll((all) =>
            all.map((frame) => {
              const rect = frame.getBoundingClientRect();
              const scroller = frame.contentDocument.scrollingElement;
              return {
                left: rect.left,
                right: rect.right,
                top: rect.top,
                bottom: rect.bottom,
                page: frame.contentDocument.querySelector('[id^="page-"]').id,
                scroll: [
                  scroller.scrollWidth,
                  scroller.scrollHeight,
                  scroller.clientWidth,
                  scroller.clientHeight,
                ],
              };
            }),
          );
          for (const frame of frames) {
            const declared =
              frame.page === `page-${comicPages.length}` ? frame.scroll.slice(2) : [1474, 2324];
            assert.deepEqual(
              frame.scroll,
              [...declared, ...declared],
              `${frame.page} laid out at its own size, or the screen's`,
            );
            assert.ok(
              frame.left >= 0 &&
                frame.top >= 0 &&
                frame.right <= viewport.width &&
                frame.bottom <= viewport.height,
              `${frame.page} wholly in the window`,
            );
          }
          if (frames.length === 2) {
            const [a, b] = ids.map((id) => frames.find((frame) => frame.page === id));
            assert.equal(
              a.left < b.left,
              name === 'comicLTR',
              "the first page of the spread on the progression's start side",
            );
            assert.ok(
              Math.abs(a.left < b.left ? a.right - b.left : b.right - a.left) < 1,
              'the pages meet',
            );
          }
        }
        assert.ok(
          await page.getByRole('button', { name: 'Next page' }).isDisabled(),
          'nothing after the last page',
        );
        const back = forward === 'ArrowRight' ? 'ArrowLeft' : 'ArrowRight';
        await page.keyboard.press(back);
        const previous = expected.at(-2).map((n) => `page-${n}`);
        await eventually(
          async () => JSON.stringify((await shown(page)).sort()) === JSON.stringify(previous),
          'back one screen',
        );
      });
    }
  }
});
