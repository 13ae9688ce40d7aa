// Debian's Chromium, headless, driven by playwright-core. Every page of a browser launched here
// is watched: an answer of status 400 or more, a console error (an uncaught exception too) and a
// picture that could not be shown (the broken-picture icon, whatever the answer's status) are what
// a user would see as broken, so under the test runner a test fails on any that it did not
// declare with expectProblems.

import { chromium } from 'playwright-core';

export const chromiumPath = process.env.CHROMIUM_PATH ?? '/usr/bin/chromium';

// What went wrong in the pages since the running test began, and what that test expects to.
const problems = [];
let expected = [];

// Declares what the running test provokes on purpose: { status, url } for an answer (a regular
// expression for the address; its "Failed to load resource" console line is expected with it),
// or { console } for a console error's text. Each is expected for the rest of the test.
export function expectProblems(...kinds) {
  expected.push(...kinds);
}

// A picture refused by its answer's status is broken because of that answer: declaring the answer
// declares the broken picture too.
const brokenPicture = 'broken picture: ';
const isExpected = (problem) => expected.some((kind) => (problem.status !== undefined
  ? kind.status === problem.status && kind.url?.test(problem.url)
  : (kind.console?.test(problem.text)
    || (kind.status !== undefined && (problem.text.includes(`status of ${kind.status}`) || problem.text.startsWith(brokenPicture))
      && kind.url?.test(problem.url)))));

// The origins of the programs the tests have stopped: a page left open then keeps asking, and is
// answered "stopped" (503), has the answers being sent cut (its change stream, a state half
// written), and then is not answered at all. That is the test's doing, not the page's, even when
// the page tells of it after its test ended.
const stoppedOrigins = new Set();
export function programStopping(origin) {
  stoppedOrigins.add(origin);
}
const cutByStop = (text, url) => /net::ERR_(INCOMPLETE_CHUNKED_ENCODING|CONTENT_LENGTH_MISMATCH|EMPTY_RESPONSE|CONNECTION_RESET|CONNECTION_CLOSED)/.test(text)
  && [...stoppedOrigins].some((origin) => url.startsWith(`${origin}/`) || text.includes(`${origin}/`));

// Run in every page and frame before its own scripts: a picture that fails to load or decode says
// so on the console, where the watch below hears it.
function reportBrokenPictures(prefix) {
  window.addEventListener('error', (event) => {
    if (event.target instanceof HTMLImageElement)
      console.error(prefix + (event.target.currentSrc || event.target.src));
  }, true);
}

function watch(page) {
  if (page.watched) return;
  page.watched = true;
  page.addInitScript(reportBrokenPictures, brokenPicture);
  page.on('response', (response) => {
    if (response.status() >= 400 && response.status() !== 503)
      problems.push({
        status: response.status(),
        url: response.url(),
        method: response.request().method(),
      });
  });
  page.on('console', (message) => {
    const text = message.text();
    const url = message.location()?.url ?? '';
    if (message.type() !== 'error' || cutByStop(text, url) || text.includes('net::ERR_CONNECTION_REFUSED') || text.includes('status of 503'))
      return;
    // A broken picture is told by its own address; one from a program the test stopped is the
    // test's doing.
    const picture = text.startsWith(brokenPicture) ? text.slice(brokenPicture.length) : null;
    if (picture && [...stoppedOrigins].some((origin) => picture.startsWith(`${origin}/`))) return;
    problems.push({ text, url: picture ?? url });
  });
  page.on('pageerror', (error) => problems.push({ text: `uncaught: ${error.message}`, url: page.url() }));
}

function watchContext(context) {
  context.on('page', watch);
  for (const page of context.pages()) watch(page);
  return context;
}

// The problems the running test met and did not declare, as lines; the list starts afresh.
export function unexpectedProblems() {
  const lines = problems.filter((problem) => !isExpected(problem))
    .map((problem) => (problem.status !== undefined ? `${problem.status} ${problem.method} ${problem.url}` : `console: ${problem.text} ${problem.url}`));
  problems.length = 0;
  expected = [];
  return lines;
}

if (process.env.NODE_TEST_CONTEXT) {
  const { afterEach } = await import('node:test');
  afterEach(() => {
    const lines = unexpectedProblems();
    if (lines.length > 0) throw new Error(`the pages met what a user would see as broken:\n${lines.join('\n')}`);
  });
}

// scrollBars: draw the scroll bars and let a mouse use them, as a desktop's browser does (a
// headless one hides them).
export async function launchBrowser({ scrollBars = false } = {}) {
  const browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    ignoreDefaultArgs: scrollBars ? ['--hide-scrollbars'] : [],
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  const newContext = browser.newContext.bind(browser);
  browser.newContext = async (...options) => watchContext(await newContext(...options));
  const newPage = browser.newPage.bind(browser);
  browser.newPage = async (...options) => {
    const page = await newPage(...options);
    watch(page);
    return page;
  };
  return browser;
}

// A page of Pagewyn at that size, opened at the printed address.
export async function openPagewyn(
  browser,
  pagewyn,
  { width = 390, height = 844, context = null } = {},
) {
  const owner = context ?? (await browser.newContext({ viewport: { width, height } }));
  const page = await owner.newPage();
  page.setDefaultTimeout(10000);
  const failures = [];
  page.on('pageerror', (error) => failures.push(error.message));
  page.failures = failures;
  await page.goto(pagewyn.address);
  await page.getByRole('heading').waitFor();
  return page;
}

// The accessible names of the rows shown, top to bottom.
export async function rowNames(page) {
  return page.locator('.row').evaluateAll((rows) => rows
    .map((row) => ({ top: parseFloat(row.style.top), name: row.querySelector('.row-cell').getAttribute('aria-label') }))
    .sort((a, b) => a.top - b.top)
    .map((row) => row.name));
}

// Waits until the rows shown, top to bottom and leaving out rows fading away, are the names (or,
// with first, begin with them).
// anyProgress: a book read meanwhile may say how far (", 12% read", ", finished") or not yet.
export async function waitForRows(
  page,
  names,
  { first = false, timeout, anyProgress = false } = {},
) {
  await page.waitForFunction(
    ([expected, prefix, progress]) => {
      const shown = [...document.querySelectorAll('.row:not(.fading)')]
        .sort((a, b) => parseFloat(a.style.top) - parseFloat(b.style.top))
        .map((row) => row.querySelector('.row-cell')?.getAttribute('aria-label'))
        .map((name) => (progress ? name?.replace(/, (\d+% read|finished)$/, '') : name));
      return (
        JSON.stringify(prefix ? shown.slice(0, expected.length) : shown) ===
        JSON.stringify(expected)
      );
    },
    [names, first, anyProgress],
    { timeout },
  );
}

export const waitForFirstRow = (page, name, options = {}) =>
  waitForRows(page, [name], { ...options, first: true });

// What the rows in view show, run in the page: places of the view with no row, rows without a
// title, covers still loading, covers loaded broken (the browser's broken-picture icon), and rows
// showing the same picture as a row above (the blank cover, where every book has its own).
export function rowsInView() {
  const scroller = document.querySelector('.table-scroller');
  const header = document.querySelector('.section-header');
  if (!scroller || !header) return null;
  const box = scroller.getBoundingClientRect();
  const state = { holes: 0, rows: 0, untitled: 0, loading: 0, broken: 0, samePicture: 0 };
  const seen = new Set();
  const pictures = new Set();
  for (let y = header.getBoundingClientRect().bottom + 1; y < box.bottom; y += 14) {
    const under = document.elementFromPoint(box.left + box.width / 2, y);
    const row = under?.closest('.row');
    if (!row) {
      if (!under?.closest('.search-bar')) state.holes += 1;
      continue;
    }
    if (seen.has(row)) continue;
    seen.add(row);
    state.rows += 1;
    if (!row.querySelector('.row-cell')?.getAttribute('aria-label')) state.untitled += 1;
    const image = row.querySelector('img');
    if (!image?.complete) state.loading += 1;
    else if (image.naturalWidth === 0) state.broken += 1;
    if (image && pictures.has(image.src)) state.samePicture += 1;
    if (image) pictures.add(image.src);
  }
  return state;
}

// Drops files ([name, bytes] pairs) on the library page at once: dragenter, dragover and drop,
// with whileOver() run between the first two (to look at the drop target).
export async function dropFiles(page, files, { whileOver = null } = {}) {
  const dataTransfer = await page.evaluateHandle((given) => {
    const transfer = new DataTransfer();
    for (const [name, base64] of given) {
      transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name, { type: 'application/epub+zip' }));
    }
    return transfer;
  }, files.map(([name, bytes]) => [name, Buffer.from(bytes).toString('base64')]));
  await page.dispatchEvent('.table-screen', 'dragenter', { dataTransfer });
  await whileOver?.();
  await page.dispatchEvent('.table-screen', 'dragover', { dataTransfer });
  await page.dispatchEvent('.table-screen', 'drop', { dataTransfer });
}

// Waits frame by frame, at most timeout milliseconds, until what the rows in view show satisfies
// done; answers it.
export async function waitForRowsInView(page, done, { timeout = 20000 } = {}) {
  const until = Date.now() + timeout;
  for (;;) {
    const state = await page.evaluate(rowsInView);
    if (state && done(state)) return state;
    if (Date.now() > until) throw new Error(`the rows in view did not come: ${JSON.stringify(state)}`);
    await page.evaluate(() => new Promise((resolve) => { requestAnimationFrame(resolve); }));
  }
}

export const dropFile = (page, name, bytes, options = {}) =>
  dropFiles(page, [[name, bytes]], options);
