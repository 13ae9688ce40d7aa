// Deleting a book from the browser: swipe left (mouse or touch) or the button a mouse finds on the
// row, and confirm, or the keyboard's Delete and Enter. The row goes and so does the book's item,
// and a notice says so; a removal that fails leaves both.

import assert from 'node:assert/strict';
import { existsSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, openPagewyn, rowNames, waitForRows } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { withPagewyn } from './support/pagewyn.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const books = [
  { file: 'gamma.epub', title: 'Gamma', author: 'Cy', modified: 1_700_000_300 },
  { file: 'beta.epub', title: 'Beta', author: 'Bob', unpacked: true, modified: 1_700_000_200 },
  { file: 'alpha.epub', title: 'Alpha', author: 'Ann', modified: 1_700_000_100 },
];

async function swipeLeft(page, name) {
  const box = await page.locator(`.row-cell[aria-label="${name}"]`).boundingBox();
  const y = box.y + box.height / 2;
  await page.mouse.move(box.x + box.width - 40, y);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width - 160, y, { steps: 8 });
  await page.mouse.up();
}

// Under a mouse, the row shows a button that opens its Delete button as a swipe does.
async function revealByMouse(page, name) {
  await page.locator(`.row-cell[aria-label="${name}"]`).hover();
  await page.locator(`.row-cell[aria-label="${name}"] .row-reveal`).click();
}

describe('deleting a book', () => {
  for (const [way, reveal] of [['a swipe to the left', swipeLeft], ['the button a mouse over the row finds', revealByMouse]]) {
    test(`${way} shows Delete; confirming removes the row and the item on disk, and a notice names the book`, { timeout: 90000 }, async () => {
      await withPagewyn(books, async (pagewyn, library) => {
        const page = await openPagewyn(browser, pagewyn);
        await reveal(page, 'Beta, Bob');
        const confirm = page.getByRole('button', { name: 'Delete Beta, Bob' });
        await confirm.waitFor({ state: 'visible' });
        assert.ok(existsSync(join(library.folder, 'beta.epub')), 'showing Delete alone deletes nothing');
        await confirm.click();
        await waitForRows(page, ['Gamma, Cy', 'Alpha, Ann']);
        await page.locator('.notice').filter({ hasText: '“Beta, Bob” was deleted.' }).waitFor();
        assert.equal(existsSync(join(library.folder, 'beta.epub')), false);
        assert.ok(existsSync(join(library.folder, 'gamma.epub')) && existsSync(join(library.folder, 'alpha.epub')));
        assert.deepEqual(page.failures, []);
      });
    });
  }

  test('a swipe that is taken back deletes nothing', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      await swipeLeft(page, 'Gamma, Cy');
      await page.getByRole('button', { name: 'Delete Gamma, Cy' }).waitFor({ state: 'visible' });
      // A tap on the row (where it shows, moved aside) closes the delete button again.
      await page.locator('.row-cell[aria-label="Gamma, Cy"]').click({ position: { x: 200, y: 20 } });
      await page.getByRole('button', { name: 'Delete Gamma, Cy' }).waitFor({ state: 'hidden' });
      assert.deepEqual(await rowNames(page), ['Gamma, Cy', 'Beta, Bob', 'Alpha, Ann']);
      assert.ok(existsSync(join(library.folder, 'gamma.epub')));
    });
  });

  test('from the keyboard: arrows move, Delete asks, Escape takes it back, Enter confirms', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      await page.locator('.row-cell').first().waitFor();
      await page.locator('.row-cell[aria-label="Gamma, Cy"]').focus();
      await page.keyboard.press('ArrowDown');
      await page.keyboard.press('ArrowDown');
      assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Alpha, Ann');
      await page.keyboard.press('Delete');
      assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Delete Alpha, Ann');
      await page.keyboard.press('Escape');
      assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Alpha, Ann');
      await page.keyboard.press('ArrowUp');
      await page.keyboard.press('Delete');
      await page.keyboard.press('Enter');
      await waitForRows(page, ['Gamma, Cy', 'Alpha, Ann']);
      assert.equal(existsSync(join(library.folder, 'beta.epub')), false);
      assert.ok(existsSync(join(library.folder, 'alpha.epub')));
    });
  });

  test('when the item cannot be removed the row stays and the console says why', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      rmSync(join(library.folder, 'alpha.epub'));
      await swipeLeft(page, 'Alpha, Ann');
      await page.getByRole('button', { name: 'Delete Alpha, Ann' }).click();
      await page.waitForFunction(() => !document.querySelector('.row.open'));
      assert.deepEqual(await rowNames(page), ['Gamma, Cy', 'Beta, Bob', 'Alpha, Ann']);
      // The console line reaches this process through a pipe, maybe after the page has drawn.
      await eventually(() => /^Can't delete: .+$/m.test(pagewyn.output()), 'the console says why it cannot delete');
    });
  });
});
