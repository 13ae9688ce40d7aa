// Starts the real pagewyn program on a library folder, as a person would with --no-browser, and
// reads the address it prints. stop() ends it with SIGTERM and answers its exit code.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { chmodSync, existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { after, before } from 'node:test';

import { launchBrowser, programStopping } from './browser.mjs';
import { makeLibrary } from './library.mjs';

const here = dirname(fileURLToPath(import.meta.url));

export function pagewynBinary() {
  const candidates = [process.env.PAGEWYN_BINARY, resolve(here, '../../../build/pagewyn')].filter(Boolean);
  const found = candidates.find((path) => existsSync(path));
  if (!found) throw new Error(`no pagewyn binary: build it, or set PAGEWYN_BINARY (tried ${candidates.join(', ')})`);
  return found;
}

// Runs the program to its end with the arguments, as a command; answers its exit code and output.
export function runPagewyn(args, env = {}) {
  return new Promise((resolve) => {
    const child = spawn(pagewynBinary(), args,
      { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, ...env } });
    let output = '';
    let errors = '';
    child.stdout.on('data', (chunk) => { output += chunk; });
    child.stderr.on('data', (chunk) => { errors += chunk; });
    // 'close', not 'exit': the pipes may still hold output when the process has exited.
    child.on('close', (code) => resolve({ code, output, errors }));
  });
}

export async function startPagewyn(folder, extraArguments = [], environment = {}) {
  const child = spawn(pagewynBinary(), ['--documents', folder, '--no-browser', ...extraArguments], {
    stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, XDG_DATA_HOME: join(folder, '.xdg'), ...environment },
  });
  // A test run that ends early takes the program with it.
  const orphanGuard = () => child.kill('SIGKILL');
  process.on('exit', orphanGuard);
  let output = '';
  let errors = '';
  child.stderr.on('data', (chunk) => { errors += chunk; });
  const exited = new Promise((resolveExit) => child.on('exit', (code, signal) => {
    process.off('exit', orphanGuard);
    resolveExit(code ?? signal);
  }));
  const address = await new Promise((resolveAddress, reject) => {
    const timer = setTimeout(() => reject(new Error(`pagewyn printed no address in time: ${output} ${errors}`)), 30000);
    child.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /^Pagewyn: (http:\/\/\S+)$/m.exec(output);
      if (match) {
        clearTimeout(timer);
        resolveAddress(match[1]);
      }
    });
    exited.then((code) => reject(new Error(`pagewyn ended (${code}) before it printed its address: ${errors}`)));
  });
  const url = new URL(address);
  return {
    address,
    pid: child.pid,
    origin: url.origin,
    token: url.searchParams.get('token'),
    output: () => output,
    errors: () => errors,
    // Answers the exit code; a program that does not end within ten seconds is killed.
    async stop() {
      programStopping(url.origin);
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      const late = setTimeout(() => child.kill('SIGKILL'), 10000);
      const code = await exited;
      clearTimeout(late);
      return code;
    },
  };
}

// Runs body(pagewyn, library) against the program started on a library of the books; afterwards
// the program must end cleanly on SIGTERM and the library is removed.
export async function withPagewyn(books, body, environment = {}) {
  const library = makeLibrary(books);
  const pagewyn = await startPagewyn(library.folder, [], environment);
  try {
    await body(pagewyn, library);
  } finally {
    assert.equal(await pagewyn.stop(), 0);
    library.remove();
  }
}

// For a test file whose tests share one program: a browser, a library of the books and the
// program on it (with the environment made for the library's folder), made before the file's
// tests and ended after them, the program cleanly. The fields are set once made.
export function pagewynForFile(books, environment = () => ({})) {
  const shared = { browser: null, library: null, pagewyn: null };
  before(async () => {
    shared.browser = await launchBrowser();
    shared.library = makeLibrary(books);
    shared.pagewyn = await startPagewyn(
      shared.library.folder,
      [],
      environment(shared.library.folder),
    );
  });
  after(async () => {
    await shared.browser?.close();
    if (shared.pagewyn) assert.equal(await shared.pagewyn.stop(), 0);
    shared.library?.remove();
  });
  return shared;
}

// A folder opener for pagewyn to use instead of the desktop's (give it environment): it writes
// down the folder it was given, so no file manager opens during the tests. opened() answers that
// folder once the opener has run (it runs apart from the page's answer), or null. fail(true)
// makes it fail at once, as a file manager that is not installed does, until fail(false).
export function recordingOpener() {
  const scratch = mkdtempSync(join(tmpdir(), 'pagewyn-opener-'));
  const record = join(scratch, 'opened');
  const failing = join(scratch, 'failing');
  const script = join(scratch, 'opener.sh');
  writeFileSync(script, `#!/bin/sh\nif [ -e '${failing}' ]; then echo 'no file manager here' >&2; exit 3; fi\n`
    + `printf '%s' "$1" > '${record}.part' && mv '${record}.part' '${record}'\n`);
  chmodSync(script, 0o700);
  return {
    environment: { PAGEWYN_FOLDER_OPENER: script },
    fail: (on) => (on ? writeFileSync(failing, '') : rmSync(failing, { force: true })),
    async opened() {
      for (let tries = 0; tries < 200 && !existsSync(record); tries++)
        await new Promise((done) => {
          setTimeout(done, 50);
        });
      return existsSync(record) ? readFileSync(record, 'utf8') : null;
    },
    remove: () => rmSync(scratch, { recursive: true, force: true }),
  };
}

// For the node:test test t: a fresh folder, removed when t ends.
export function folderFor(t) {
  const folder = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-'));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  return folder;
}

// Starts the program on the folder and opens its page in a browser context of the viewport (and
// the context's other options, such as touch) once a row shows; program and context end with the
// test t.
export async function openLibraryFor(
  t,
  browser,
  folder,
  viewport = { width: 900, height: 700 },
  contextOptions = {},
) {
  const program = await startPagewyn(folder);
  t.after(() => program.stop());
  const context = await browser.newContext({ viewport, ...contextOptions });
  t.after(() => context.close());
  const page = await context.newPage();
  await page.goto(program.address);
  await page.locator('.row-cell').first().waitFor();
  return { program, page };
}
