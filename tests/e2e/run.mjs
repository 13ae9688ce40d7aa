// Runs the browser end-to-end tests with node's test runner, one file at a time: the files named
// on the command line, or all of them. Exits 77 (skipped) when Chromium or the npm packages are
// not installed — scripts/install-dependencies.sh installs both — except in CI, where a missing
// browser is a failure rather than a silent skip.

import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const chromium = process.env.CHROMIUM_PATH ?? '/usr/bin/chromium';
if (!existsSync(join(here, 'node_modules', 'playwright-core')) || !existsSync(chromium)) {
  console.log(`${process.env.CI ? 'failed' : 'skipped'}: needs ${chromium} and tests/e2e/node_modules (run scripts/install-dependencies.sh)`);
  process.exit(process.env.CI ? 1 : 77);
}
const named = process.argv.slice(2);
const files = named.length > 0
  ? named
  : readdirSync(here).filter((name) => name.endsWith('.test.mjs')).sort().map((name) => join(here, name));
// Every program the tests start keeps its metadata cache and its secrets here, never in the
// user's ~/.cache and ~/.config.
const cache = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-cache-'));
const config = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-config-'));
const run = spawnSync(process.execPath, ['--test', '--test-concurrency=1', ...files],
  { cwd: here, stdio: 'inherit', env: { ...process.env, XDG_CACHE_HOME: cache, XDG_CONFIG_HOME: config } });
rmSync(cache, { recursive: true, force: true });
rmSync(config, { recursive: true, force: true });
process.exit(run.status ?? 1);
