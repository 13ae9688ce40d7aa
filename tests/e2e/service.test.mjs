// Pagewyn as the user service runs it: what it serves comes from pagewyn.conf, its lines suit the
// journal and hold no token, `pagewyn --address` prints the address with its token, and the
// settings page says how Pagewyn runs. No browser is needed: the host is asked as the page asks it.

import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { mkdirSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import { makeLibrary } from './support/library.mjs';
import { folderFor, pagewynBinary } from './support/pagewyn.mjs';

const books = [{ file: 'a.epub', title: 'Alpha', author: 'Ann' }, { file: 'b.epub', title: 'Beta', author: 'Bob' }];

// An environment whose settings file holds the text, with folders of its own for the runtime
// files and the default library.
function environmentWith(t, settings) {
  const config = folderFor(t);
  mkdirSync(join(config, 'pagewyn'));
  writeFileSync(join(config, 'pagewyn', 'pagewyn.conf'), settings);
  const runtime = folderFor(t);
  return { ...process.env, XDG_CONFIG_HOME: config, XDG_RUNTIME_DIR: runtime, XDG_DATA_HOME: join(runtime, 'data') };
}

function run(environment, ...programArguments) {
  return spawnSync(pagewynBinary(), programArguments, { env: environment, encoding: 'utf8', timeout: 30000 });
}

test('the service serves the library the settings file names and --address tells where', { timeout: 90000 }, async (t) => {
  const library = makeLibrary(books);
  t.after(() => library.remove());
  // A book whose name holds a line break is reported on one line of the journal.
  writeFileSync(join(library.folder, 'broken\nname.epub'), 'not a zip');
  const environment = environmentWith(t, `# the household's library\ndocuments = ${library.folder}\nlisten = 127.0.0.1\n`);
  assert.equal(run(environment, '--address').status, 1, 'no Pagewyn serves the library yet');

  const service = spawn(pagewynBinary(), ['--service'], { env: environment, stdio: ['ignore', 'pipe', 'pipe'] });
  // A failed check leaves no service behind to keep the test file from ending.
  t.after(() => service.kill('SIGKILL'));
  let output = '';
  let errors = '';
  service.stdout.on('data', (chunk) => { output += chunk; });
  service.stderr.on('data', (chunk) => { errors += chunk; });
  const exited = new Promise((done) => service.on('exit', (code, signal) => done(code ?? signal)));
  const origin = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`the service said nothing in time: ${errors}`)), 30000);
    service.stderr.on('data', () => {
      const match = /^pagewyn: serving the library at (http:\/\/[^/\s]+)\/; pagewyn --address prints the address with its key$/m.exec(errors);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    exited.then((code) => reject(new Error(`the service ended (${code}): ${errors}`)));
  });

  const address = run(environment, '--address');
  assert.equal(address.status, 0, address.stderr);
  const printed = new URL(address.stdout.trim());
  assert.equal(printed.origin, origin);
  const token = printed.searchParams.get('token');
  assert.ok(token);
  const runtime = join(environment.XDG_RUNTIME_DIR, 'pagewyn');
  for (const name of readdirSync(runtime))
    assert.equal(statSync(join(runtime, name)).mode & 0o777, 0o600, name);

  const answer = await fetch(`${origin}/settings-page`, { headers: { 'X-Pagewyn-Token': token } });
  assert.equal(answer.status, 200);
  const facts = await answer.json();
  assert.equal(facts.runsAsService, true);
  assert.equal(facts.libraryFolder, library.folder);
  const listed = await fetch(`${origin}/state`, { headers: { 'X-Pagewyn-Token': token } });
  assert.equal(listed.status, 200);

  service.kill('SIGTERM');
  assert.equal(await exited, 0);
  // Everything went to standard error for the journal: one event a line, no token, no colour.
  assert.equal(output, '');
  assert.ok(!errors.includes(token), errors);
  assert.ok(!errors.includes('\x1b'), errors);
  for (const line of errors.trimEnd().split('\n')) assert.match(line, /^(pagewyn: |Can't read: )/);
  assert.match(errors, /^Can't read: .*broken\\nname\.epub/m);

  const afterwards = run(environment, '--address');
  assert.equal(afterwards.status, 1);
  assert.equal(afterwards.stdout, '');
  assert.equal(afterwards.stderr, `pagewyn: no Pagewyn serves the library ${library.folder}\n`);
});

test('the command line overrides the settings file, and a file that cannot be read stops every command', { timeout: 60000 }, (t) => {
  const library = makeLibrary(books);
  t.after(() => library.remove());
  const named = environmentWith(t, `documents = ${library.folder}\n`);
  assert.equal(run(named, 'list', '--order', 'title').stdout, 'Alpha\tAnn\ta.epub\nBeta\tBob\tb.epub\n');
  const elsewhere = environmentWith(t, 'documents = /nonexistent/pagewyn-library\n');
  assert.equal(run(elsewhere, 'list', '--documents', library.folder, '--order', 'title').stdout, 'Alpha\tAnn\ta.epub\nBeta\tBob\tb.epub\n');
  assert.equal(run(elsewhere, 'list').status, 1);

  const faults = [
    ['prot = 8080\n', 'pagewyn: pagewyn.conf line 1: unknown key "prot" (the keys are documents, listen and port)'],
    ['# port\n\nport = 70000\n', 'pagewyn: pagewyn.conf line 3: port must be a number from 0 to 65535'],
    [`documents = ${library.folder}\nlisten\n`, 'pagewyn: pagewyn.conf line 2: expected KEY = VALUE'],
  ];
  for (const [settings, expected] of faults) {
    const environment = environmentWith(t, settings);
    for (const command of [['--no-browser', '--port', '8080'], ['--service'], ['list'], ['--address']]) {
      const ended = run(environment, ...command);
      assert.equal(ended.status, 2, `${command}: ${ended.stderr}`);
      assert.equal(ended.stderr, `${expected}\n`);
      assert.equal(ended.stdout, '');
    }
  }
});
