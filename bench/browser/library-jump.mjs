// What a user feels of a large library in the browser: far jumps, each done when every row in
// view shows its title and a loaded cover (30 jumps to shuffled places, median and 90th
// percentile, 100,000 books against 1,000 in the same run, the metadata cache warm); a steady
// mouse-wheel scroll of 150 notches over 10,000 books, counting the frames with a row in view
// that has no title or no loaded cover; and the host's peak resident memory over the jumps.
// Targets: the 90th percentile at most 1.2×, no broken cover, no such frame, at most 64 MB.
//
//   PAGEWYN_BINARY=build/pagewyn node bench/browser/library-jump.mjs \
//     [large] [small] [wheel] [--progress]
//
// --progress: every other book (50,000 at most, as many as the reader keeps) has a kept place for
// the run, so its row shows how far it was read.
//
// The libraries are written once by the project's book maker into PAGEWYN_BENCH_LIBRARIES (or
// the temporary folder) and kept there for the next run. Needs tests/e2e/node_modules
// (scripts/install-dependencies.sh), /usr/bin/chromium and build/tests/support/pagewyn_make_books.

import { existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { launchBrowser, rowsInView } from '../../tests/e2e/support/browser.mjs';
import { makeLargeLibrary } from '../../tests/e2e/support/library.mjs';
import { startPagewyn } from '../../tests/e2e/support/pagewyn.mjs';

const withProgress = process.argv.includes('--progress');
const counts = process.argv.slice(2).filter((argument) => argument !== '--progress');
const largeCount = Number(counts[0] ?? 100000);
const smallCount = Number(counts[1] ?? 1000);
const wheelCount = Number(counts[2] ?? 10000);
const jumps = 30;
const notches = 150;

const percentile = (values, share) =>
  [...values].sort((a, b) => a - b)[Math.min(values.length - 1, Math.floor(values.length * share))];

// A library of count books with covers, made once and kept.
function libraryOf(count) {
  const folder = join(process.env.PAGEWYN_BENCH_LIBRARIES ?? join(tmpdir(), 'pagewyn-bench-libraries'), `covers-${count}`);
  const done = join(folder, '.made');
  if (!existsSync(done)) {
    rmSync(folder, { recursive: true, force: true });
    mkdirSync(folder, { recursive: true });
    makeLargeLibrary(count, { folder });
    writeFileSync(done, '');
  }
  return folder;
}

// Starts the program on the library with its metadata cache beside it, after a first start that
// warms the cache.
async function started(folder) {
  const environment = { XDG_CACHE_HOME: join(folder, '.cache') };
  const warming = await startPagewyn(folder, [], environment);
  const browser = await launchBrowser();
  const page = await browser.newPage();
  await page.goto(warming.address);
  await page.getByRole('heading', { name: 'Recently Opened' }).waitFor({ timeout: 1200000 });
  await browser.close();
  await warming.stop();
  return startPagewyn(folder, [], environment);
}

// The in-page wait after a scroll: until every row in view shows its title and a loaded cover (or
// a broken one), answering the milliseconds and what the rows show then.
const settle = `(async () => {
  const look = ${rowsInView};
  const began = performance.now();
  for (;;) {
    await new Promise((resolve) => requestAnimationFrame(resolve));
    const state = look();
    const done = state && state.rows > 0 && state.holes === 0 && state.untitled === 0 && state.loading === 0;
    if (done || performance.now() - began > 30000) return { milliseconds: performance.now() - began, ...state, done };
  }
})()`;

// A phone-sized page of the library, its first rows settled, with the failed answers it meets.
async function openPage(browser, pagewyn) {
  const page = await browser.newPage({ viewport: { width: 390, height: 844 } });
  const failed = [];
  page.on('response', (response) => { if (response.status() >= 400) failed.push(response.url()); });
  await page.goto(pagewyn.address);
  await page.evaluate(settle);
  return { page, failed };
}

async function jumpThrough(browser, pagewyn) {
  const { page, failed } = await openPage(browser, pagewyn);
  // Resident memory at its peak from here on.
  writeFileSync(`/proc/${pagewyn.pid}/clear_refs`, '5');
  // Places spread over the list, in an order fixed for every run.
  let seed = 7;
  const places = Array.from({ length: jumps }, (_, n) => (n + 0.5) / jumps);
  for (let n = places.length - 1; n > 0; n--) {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    const other = seed % (n + 1);
    [places[n], places[other]] = [places[other], places[n]];
  }
  const times = [];
  let broken = 0;
  let unfinished = 0;
  for (const place of places) {
    await page.evaluate((share) => {
      const scroller = document.querySelector('.table-scroller');
      scroller.scrollTop = Math.round((scroller.scrollHeight - scroller.clientHeight) * share);
    }, place);
    const result = await page.evaluate(settle);
    times.push(result.milliseconds);
    broken += result.broken;
    unfinished += result.done ? 0 : 1;
  }
  const status = readFileSync(`/proc/${pagewyn.pid}/status`, 'utf8');
  const peakKilobytes = Number(/VmHWM:\s+(\d+)/.exec(status)[1]);
  await page.close();
  return {
    median: percentile(times, 0.5),
    p90: percentile(times, 0.9),
    broken,
    unfinished,
    failed: failed.length,
    peakMegabytes: peakKilobytes / 1024,
  };
}

async function wheel(browser, pagewyn) {
  const { page, failed } = await openPage(browser, pagewyn);
  await page.mouse.move(195, 500);
  let frames = 0;
  for (let notch = 0; notch < notches; notch++) {
    await page.mouse.wheel(0, 100);
    const state = await page.evaluate(`new Promise((resolve) => requestAnimationFrame(() => resolve((${rowsInView})())))`);
    if (!state || state.untitled > 0 || state.loading > 0 || state.broken > 0) frames += 1;
  }
  await page.close();
  return { frames, failed: failed.length };
}

// The reading places of every other book of the library, as the reader keeps them.
function keepPlaces(folder, count) {
  const places = {};
  for (let n = 0; n < count && n < 100000; n += 2)
    places[`b${String(n).padStart(6, '0')}.epub`] = {
      document: 'OEBPS/text/chapter-1.xhtml', offset: 0,
      progress: (n % 100) / 100, finished: n % 10 === 0,
    };
  const store = { store: 'pagewyn reading places', places };
  writeFileSync(join(folder, 'reading-places.json'), JSON.stringify(store));
}

async function measure(count, what) {
  const folder = libraryOf(count);
  if (withProgress) keepPlaces(folder, count);
  const pagewyn = await started(folder);
  const browser = await launchBrowser();
  try {
    return await what(browser, pagewyn);
  } finally {
    await browser.close();
    await pagewyn.stop();
    rmSync(join(folder, 'reading-places.json'), { force: true });
  }
}

const small = await measure(smallCount, jumpThrough);
const large = await measure(largeCount, jumpThrough);
const steady = await measure(wheelCount, wheel);
const ms = (value) => `${value.toFixed(0)} ms`;
const ratio = large.p90 / small.p90;
const placesKept = withProgress ? ', every other book with a kept place' : '';
console.log(`\nJumps in Chromium at 390×844, ${jumps} to shuffled places, each until every row in view has its title and a loaded cover${placesKept}`);
console.log(`| Measure | ${smallCount.toLocaleString('en')} books | ${largeCount.toLocaleString('en')} books | Bound |`);
console.log('|---|---|---|---|');
console.log(`| Jump, median | ${ms(small.median)} | ${ms(large.median)} | |`);
console.log(`| Jump, 90th percentile | ${ms(small.p90)} | ${ms(large.p90)} (${ratio.toFixed(2)}×) | ≤ 1.2× |`);
console.log(`| Broken covers in view / jumps not done in 30 s | ${small.broken} / ${small.unfinished} | ${large.broken} / ${large.unfinished} | 0 |`);
console.log(`| Answers of status 400 or more | ${small.failed} | ${large.failed} | 0 |`);
console.log(`| Host peak resident memory over the jumps | ${small.peakMegabytes.toFixed(1)} MB | ${large.peakMegabytes.toFixed(1)} MB | ≤ 64 MB |`);
console.log(`\nWheel: ${notches} notches over ${wheelCount.toLocaleString('en')} books: ${steady.frames} frames with a row in view lacking its title or a loaded cover (bound 0); ${steady.failed} answers of status 400 or more`);
process.exitCode =
  ratio > 1.2 ||
  small.broken + large.broken + small.unfinished + large.unfinished > 0 ||
  large.peakMegabytes > 64 ||
  steady.frames > 0
    ? 1
    : 0;
