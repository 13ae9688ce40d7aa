#!/usr/bin/env bash
# Checks that the C++ sources are laid out as clang-format lays them out (.clang-format; run
# `git ls-files '*.cpp' '*.h' | xargs clang-format -i` to lay them out so), and lints the page's
# modules, the browser tests and the browser benchmarks with ESLint (tests/e2e/eslint.config.mjs).
# Prints what is off and fails on it; changes nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "style: the C++ sources are formatted"
tests/e2e/node_modules/.bin/eslint --config tests/e2e/eslint.config.mjs platform/web tests/e2e bench/browser
echo "style: the page's modules and the browser tests lint clean"
