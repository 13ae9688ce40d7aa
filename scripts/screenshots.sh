#!/usr/bin/env bash
# Makes the README's pictures of the library and the reader into docs/, from the browser tests'
# own books: run it again after any visual change.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-dependencies.sh
scripts/build.sh
node tests/e2e/screenshots.mjs docs
