// The real program for the reader's browser tests: started on a library folder, its address read
// from what it prints, stopped again; and Debian's Chromium to look at it.

import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = fileURLToPath(new URL('.', import.meta.url));

export function programPath() {
  const candidates = [process.env.PAGEWYN_BINARY, join(here, '../../build/pagewyn'), join(here, '../../build-reading/pagewyn')];
  return candidates.find((candidate) => candidate && existsSync(candidate)) ?? null;
}

export function chromiumPath() {
  const candidates = [process.env.PAGEWYN_CHROMIUM, '/usr/bin/chromium', '/usr/bin/chromium-browser'];
  return candidates.find((candidate) => candidate && existsSync(candidate)) ?? null;
}

// Starts the program on the folder and answers { address, origin, token, stop }.
export function startProgram(folder) {
  return new Promise((resolve, reject) => {
    const child = spawn(programPath(), ['--documents', folder, '--no-browser'], { stdio: ['ignore', 'pipe', 'pipe'] });
    let output = '';
    const timer = setTimeout(() => {
      child.kill('SIGTERM');
      reject(new Error(`the program printed no address:\n${output}`));
    }, 20000);
    const read = (chunk) => {
      output += chunk;
      const found = /Pagewyn: (http:\/\/[^\s]+)/.exec(output);
      if (!found) return;
      clearTimeout(timer);
      const address = new URL(found[1]);
      resolve({
        address: address.href,
        origin: address.origin,
        token: address.searchParams.get('token'),
        output: () => output,
        stop: () => new Promise((done) => {
          if (child.exitCode !== null) {
            done(child.exitCode);
            return;
          }
          child.once('exit', (code) => done(code));
          child.kill('SIGTERM');
        }),
      });
    };
    child.stdout.on('data', read);
    child.stderr.on('data', (chunk) => { output += chunk; });
    child.once('error', (failure) => {
      clearTimeout(timer);
      reject(failure);
    });
    child.once('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`the program ended (${code}) before it printed its address:\n${output}`));
    });
  });
}
