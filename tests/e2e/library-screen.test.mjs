// The library screen in the browser as a person sees it: rows, covers, the header bar, the sort
// button, the section index, at phone and desktop sizes; finding a book as one types; what an
// empty library says; a reload showing books copied in meanwhile.

import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';

import { dropFile, expectProblems, launchBrowser, openPagewyn, rowNames, waitForFirstRow } from './support/browser.mjs';
import { bookEntries, storedZip, writeBook } from './support/library.mjs';
import { eventually } from './support/eventually.mjs';
import { recordingOpener, withPagewyn } from './support/pagewyn.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const threeBooks = [
  { file: 'zola.epub', title: 'Zola', author: 'Zed', cover: { width: 40, height: 60, color: [200, 40, 40] }, modified: 1_700_000_300 },
  { file: 'austen.epub', title: 'austen', author: 'Ann', modified: 1_700_000_200 },
  { file: 'balzac.epub', title: 'Balzac', author: 'Bob', cover: { width: 30, height: 30, color: [40, 40, 200] }, unpacked: true, modified: 1_700_000_100 },
];

// The width in pixels of the picture the named row shows.
const pictureWidth = (page, name) => page.locator(`.row-cell[aria-label="${name}"] img`).evaluate(async (image) => {
  await image.decode();
  return image.naturalWidth;
});

describe('the library screen', () => {
  test('rows show title and author, most recently opened first, with the cover or the blank picture', { timeout: 90000 }, async () => {
    await withPagewyn(threeBooks, async (pagewyn) => {
      const page = await openPagewyn(browser, pagewyn);
      assert.equal(await page.getByRole('heading').textContent(), 'Recently Opened');
      assert.deepEqual(await rowNames(page), ['Zola, Zed', 'austen, Ann', 'Balzac, Bob']);
      assert.equal(await pictureWidth(page, 'Zola, Zed'), 40);
      assert.equal(await pictureWidth(page, 'Balzac, Bob'), 30);
      const blank = await pictureWidth(page, 'austen, Ann');
      assert.ok(blank > 0 && blank !== 40 && blank !== 30, `the blank picture stands in (${blank} pixels wide)`);
      const box = await page.locator('.row-cell[aria-label="Zola, Zed"] .view-ImageView').boundingBox();
      assert.deepEqual([box.width, box.height], [36, 36]);
      // The heading is drawn in the light face the host serves, not in a fallback.
      const heading = page.getByRole('heading');
      assert.equal(await heading.evaluate((item) => getComputedStyle(item).fontFamily.split(',')[0].replaceAll('"', '')), 'Avenir-Light');
      assert.ok(await page.evaluate(() => document.fonts.load('18px "Avenir-Light"').then((faces) => faces.length === 1)), 'the light face is served');
      assert.deepEqual(page.failures, []);
    });
  });

  test('the sort button cycles the header title and the order of the rows', { timeout: 90000 }, async () => {
    await withPagewyn(threeBooks, async (pagewyn) => {
      const page = await openPagewyn(browser, pagewyn);
      const steps = [
        ['Books by Title', ['Balzac, Bob', 'Zola, Zed', 'austen, Ann']],
        ['Books by Author', ['austen, Ann', 'Balzac, Bob', 'Zola, Zed']],
        ['Recently Opened', ['Zola, Zed', 'austen, Ann', 'Balzac, Bob']],
      ];
      for (const [title, rows] of steps) {
        await page.getByRole('button', { name: 'sort' }).click();
        await page.getByRole('heading', { name: title }).waitFor();
        await waitForFirstRow(page, rows[0]);
        assert.deepEqual(await rowNames(page), rows, title);
        // The rows show other books than before: each its own cover, none the one shown there
        // before.
        assert.deepEqual(
          [await pictureWidth(page, 'Zola, Zed'), await pictureWidth(page, 'Balzac, Bob')],
          [40, 30],
          title,
        );
      }
    });
  });

  test('the index shows only in the alphabetical orders, and a tap scrolls to the first match', { timeout: 90000 }, async () => {
    const letters = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ';
    const books = Array.from({ length: 52 }, (_, n) => ({
      file: `book${n}.epub`, title: `${letters[n % 26]} book ${n}`, author: `${letters[25 - (n % 26)]} writer`, modified: 1_700_000_000 + n,
    }));
    await withPagewyn(books, async (pagewyn) => {
      const page = await openPagewyn(browser, pagewyn, { height: 600 });
      const index = page.getByRole('navigation', { name: 'Index' });
      assert.equal(await index.isVisible(), false, 'no index in the recency order');

      // A steady scroll finds its rows drawn: once few spare rows remain below the view, a screen
      // more is asked for ahead of it.
      await page.locator('.table-scroller').evaluate((scroller) => { scroller.scrollTop = 6 * 56; });
      await page.waitForFunction(() => {
        const scroller = document.querySelector('.table-scroller');
        const bottom = scroller.getBoundingClientRect().bottom;
        const rows = [...document.querySelectorAll('.table-rows .row')];
        const position = (row) => Number(row.getAttribute('aria-posinset'));
        const shownLast = Math.max(
          ...rows.filter((row) => row.getBoundingClientRect().top < bottom).map(position),
        );
        return Math.max(...rows.map(position)) - shownLast >= 9;
      });
      await page.locator('.table-scroller').evaluate((scroller) => { scroller.scrollTop = 0; });

      await page.getByRole('button', { name: 'sort' }).click();
      await page.getByRole('heading', { name: 'Books by Title' }).waitFor();
      await index.waitFor();
      assert.deepEqual(await index.getByRole('button').allTextContents(), [...letters]);
      await index.getByRole('button', { name: 'T', exact: true }).click();
      const target = page.locator('.row-cell[aria-label="T book 19, G writer"]');
      await target.waitFor();
      await page.waitForFunction(() => {
        const row = document.querySelector('.row-cell[aria-label="T book 19, G writer"]');
        // Under the pinned header (50) and the search field's band (44).
        return row && Math.abs(row.getBoundingClientRect().top - 94) < 1;
      });

      // A letter typed on a row jumps there, and the keyboard goes along to the row shown first.
      await page.locator('.row-cell').first().focus();
      for (const [letter, first] of [['c', 'C book 2, X writer'], ['T', 'T book 19, G writer']]) {
        await page.keyboard.press(letter);
        await page.waitForFunction((name) => document.activeElement?.getAttribute('aria-label') === name, first);
      }

      await page.getByRole('button', { name: 'sort' }).click();
      await page.getByRole('heading', { name: 'Books by Author' }).waitFor();
      assert.deepEqual(await index.getByRole('button').allTextContents(), [...letters]);
      await page.getByRole('button', { name: 'sort' }).click();
      await page.getByRole('heading', { name: 'Recently Opened' }).waitFor();
      await index.waitFor({ state: 'hidden' });

      // On a desktop the index stands beside the scroll bar: a mouse drags the bar where the index
      // runs along it, and clicks the index.
      const desktopBrowser = await launchBrowser({ scrollBars: true });
      try {
        const desktop = await openPagewyn(desktopBrowser, pagewyn, { width: 1280, height: 800 });
        await desktop.getByRole('button', { name: 'sort' }).click();
        await desktop.getByRole('heading', { name: 'Books by Title' }).waitFor();
        const desktopIndex = desktop.getByRole('navigation', { name: 'Index' });
        await desktopIndex.waitFor();
        const indexBox = await desktopIndex.boundingBox();
        const bar = await desktop.locator('.table-scroller').evaluate((scroller) => {
          const box = scroller.getBoundingClientRect();
          const width = scroller.offsetWidth - scroller.clientWidth;
          const thumb = (scroller.clientHeight ** 2) / scroller.scrollHeight;
          return { x: box.right - width / 2, width, thumb };
        });
        assert.ok(bar.width > 0, 'a desktop draws the scroll bar beside the rows');
        assert.ok(indexBox.x + indexBox.width <= bar.x - bar.width / 2, 'the index ends where the scroll bar begins');
        const grab = indexBox.y + 10;
        assert.ok(grab < bar.thumb, 'the thumb runs beside the index');
        const hit = (point) => document.elementFromPoint(point.x, point.y)?.matches('.table-scroller');
        assert.ok(await desktop.evaluate(hit, { x: bar.x, y: grab }), 'nothing lies over the scroll bar');
        await desktop.mouse.move(bar.x, grab);
        await desktop.mouse.down();
        await desktop.mouse.move(bar.x, grab + 200, { steps: 5 });
        await desktop.mouse.up();
        await desktop.waitForFunction(() => document.querySelector('.table-scroller').scrollTop > 400);
        await desktopIndex.getByRole('button', { name: 'C', exact: true }).click();
        await desktop.waitForFunction(() => {
          const row = document.querySelector('.row-cell[aria-label="C book 2, X writer"]');
          return row && Math.abs(row.getBoundingClientRect().top - 94) < 1;
        });
        assert.deepEqual(desktop.failures, []);
      } finally {
        await desktopBrowser.close();
      }
    });
  });

  test('a scroll jumping steadily past the rows drawn finds its next rows asked for ahead', { timeout: 90000 }, async () => {
    const count = 600;
    const books = Array.from({ length: count }, (_, n) => ({
      file: `b${String(n).padStart(4, '0')}.epub`, title: `Book ${n}`, author: 'Writer', modified: 1_700_000_000 + n,
    }));
    await withPagewyn(books, async (pagewyn) => {
      // The redraws the host tells the page, counted as its change stream reads them: a redraw
      // makes rows asked for ahead before it out of date (the cover reader, on a busy machine,
      // tells one after letting requests go), and the page rightly asks anew for the rows it lands
      // on.
      const context = await browser.newContext({ viewport: { width: 390, height: 600 } });
      await context.addInitScript(() => {
        window.redrawsTold = 0;
        const fetched = window.fetch;
        window.fetch = async (...request) => {
          const response = await fetched(...request);
          if (!String(request[0]).startsWith('/events') || !response.body) return response;
          const [counted, read] = response.body.tee();
          (async () => {
            const reader = counted.pipeThrough(new TextDecoderStream()).getReader();
            for (let piece = await reader.read(); !piece.done; piece = await reader.read())
              window.redrawsTold += piece.value.split('event: redraw').length - 1;
          })().catch(() => {});
          return new Response(read, response);
        };
      });
      const page = await openPagewyn(browser, pagewyn, { context });
      const redrawsTold = () => page.evaluate(() => window.redrawsTold);
      await waitForFirstRow(page, `Book ${count - 1}, Writer`);
      // The rows each request for the state asks for.
      const asked = [];
      page.on('request', (request) => {
        const address = new URL(request.url());
        if (address.pathname === '/state')
          asked.push({
            request,
            first: Number(address.searchParams.get('first')),
            count: Number(address.searchParams.get('count')),
          });
      });
      const answered = new Set();
      page.on('requestfinished', (request) => answered.add(request));
      const covering = (requests, row) =>
        requests.filter((request) => request.first <= row && row < request.first + request.count);
      const jump = 80;
      let redrawsBeforeAhead = await redrawsTold();
      for (let step = 1; step <= 6; step++) {
        const before = asked.length;
        const redrawsBeforeJump = await redrawsTold();
        const row = step * jump;
        await page.locator('.table-scroller').evaluate((scroller, top) => {
          scroller.scrollTop = top;
        }, row * 56);
        // The most recently opened first: the row shows the book opened that many books before.
        await page
          .locator(
            `.row[aria-posinset="${row + 1}"] .row-cell[aria-label="Book ${count - 1 - row}, Writer"]`,
          )
          .waitFor();
        if (step === 1) continue;
        // The look ahead is asked for in the same check of the view as any request for the jump's
        // own rows, after it: once it is seen, so is that request.
        // Answered, as a slow machine may take a while to: the next jump lands on rows the page
        // has.
        await eventually(
          () =>
            covering(asked.slice(before), row + jump).some(({ request }) => answered.has(request)),
          `the look ahead of jump ${step}`,
        );
        const since = asked.slice(before);
        // From the third jump on, its rows were asked for during the jump before, and are drawn
        // from that answer unless a redraw came after it was asked.
        const redrawn = (await redrawsTold()) > redrawsBeforeAhead;
        redrawsBeforeAhead = redrawsBeforeJump;
        if (step >= 3 && !redrawn)
          assert.deepEqual(covering(since, row), [], `jump ${step} waited for its own rows`);
        assert.equal(covering(since, row + jump).length, 1, `jump ${step} looked ahead once`);
      }
      // Back up: the rows drawn are those of the place, whatever was asked for ahead.
      await page.locator('.table-scroller').evaluate((scroller) => {
        scroller.scrollTop = 100 * 56;
      });
      await page
        .locator(`.row[aria-posinset="101"] .row-cell[aria-label="Book ${count - 101}, Writer"]`)
        .waitFor();
      assert.deepEqual(page.failures, []);
      await context.close();
    });
  });

  test('the header buttons stand at their frames on a phone and on a desktop', { timeout: 90000 }, async () => {
    await withPagewyn(threeBooks, async (pagewyn) => {
      for (const [width, height] of [[390, 844], [1280, 800]]) {
        const page = await openPagewyn(browser, pagewyn, { width, height });
        const tableWidth = await page.locator('.table-scroller').evaluate((scroller) => scroller.clientWidth);
        const expected = { info: 24, open: 72, sort: tableWidth - 96, settings: tableWidth - 48 };
        await page.waitForFunction(([name, x]) => {
          const button = document.querySelector(`button[aria-label="${name}"]`);
          return button && Math.abs(button.getBoundingClientRect().left - x) < 0.5;
        }, ['settings', expected.settings]);
        for (const [name, x] of Object.entries(expected)) {
          const box = await page.getByRole('button', { name, exact: true }).boundingBox();
          assert.deepEqual([box.x, box.y, box.width, box.height], [x, 14, 24, 24], `${name} at ${width} points`);
        }
        const headerBox = await page.locator('.section-header').boundingBox();
        assert.equal(headerBox.height, 50);
        await page.close();
      }
    });
  });

  test('typing in "Search books" narrows the rows; a found book opens; Escape shows the whole list', { timeout: 90000 }, async () => {
    const books = [
      { file: 'hugo.epub', title: 'Les Misérables', author: 'Victor Hugo', modified: 1_700_000_300 },
      { file: 'mann.epub', title: 'Der Zauberberg', author: 'Thomas Mann', modified: 1_700_000_200 },
      { file: 'verne.epub', title: 'Vingt mille lieues', author: 'Jules Verne', modified: 1_700_000_100 },
    ];
    await withPagewyn(books, async (pagewyn) => {
      const page = await openPagewyn(browser, pagewyn);
      const search = page.getByRole('searchbox', { name: 'Search books' });
      await page.keyboard.press('/');
      await page.waitForFunction(() => document.activeElement?.getAttribute('aria-label') === 'Search books');
      await search.pressSequentially('MISERA');
      await page.waitForFunction(() => document.querySelectorAll('.row').length === 1);
      assert.deepEqual(await rowNames(page), ['Les Misérables, Victor Hugo']);
      await page.locator('.row-cell[aria-label="Les Misérables, Victor Hugo"]').click();
      // Taken though the last keystrokes' answers may still be on their way: the row still shows
      // the book the user tapped.
      await page.locator('.reader-title').filter({ hasText: 'Les Misérables' }).waitFor({ timeout: 20000 });
      await page.getByRole('button', { name: 'close' }).click();
      await page.locator('.reader').waitFor({ state: 'detached' });
      await search.fill('nothing like it');
      await page.getByText('No books match').waitFor();
      await search.press('Escape');
      await page.waitForFunction(() => document.querySelectorAll('.row').length === 3);
      assert.deepEqual(await rowNames(page), ['Les Misérables, Victor Hugo', 'Der Zauberberg, Thomas Mann', 'Vingt mille lieues, Jules Verne']);
      assert.equal(await search.inputValue(), '');
      const headerBox = await page.getByRole('button', { name: 'sort' }).boundingBox();
      assert.deepEqual([headerBox.y, headerBox.width], [14, 24], 'the header bar is where it was');
      assert.deepEqual(page.failures, []);
    });
  });

  test('a book copied into the folder shows after a reload', { timeout: 90000 }, async () => {
    await withPagewyn(threeBooks, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      writeBook(library.folder, { file: 'camus.epub', title: 'Camus', author: 'Cal', modified: 1_800_000_000 });
      await page.reload();
      await page.locator('.row-cell[aria-label="Camus, Cal"]').waitFor();
      assert.deepEqual((await rowNames(page))[0], 'Camus, Cal');
    });
  });

  test('an answer lost on the way is said, and the page looks again until the host answers', { timeout: 90000 }, async () => {
    await withPagewyn(threeBooks, async (pagewyn, library) => {
      const page = await openPagewyn(browser, pagewyn);
      expectProblems({ console: /net::ERR_CONNECTION_RESET/ });
      // The next two requests get no answer at all, as from a connection that broke.
      let lost = 0;
      await page.route(/\/(event|state)(\?|$)/, (route) => (lost++ < 2 ? route.abort('connectionreset') : route.continue()));
      writeBook(library.folder, { file: 'camus.epub', title: 'Camus', author: 'Cal', modified: 1_800_000_000 });
      await page.getByRole('button', { name: 'sort' }).click();
      const notice = page.locator('#notice');
      await notice.getByText('Pagewyn is not running').waitFor();
      // Looked at again, less often each time, until an answer comes: then the page is live.
      await notice.waitFor({ state: 'hidden' });
      assert.ok(lost >= 3);
      await page.getByRole('button', { name: 'sort' }).click();
      await eventually(async () => (await page.locator('.section-header').first().textContent()).length > 0, 'a header');
      assert.deepEqual(page.failures, []);
    });
  });

  test('an empty library says how to add a book, opens its folder or says why not, and gives way to the first book', { timeout: 90000 }, async () => {
    const opener = recordingOpener();
    try {
      await withPagewyn([], async (pagewyn, library) => {
        const page = await openPagewyn(browser, pagewyn);
        await page.getByText('Your library has no books yet.').waitFor();
        await page.getByText(library.folder).waitFor();
        const button = page.getByRole('button', { name: 'Open the library folder' });
        // It looks like something to press: filled, unlike the lines of text around it.
        const fill = await button.evaluate((element) => getComputedStyle(element).backgroundColor);
        assert.notEqual(fill, 'rgba(0, 0, 0, 0)');
        // An opener that fails is told on the page, with what it said.
        expectProblems({ status: 502, url: /\/settings-page\/open-folder$/ });
        opener.fail(true);
        await button.click();
        const failure = /^Could not open the library folder: .*no file manager here/;
        await page.locator('.notice').filter({ hasText: failure }).waitFor();
        opener.fail(false);
        // By mouse: nothing of the (empty) list lies over the button.
        await button.click();
        assert.equal(await opener.opened(), library.folder);

        await dropFile(page, 'First.epub', storedZip(bookEntries({ title: 'First', author: 'Fay' })));
        await page.locator('.reader-title').filter({ hasText: 'First' }).waitFor({ timeout: 20000 });
        await page.getByRole('button', { name: 'close' }).click();
        await page.locator('.row-cell[aria-label="First, Fay"]').waitFor();
        await page.getByText('Your library has no books yet.').waitFor({ state: 'detached' });
        assert.deepEqual(page.failures, []);
      }, opener.environment);
    } finally {
      opener.remove();
    }
  });
});
