// The host as a whole: the token, several tabs on one library, a long first scan, a clean end.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { createServer } from 'node:http';
import { existsSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';

import { expectProblems, launchBrowser, openPagewyn, rowNames, waitForRows } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { makeLibrary } from './support/library.mjs';
import { pagewynBinary, startPagewyn, withPagewyn } from './support/pagewyn.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const books = [
  { file: 'c.epub', title: 'Gamma', author: 'Cy', modified: 1_700_000_300 },
  { file: 'b.epub', title: 'Beta', author: 'Bob', modified: 1_700_000_200 },
  { file: 'a.epub', title: 'Alpha', author: 'Ann', modified: 1_700_000_100 },
];

describe('the host', () => {
  test('without the token in its header every request is forbidden and changes nothing', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn) => {
      // Every route of the library refuses a request without the token (HostSecurity covers each);
      // the renderer's files are open, but the page they make can show nothing of the library.
      assert.equal((await fetch(`${pagewyn.origin}/state?token=${pagewyn.token}`)).status, 403);
      expectProblems({ status: 403, url: /\/(state|events)/ });
      // The page says in plain words why, for a browser that never had the key and for a tab that
      // kept the key of an earlier start.
      const cases = [
        { address: '/', title: 'This browser is not paired yet',
          step: /open the address it printed when it started/ },
        { address: '/?token=0123', title: 'Pagewyn was started again',
          step: /printed when it started this time/ },
      ];
      for (const { address, title, step } of cases) {
        const stranger = await browser.newPage();
        const answer = await stranger.goto(pagewyn.origin + address);
        assert.equal(answer.status(), 200);
        await stranger.getByRole('heading', { name: title }).waitFor();
        await stranger.getByText(step).waitFor();
        assert.equal(await stranger.locator('.row-cell').count(), 0);
        await stranger.close();
      }

      const page = await openPagewyn(browser, pagewyn);
      assert.deepEqual(await rowNames(page), ['Gamma, Cy', 'Beta, Bob', 'Alpha, Ann']);
      assert.equal(new URL(page.url()).search, '', 'the token leaves the address bar');
      // Pictures come by their own keys: the header's icons are drawn.
      await page.waitForFunction(() =>
        [...document.images].some((image) => image.naturalWidth > 0),
      );
      await page.reload();
      await page.locator('.row-cell').nth(2).waitFor();
      assert.deepEqual(await rowNames(page), ['Gamma, Cy', 'Beta, Bob', 'Alpha, Ann'], 'a reload of the tab keeps the key');
    });
  });

  test('another server on this machine that the page leads to learns nothing of the token', { timeout: 90000 }, async () => {
    const library = makeLibrary(books);
    const pagewyn = await startPagewyn(library.folder);
    const heard = [];
    // The other server answers its picture with a page: that picture is broken, on purpose.
    expectProblems({ console: /^broken picture: http:\/\/127\.0\.0\.1:\d+\/picture\.png$/ });
    const elsewhere = createServer((request, response) => {
      heard.push({ url: request.url, headers: request.headers });
      response.writeHead(200, { 'Content-Type': 'text/html' });
      response.end(`<img src="/picture.png">`);
    });
    await new Promise((resolve) => elsewhere.listen(0, '127.0.0.1', resolve));
    try {
      const page = await openPagewyn(browser, pagewyn);
      await rowNames(page);
      const other = `http://127.0.0.1:${elsewhere.address().port}`;
      await page.evaluate((address) => { window.location.href = `${address}/landing`; }, other);
      await page.waitForURL(`${other}/landing`);
      await eventually(() => heard.length >= 2, 'the other server heard the page and its picture');
      // Closed before the other server is: its page would otherwise meet a reset connection.
      await page.context().close();
      for (const { url, headers } of heard) {
        const seen = url + JSON.stringify(headers);
        assert.ok(!seen.includes(pagewyn.token), `${url} carries the token`);
        assert.equal(headers.cookie, undefined, `${url} carries a cookie`);
        assert.ok(!(headers.referer ?? '').startsWith(pagewyn.origin), `${url} says it came from Pagewyn`);
      }
    } finally {
      elsewhere.close();
      assert.equal(await pagewyn.stop(), 0);
      library.remove();
    }
  });

  test('each browser has a screen of its own over the one library', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn) => {
      const laptopContext = await browser.newContext({ viewport: { width: 1280, height: 800 } });
      const phoneContext = await browser.newContext({
        viewport: { width: 390, height: 844 },
        hasTouch: true,
        isMobile: true,
      });
      const laptop = await openPagewyn(browser, pagewyn, { context: laptopContext });
      const phone = await openPagewyn(browser, pagewyn, { context: phoneContext });

      // What is typed or opened in one browser stays there.
      await laptop.getByRole('searchbox', { name: 'Search books' }).fill('gam');
      await waitForRows(laptop, ['Gamma, Cy']);
      await phone.locator('.row-cell[aria-label="Alpha, Ann"]').tap();
      await phone.locator('.reader').waitFor();
      // The book opened on the phone moved to the top of the one list.
      await laptop.getByRole('searchbox', { name: 'Search books' }).fill('');
      await waitForRows(laptop, ['Alpha, Ann', 'Gamma, Cy', 'Beta, Bob'], { anyProgress: true });
      assert.equal(await laptop.locator('.reader').count(), 0, 'the laptop shows no book');

      // A reload keeps the tab's screen; a new tab starts at the library with an empty search.
      await phone.reload();
      await phone.locator('.reader').waitFor();
      const tab = await phoneContext.newPage();
      await tab.goto(pagewyn.address);
      await waitForRows(tab, ['Alpha, Ann', 'Gamma, Cy', 'Beta, Bob'], { anyProgress: true });
      assert.equal(await tab.locator('.reader').count(), 0);

      // A sort and a delete made in one browser reach the others.
      await laptop.getByRole('button', { name: 'sort' }).click();
      await tab.getByRole('heading', { name: 'Books by Title' }).waitFor();
      await waitForRows(tab, ['Alpha, Ann', 'Beta, Bob', 'Gamma, Cy'], { anyProgress: true });
      await tab.locator('.row-cell[aria-label="Beta, Bob"]').focus();
      await tab.keyboard.press('Delete');
      await tab.keyboard.press('Enter');
      await waitForRows(laptop, ['Alpha, Ann', 'Gamma, Cy'], { anyProgress: true });

      // The book the phone reads, deleted on the laptop, closes there with a notice.
      await laptop.locator('.row-cell[aria-label^="Alpha, Ann"]').focus();
      await laptop.keyboard.press('Delete');
      await laptop.keyboard.press('Enter');
      await phone.getByRole('alertdialog', { name: 'Book deleted' }).waitFor();
      assert.equal(await phone.locator('.reader').count(), 0);
      for (const page of [laptop, phone]) assert.deepEqual(page.failures, []);
      await laptopContext.close();
      await phoneContext.close();
    });
  });

  test('a second Pagewyn on the same port ends with a reason and the first answers every request', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn) => {
      const other = makeLibrary([{ file: 'o.epub', title: 'Omega', author: 'Oz' }]);
      try {
        const port = new URL(pagewyn.origin).port;
        const second = spawn(pagewynBinary(), ['--documents', other.folder, '--no-browser', '--listen', `127.0.0.1:${port}`], {
          stdio: ['ignore', 'pipe', 'pipe'],
          env: { ...process.env, XDG_DATA_HOME: join(other.folder, '.xdg') },
        });
        let output = '';
        let errors = '';
        second.stdout.on('data', (chunk) => { output += chunk; });
        second.stderr.on('data', (chunk) => { errors += chunk; });
        const code = await new Promise((done) => second.on('close', (exitCode, signal) => done(exitCode ?? signal)));
        assert.equal(code, 1, errors);
        assert.match(errors, new RegExp(`^pagewyn: cannot listen on 127\\.0\\.0\\.1 port ${port}: it is in use$`, 'm'));
        assert.equal(output, '', 'it printed no address');
        const statuses = [];
        for (let request = 0; request < 10; request++) {
          statuses.push((await fetch(`${pagewyn.origin}/state`, { headers: { 'X-Pagewyn-Token': pagewyn.token } })).status);
        }
        assert.deepEqual(statuses, Array(10).fill(200));
      } finally {
        other.remove();
      }
    });
  });

  test('a long first scan shows how far it has come, then the library', { timeout: 90000 }, async () => {
    // How far a real scan has come when the page first looks depends on the machine, so the host's
    // answers are held at a scan that has run for a second, until the test lets the real ones
    // through.
    await withPagewyn(books, async (pagewyn) => {
      const page = await browser.newPage({ viewport: { width: 390, height: 700 } });
      // The held answers keep the words the host sends, which the progress is written with.
      let held = { read: 4321, found: 12000, elapsed: 1000 };
      // The held answers name version 0, so the page's appearance names a version the host has
      // passed, and is refused with the current state.
      expectProblems({ status: 409, url: /\/event$/ });
      await page.route(
        (url) => url.pathname === '/state',
        async (route) => {
          if (!held) return route.continue();
          const { words } = await (await route.fetch()).json();
          return route.fulfill({ json: { version: 0, words, starting: held } });
        },
      );
      await page.goto(pagewyn.address);
      const progress = page
        .getByRole('status')
        .filter({ hasText: 'Reading the library: 4,321 of 12,000 books' });
      await progress.waitFor();
      assert.equal(
        await page.getByRole('progressbar', { name: 'Books read' }).getAttribute('value'),
        '4321',
      );
      held = null;
      await page.getByRole('heading', { name: 'Recently Opened' }).waitFor();
      await progress.waitFor({ state: 'hidden' });
      assert.deepEqual(await rowNames(page), ['Gamma, Cy', 'Beta, Bob', 'Alpha, Ann']);
      await page.close();
    });
  });

  test('a quick start shows no progress', { timeout: 90000 }, async () => {
    await withPagewyn(books, async (pagewyn) => {
      const page = await browser.newPage({ viewport: { width: 390, height: 700 } });
      let answers = 0;
      await page.route((url) => url.pathname === '/state', (route) => (answers++ < 3
        ? route.fulfill({ json: { version: 0, starting: { read: 1, found: 3, elapsed: 100 } } })
        : route.continue()));
      await page.goto(pagewyn.address);
      await page.getByRole('heading', { name: 'Recently Opened' }).waitFor();
      assert.ok(answers > 3);
      assert.equal(await page.getByRole('status').filter({ hasText: 'Reading the library' }).count(), 0);
      await page.close();
    });
  });

  test('a library of 12,000 books opens with the latest first', { timeout: 120000 }, async () => {
    const count = 12000;
    const many = Array.from({ length: count }, (_, n) => ({ file: `b${String(n).padStart(5, '0')}.epub`, title: `Title ${n}`, author: 'Author', modified: 1_600_000_000 + n }));
    await withPagewyn(many, async (pagewyn) => {
      const page = await browser.newPage({ viewport: { width: 390, height: 700 } });
      await page.goto(pagewyn.address);
      await page.getByRole('heading', { name: 'Recently Opened' }).waitFor({ timeout: 60000 });
      assert.equal((await rowNames(page))[0], `Title ${count - 1}, Author`);
      assert.ok((await page.locator('.row').count()) < 60, 'only the rows in view are in the page');
      await page.close();
    });
  });

  test('SIGTERM during a long first scan ends the program cleanly', { timeout: 120000 }, async () => {
    const count = 12000;
    const many = Array.from({ length: count }, (_, n) => ({ file: `b${String(n).padStart(5, '0')}.epub`, title: `Title ${n}`, author: 'Author' }));
    const library = makeLibrary(many);
    const runtime = mkdtempSync(join(tmpdir(), 'pagewyn-run-'));
    try {
      const pagewyn = await startPagewyn(library.folder, [], { XDG_RUNTIME_DIR: runtime });
      const instanceFiles = () => (existsSync(join(runtime, 'pagewyn')) ? readdirSync(join(runtime, 'pagewyn')) : []);
      // The file is written just after the address is printed.
      for (let waited = 0; instanceFiles().length === 0 && waited < 100; waited++)
        await new Promise((done) => setTimeout(done, 50));
      assert.equal(instanceFiles().length, 1, 'the instance file is there while it runs');
      // stop() sends SIGTERM and allows ten seconds, far more than a stop at the next book takes
      // and far less than the rest of the scan.
      assert.equal(await pagewyn.stop(), 0, pagewyn.errors());
      assert.deepEqual(instanceFiles(), []);
    } finally {
      library.remove();
      rmSync(runtime, { recursive: true, force: true });
    }
  });
});
