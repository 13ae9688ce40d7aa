// Starts the real pagewyn program on a library folder, as a person would with --no-browser, and
// reads the address it prints. stop() ends it with SIGTERM and answers its exit code.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { makeLibrary } from './library.mjs';

const here = dirname(fileURLToPath(import.meta.url));

export function pagewynBinary() {
  const candidates = [process.env.PAGEWYN_BINARY, resolve(here, '../../../build/pagewyn')].filter(Boolean);
  const found = candidates.find((path) => existsSync(path));
  if (!found) throw new Error(`no pagewyn binary: build it, or set PAGEWYN_BINARY (tried ${candidates.join(', ')})`);
  return found;
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
    origin: url.origin,
    token: url.searchParams.get('token'),
    output: () => output,
    errors: () => errors,
    // Answers the exit code; a program that does not end within ten seconds is killed.
    async stop() {
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
export async function withPagewyn(books, body) {
  const library = makeLibrary(books);
  const pagewyn = await startPagewyn(library.folder);
  try {
    await body(pagewyn, library);
  } finally {
    assert.equal(await pagewyn.stop(), 0);
    library.remove();
  }
}
