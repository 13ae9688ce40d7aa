#!/usr/bin/env bash
# Lints the page's modules, the browser tests and the browser benchmarks with ESLint
# (tests/e2e/eslint.config.mjs). Prints what is off and fails on it; changes nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
tests/e2e/node_modules/.bin/eslint --config tests/e2e/eslint.config.mjs platform/web tests/e2e bench/browser
echo "style: the page's modules and the browser tests lint clean"
