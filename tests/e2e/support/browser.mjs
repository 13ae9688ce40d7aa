// Debian's Chromium, headless, driven by playwright-core.

import { chromium } from 'playwright-core';

export const chromiumPath = process.env.CHROMIUM_PATH ?? '/usr/bin/chromium';

export function launchBrowser() {
  return chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
}

// A page of Pagewyn at that size, opened at the printed address.
export async function openPagewyn(browser, pagewyn, { width = 390, height = 844, context = null } = {}) {
  const owner = context ?? await browser.newContext({ viewport: { width, height } });
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
export async function waitForRows(page, names, { first = false, timeout } = {}) {
  await page.waitForFunction(([expected, prefix]) => {
    const shown = [...document.querySelectorAll('.row:not(.fading)')]
      .sort((a, b) => parseFloat(a.style.top) - parseFloat(b.style.top))
      .map((row) => row.querySelector('.row-cell')?.getAttribute('aria-label'));
    return JSON.stringify(prefix ? shown.slice(0, expected.length) : shown) === JSON.stringify(expected);
  }, [names, first], { timeout });
}

export const waitForFirstRow = (page, name, options = {}) => waitForRows(page, [name], { ...options, first: true });

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

export const dropFile = (page, name, bytes, options = {}) => dropFiles(page, [[name, bytes]], options);
