// Covers at any library size: after far jumps through a library of a thousand books (dragged
// scroll bar, index taps in title order), every row in view shows its title and its own loaded
// cover, and no picture answer fails on the way (the launcher fails the test on any); an index
// tap's scroll shows rows in every frame.

import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, openPagewyn, rowsInView, waitForRowsInView } from './support/browser.mjs';
import { makeLargeLibrary } from './support/library.mjs';
import { startPagewyn } from './support/pagewyn.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Waits until the rows fill the view, each with its title and its cover loaded or broken, and
// each its own (every book of the library has a cover of its own): a cover read after the row was
// drawn replaces the blank one by itself.
const settled = (page) =>
  waitForRowsInView(
    page,
    (state) =>
      state.holes === 0 &&
      state.rows > 0 &&
      state.untitled === 0 &&
      state.loading === 0 &&
      state.samePicture === 0,
  );

describe('covers', () => {
  test('after far jumps through a thousand books every row in view has its title and a loaded cover', { timeout: 300000 }, async () => {
    const library = makeLargeLibrary(1000);
    const pagewyn = await startPagewyn(library.folder);
    try {
      const page = await openPagewyn(browser, pagewyn);
      await settled(page);
      const jumps = [
        ['scroll bar to 90%', 0.9], ['scroll bar to 10%', 0.1], ['scroll bar to 55%', 0.55], ['scroll bar to the end', 1], ['scroll bar to 30%', 0.3],
      ];
      for (const [what, fraction] of jumps) {
        // Dragged: the scroll bar passes through a few places a frame apart on its way.
        await page.evaluate(async (share) => {
          const scroller = document.querySelector('.table-scroller');
          const from = scroller.scrollTop;
          const to = Math.round((scroller.scrollHeight - scroller.clientHeight) * share);
          for (const step of [0.7, 0.8, 0.9, 1]) {
            scroller.scrollTop = Math.round(from + (to - from) * step);
            await new Promise((resolve) => requestAnimationFrame(resolve));
          }
        }, fraction);
        const state = await settled(page);
        assert.equal(state.broken, 0, `${what}: no broken cover in view`);
      }
      await page.getByRole('button', { name: 'sort' }).click();
      const index = page.getByRole('navigation', { name: 'Index' });
      await index.waitFor();
      for (const letter of ['Z', 'C', 'M', 'W', 'F']) {
        // Every frame of the scroll, from the tap until it has come to rest, shows rows in the
        // whole view: the glide passes no place whose rows the page does not have.
        const frames = page.evaluate(`(async () => {
          const look = ${rowsInView};
          const frames = [];
          for (const began = performance.now(); performance.now() - began < 1500;) {
            await new Promise((resolve) => requestAnimationFrame(resolve));
            frames.push(look());
          }
          return frames;
        })()`);
        await index.getByRole('button', { name: letter, exact: true }).click();
        const gaps = (await frames).filter(
          (state) => !state || state.rows === 0 || state.holes > 0,
        );
        assert.deepEqual(gaps, [], `index title ${letter}: no frame of the scroll shows empty places`);
        await page.waitForFunction((wanted) => [...document.querySelectorAll('.row-cell')]
          .some((cell) => cell.getAttribute('aria-label')?.startsWith(wanted)), letter);
        const state = await settled(page);
        assert.equal(state.broken, 0, `index title ${letter}: no broken cover in view`);
      }
    } finally {
      assert.equal(await pagewyn.stop(), 0);
      library.remove();
    }
  });
});
