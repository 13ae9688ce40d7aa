// Runs the browser end-to-end tests with node's test runner, one file at a time. Exits 77
// (skipped) when Chromium or the npm packages are not installed: scripts/install-dependencies.sh
// installs both.

import { spawnSync } from 'node:child_process';
import { existsSync, readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const chromium = process.env.CHROMIUM_PATH ?? '/usr/bin/chromium';
if (!existsSync(join(here, 'node_modules', 'playwright-core')) || !existsSync(chromium)) {
  console.log(`skipped: needs ${chromium} and tests/e2e/node_modules (run scripts/install-dependencies.sh)`);
  process.exit(77);
}
const files = readdirSync(here).filter((name) => name.endsWith('.test.mjs')).sort().map((name) => join(here, name));
const run = spawnSync(process.execPath, ['--test', '--test-concurrency=1', ...files], { cwd: here, stdio: 'inherit' });
process.exit(run.status ?? 1);
