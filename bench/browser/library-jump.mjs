// What a user feels of a large library in the browser: far jumps, each done when every row in
// view shows its title and a loaded cover (30 jumps to shuffled places, median and 90th
// percentile, 100,000 books against 1,000 in the same run, the metadata cache warm); a steady
// mouse-wheel scroll of 150 notches over 10,000 books, counting the frames with a row in view
// that has no title or no loaded cover; and the host's peak resident memory over the jumps.
// Targets: the 90th percentile at most 1.2×, no broken cover, no such frame, at most 64 MB.
//
//   PAGEWYN_BINARY=build/pagewyn node bench/browser/library-jump.mjs \
//     [large] [small] [wheel] [--progress] [--indexing]
//
// --progress: every other book (50,000 at most, as many as the reader keeps) has a kept place for
// the run, so its row shows how far it was read.
// --indexing: the jumps of each library named (the small one, then the large one, unless given)
// twice instead, and no wheel: once with the library's text index up to date (brought so before
// the start by `pagewyn search`, as after an earlier run), and once with the index removed before
// the start, so that the program reads every book's text beside the jumps. Targets: the second's
// 90th percentile and peak memory at most 1.2× the first's. Then, with no page open, the host's
// peak while it indexes every book against its peak without a text index: at most 1.2×. A
// library folder may hold books of its own beside the generated ones (real-size books, whose
// text costs the indexer more).
//
// The libraries are written once by the project's book maker into PAGEWYN_BENCH_LIBRARIES (or
// the temporary folder) and kept there for the next run. Needs tests/e2e/node_modules
// (scripts/install-dependencies.sh), /usr/bin/chromium and build/tests/support/pagewyn_make_books.

import { spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { launchBrowser, rowsInView } from '../../tests/e2e/support/browser.mjs';
import { makeLargeLibrary } from '../../tests/e2e/support/library.mjs';
import { pagewynBinary, startPagewyn } from '../../tests/e2e/support/pagewyn.mjs';

const withProgress = process.argv.includes('--progress');
const besideIndexing = process.argv.includes('--indexing');
const counts = process.argv.slice(2).filter((argument) => !argument.startsWith('--'));
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
// warms the cache. textIndex: 'complete' brings the library's text index up to date before the
// start, 'removed' removes it, 'unusable' puts a folder in its place, so that the program runs
// without one; otherwise it is left as the first start left it.
async function started(folder, textIndex) {
  const environment = { XDG_CACHE_HOME: join(folder, '.cache') };
  const warming = await startPagewyn(folder, [], environment);
  const browser = await launchBrowser();
  const page = await browser.newPage();
  await page.goto(warming.address);
  await page.getByRole('heading', { name: 'Recently Opened' }).waitFor({ timeout: 1200000 });
  await browser.close();
  await warming.stop();
  if (textIndex === 'complete') {
    // Builds or updates the index first, then searches it: no book's text is left to read.
    spawnSync(pagewynBinary(), ['search', '--documents', folder, 'zzzq'], {
      env: { ...process.env, XDG_DATA_HOME: join(folder, '.xdg'), ...environment },
      stdio: 'ignore',
    });
  } else if (textIndex === 'removed' || textIndex === 'unusable') {
    for (const ending of ['', '-wal', '-shm'])
      rmSync(join(folder, '.cache', 'pagewyn', `text-index.sqlite3${ending}`), { recursive: true, force: true });
    if (textIndex === 'unusable') mkdirSync(join(folder, '.cache', 'pagewyn', 'text-index.sqlite3'));
  }
  return startPagewyn(folder, [], environment);
}

// The program's peak resident memory so far, in MB.
const peakMegabytes = (pid) => Number(/VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))[1]) / 1024;

// How many books' text the program has indexed, of how many.
async function indexed(pagewyn) {
  const response = await fetch(`${pagewyn.origin}/passages`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', 'X-Pagewyn-Token': pagewyn.token },
    body: JSON.stringify({ words: 'zzzq' }),
  });
  const { progress } = await response.json();
  return progress;
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
  const indexedBefore = besideIndexing ? await indexed(pagewyn) : null;
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
  const peak = peakMegabytes(pagewyn.pid);
  const indexedAfter = besideIndexing ? await indexed(pagewyn) : null;
  await page.close();
  return {
    indexedBefore,
    indexedAfter,
    median: percentile(times, 0.5),
    p90: percentile(times, 0.9),
    broken,
    unfinished,
    failed: failed.length,
    peakMegabytes: peak,
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

async function measure(count, what, textIndex) {
  const folder = libraryOf(count);
  if (withProgress) keepPlaces(folder, count);
  const pagewyn = await started(folder, textIndex);
  const browser = await launchBrowser();
  try {
    return await what(browser, pagewyn);
  } finally {
    await browser.close();
    await pagewyn.stop();
    rmSync(join(folder, 'reading-places.json'), { force: true });
  }
}

const ms = (value) => `${value.toFixed(0)} ms`;

// The host's peak resident memory with no page open, once it has used no processor time for 6 s
// (every book indexed, or none to index): a page's requests would make the indexer wait.
async function idlePeak(count, textIndex) {
  const folder = libraryOf(count);
  const pagewyn = await started(folder, textIndex);
  try {
    const busyTime = () => readFileSync(`/proc/${pagewyn.pid}/stat`, 'utf8').split(') ')[1].split(' ')
      .slice(11, 13).reduce((sum, ticks) => sum + Number(ticks), 0);
    for (let last = -1, still = 0; still < 6;) {
      await new Promise((resolve) => setTimeout(resolve, 1000));
      const now = busyTime();
      still = now === last ? still + 1 : 0;
      last = now;
    }
    return peakMegabytes(pagewyn.pid);
  } finally {
    await pagewyn.stop();
    if (textIndex === 'unusable')
      rmSync(join(folder, '.cache', 'pagewyn', 'text-index.sqlite3'), { recursive: true, force: true });
  }
}

// Each library with its text index up to date, then with the indexer reading every book.
async function jumpsBesideIndexing() {
  const rows = [];
  const idleRows = [];
  let missed = false;
  for (const count of counts.length > 0 ? counts.map(Number) : [smallCount, largeCount]) {
    const complete = await measure(count, jumpThrough, 'complete');
    const indexing = await measure(count, jumpThrough, 'removed');
    const p90 = indexing.p90 / complete.p90;
    const peak = indexing.peakMegabytes / complete.peakMegabytes;
    const { indexedBefore: before, indexedAfter: after } = indexing;
    const books = `${count.toLocaleString('en')} books`;
    rows.push(
      `| ${books}, index up to date | ${ms(complete.median)} | ${ms(complete.p90)} | ` +
        `${complete.peakMegabytes.toFixed(1)} MB | ${complete.broken} / ${complete.unfinished} | ` +
        `${complete.failed} | ${complete.indexedAfter.indexed} of ${complete.indexedAfter.total} |`,
      `| ${books}, indexing beside | ${ms(indexing.median)} | ${ms(indexing.p90)} ` +
        `(${p90.toFixed(2)}×) | ${indexing.peakMegabytes.toFixed(1)} MB (${peak.toFixed(2)}×) | ` +
        `${indexing.broken} / ${indexing.unfinished} | ${indexing.failed} | ` +
        `${before.indexed} → ${after.indexed} of ${after.total} |`,
    );
    const withoutIndex = await idlePeak(count, 'unusable');
    const idleIndexing = await idlePeak(count, 'removed');
    const idle = idleIndexing / withoutIndex;
    idleRows.push(`| ${books} | ${withoutIndex.toFixed(1)} MB | ${idleIndexing.toFixed(1)} MB (${idle.toFixed(2)}×) |`);
    missed ||= p90 > 1.2 || peak > 1.2 || idle > 1.2 || indexing.broken + indexing.unfinished > 0;
  }
  console.log(`\nJumps in Chromium at 390×844, ${jumps} to shuffled places, each until every row in view has its title and a loaded cover, with the text index up to date and while the program indexes every book's text`);
  console.log('| Library | Jump, median | Jump, 90th percentile | Host peak memory | Broken covers / jumps not done | Answers ≥ 400 | Books indexed over the jumps |');
  console.log('|---|---|---|---|---|---|---|');
  for (const row of rows) console.log(row);
  console.log('Bounds: 90th percentile and peak memory beside indexing ≤ 1.2× those with the index up to date; no broken cover, every jump done');
  console.log('\nThe host with no page open, until it has been idle for 6 s');
  console.log('| Library | Peak memory, no text index | Peak memory, indexing every book |');
  console.log('|---|---|---|');
  for (const row of idleRows) console.log(row);
  console.log('Bound: indexing every book ≤ 1.2× the peak without an index');
  process.exitCode = missed ? 1 : 0;
}

// The larger library's jumps against the smaller's, and the wheel.
async function jumpsAndWheel() {
  const small = await measure(smallCount, jumpThrough);
  const large = await measure(largeCount, jumpThrough);
  const steady = await measure(wheelCount, wheel);
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
}

await (besideIndexing ? jumpsBesideIndexing() : jumpsAndWheel());
