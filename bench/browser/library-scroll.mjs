// How the library screen keeps up with a large library in the browser: the time from opening the
// page to its first drawn rows, and a scroll from the top to the bottom in steps, each step done
// when the rows at the new position are drawn — for 100,000 books against 100 books, in the same
// run. A steady scroll, a row a frame, counts the frames that show a place without its row. The
// first scan is timed on its own. Targets: the scroll at most 1.5×, the first rows at
// most 2×.
//
//   PAGEWYN_BINARY=build-release/pagewyn node bench/browser/library-scroll.mjs [books] [steps]
//
// Needs tests/e2e/node_modules (scripts/install-dependencies.sh), /usr/bin/chromium and the book
// maker, build/tests/support/pagewyn_make_books (or PAGEWYN_MAKE_BOOKS).

import { join } from 'node:path';
import { performance } from 'node:perf_hooks';

import { launchBrowser } from '../../tests/e2e/support/browser.mjs';
import { makeLibrary } from '../../tests/e2e/support/library.mjs';
import { startPagewyn } from '../../tests/e2e/support/pagewyn.mjs';

const largeCount = Number(process.argv[2] ?? 100000);
const steps = Number(process.argv[3] ?? 40);
const rounds = 3;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

function libraryOf(count) {
  const books = Array.from({ length: count }, (_, n) => ({
    file: `b${String(n).padStart(6, '0')}.epub`,
    title: `Title ${n}`,
    author: `Author ${n % 997}`,
    modified: 1_600_000_000 + n,
  }));
  return makeLibrary(books);
}

// Waits until the row at that position (counted from the top, recency order) is drawn.
async function rowDrawn(page, row) {
  await page.waitForFunction((wanted) => document.querySelector(`.table-rows .row[aria-posinset="${wanted + 1}"]`) !== null,
    row, { timeout: 60000, polling: 'raf' });
}

async function measure(browser, pagewyn, count) {
  const page = await browser.newPage({ viewport: { width: 390, height: 844 } });
  const opened = performance.now();
  await page.goto(pagewyn.address);
  await rowDrawn(page, 0);
  const firstRows = performance.now() - opened;

  const scrolled = performance.now();
  for (let step = 1; step <= steps; step++) {
    const row = await page.evaluate(([step, steps]) => {
      const scroller = document.querySelector('.table-scroller');
      const first = document.querySelector('.table-rows .row');
      const height = first.getBoundingClientRect().height;
      const count = Number(first.getAttribute('aria-setsize'));
      scroller.scrollTop = Math.round(
        ((scroller.scrollHeight - scroller.clientHeight) * step) / steps,
      );
      return Math.min(count - 1, Math.floor(scroller.scrollTop / height));
    }, [step, steps]);
    await rowDrawn(page, row);
  }
  const scroll = performance.now() - scrolled;
  await page.evaluate(() => { document.querySelector('.table-scroller').scrollTop = 0; });
  await rowDrawn(page, 0);
  const holes = await steadyScrollHoles(page);
  await page.close();
  return { firstRows, scroll, holes, count };
}

// What a user scrolling steadily sees: a row a frame, for a second, the frames in which some
// place of the view below the pinned header shows no row (its rows not drawn yet).
function steadyScrollHoles(page) {
  return page.evaluate(async () => {
    const scroller = document.querySelector('.table-scroller');
    const box = scroller.getBoundingClientRect();
    const pinnedBottom = document.querySelector('.section-header').getBoundingClientRect().bottom + 44;
    const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
    let holes = 0;
    for (let step = 0; step < 60; step++) {
      scroller.scrollTop += 56;
      await frame();
      for (let y = pinnedBottom + 1; y < box.bottom; y += 28) {
        if (!document.elementFromPoint(box.left + box.width / 2, y)?.closest('.row')) {
          holes += 1;
          break;
        }
      }
    }
    return holes;
  });
}

async function run(browser, count) {
  const generated = performance.now();
  const library = libraryOf(count);
  const generation = performance.now() - generated;
  const started = performance.now();
  // Its metadata cache stays in the library's folder: 100,000 rows a run in the user's ~/.cache
  // would outlive the library they describe.
  const pagewyn = await startPagewyn(library.folder, [], { XDG_CACHE_HOME: join(library.folder, '.cache'), XDG_CONFIG_HOME: join(library.folder, '.config') });
  try {
    // The first page waits out the first scan.
    const page = await browser.newPage();
    await page.goto(pagewyn.address);
    await page.getByRole('heading', { name: 'Recently Opened' }).waitFor({ timeout: 600000 });
    const firstScan = performance.now() - started;
    await page.close();
    const results = [];
    for (let round = 0; round < rounds; round++)
      results.push(await measure(browser, pagewyn, count));
    return {
      count,
      generation,
      firstScan,
      firstRows: median(results.map((result) => result.firstRows)),
      scroll: median(results.map((result) => result.scroll)),
      holes: median(results.map((result) => result.holes)),
    };
  } finally {
    await pagewyn.stop();
    library.remove();
  }
}

const browser = await launchBrowser();
try {
  const small = await run(browser, 100);
  const large = await run(browser, largeCount);
  const ms = (value) => `${value.toFixed(0)} ms`;
  console.log(`\nLibrary screen in Chromium, ${steps} scroll steps, median of ${rounds}`);
  console.log('| Measure | 100 books | ' + largeCount.toLocaleString('en') + ' books | Ratio | Bound |');
  console.log('|---|---|---|---|---|');
  let failed = false;
  for (const [name, key, bound] of [['Open to first rows', 'firstRows', 2], ['Scroll top to bottom', 'scroll', 1.5]]) {
    const ratio = large[key] / small[key];
    failed ||= ratio > bound;
    console.log(`| ${name} | ${ms(small[key])} | ${ms(large[key])} | ${ratio.toFixed(2)}× | ≤ ${bound}× |`);
  }
  console.log(`| Steady scroll, frames of 60 with a row not drawn | ${small.holes} | ${large.holes} | | |`);
  console.log(`| First scan (alone) | ${ms(small.firstScan)} | ${ms(large.firstScan)} | | |`);
  console.log(`| Generating the library | ${ms(small.generation)} | ${ms(large.generation)} | | |`);
  process.exitCode = failed ? 1 : 0;
} finally {
  await browser.close();
}
