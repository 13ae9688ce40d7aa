// `pagewyn FILE.epub` when no Pagewyn serves the library: the command starts one and hands it the
// book once it is up, or ends the one it started when it never begins serving. Most of this file
// is waiting for the command's own time limits, so it runs beside the other browser files.

import assert from 'node:assert/strict';
import { mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';

import { makeLibrary, writeBook } from './support/library.mjs';
import { runPagewyn } from './support/pagewyn.mjs';

let outside;
before(() => {
  outside = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-outside-'));
});
after(() => {
  rmSync(outside, { recursive: true, force: true });
});

// The library already holds a book; the one handed over lies among the person's downloads.
const books = [{ file: 'alpha.epub', title: 'Alpha', author: 'Ann', modified: 1_700_000_100 }];
const bookOutside = (file, title, author) => writeBook(outside, { file, title, author });

describe('handing a book over with no Pagewyn running', () => {
  test('`pagewyn FILE.epub` with no Pagewyn running starts one and hands it the book once it is up', { timeout: 90000 }, async () => {
    const library = makeLibrary(books);
    let pid = null;
    try {
      const handed = await runPagewyn(['--documents', library.folder, '--no-browser', bookOutside('Zeta.epub', 'Zeta', 'Zed')],
        { XDG_DATA_HOME: join(library.folder, '.xdg') });
      assert.equal(handed.code, 0, handed.errors);
      const match = /^Pagewyn: Zeta\.epub was handed to a new Pagewyn at (http:\/\/127\.0\.0\.1:\d+)\/\?token=([0-9a-f]{64})\n$/.exec(handed.output);
      assert.ok(match, handed.output);
      const [, origin, token] = match;
      const ask = async (path) => (await fetch(`${origin}${path}`, { headers: { 'X-Pagewyn-Token': token } })).json();
      pid = (await ask('/instance')).pid;
      const state = await ask('/state?first=0&count=10&width=390&height=844');
      assert.equal(state.screen.table.rows[0].label, 'Zeta, Zed');
      assert.ok(state.presented.some((screen) => screen.reader), 'the reader shows the book');
      assert.ok(statSync(join(library.folder, 'Zeta.epub')).isDirectory());
    } finally {
      if (pid) process.kill(pid, 'SIGTERM');
      library.remove();
    }
  });

  test('a Pagewyn started for a hand-over that never begins serving is ended with the command', { timeout: 90000 }, async () => {
    const library = makeLibrary(books);
    const runtime = mkdtempSync(join(tmpdir(), 'pagewyn-run-'));
    // The programs serving this library, by their command lines.
    const serving = () => readdirSync('/proc').filter((entry) => /^\d+$/.test(entry)).filter((pid) => {
      try {
        return readFileSync(`/proc/${pid}/cmdline`, 'utf8').split('\0').includes(library.folder);
      } catch {
        return false;
      }
    });
    try {
      // No instance file can be written where the command looks for one.
      writeFileSync(join(runtime, 'pagewyn'), 'not a folder');
      const handed = await runPagewyn(['--documents', library.folder, '--no-browser', bookOutside('Eta.epub', 'Eta', 'Ed')],
        { XDG_RUNTIME_DIR: runtime, XDG_DATA_HOME: join(library.folder, '.xdg') });
      assert.equal(handed.code, 1);
      assert.match(handed.errors, /did not begin serving/);
      assert.deepEqual(serving(), []);
    } finally {
      for (const pid of serving()) process.kill(Number(pid), 'SIGKILL');
      library.remove();
      rmSync(runtime, { recursive: true, force: true });
    }
  });
});
