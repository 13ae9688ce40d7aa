#!/usr/bin/env bash
# Builds the test suite and the fuzz targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in one build folder (scripts/fuzz.sh runs its targets from the same
# one), then runs every unit test twice over in a random order in one process, beside the
# browser files that drive the host's C++ hard (those labelled "host"). Any finding (memory error,
# leak, undefined behaviour) fails.
#
#     scripts/test-sanitized.sh [--all]     --all: every browser file, not only the host's
#
# The folder defaults to build-sanitized/; PAGEWYN_SANITIZED_BUILD_DIR chooses another.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${PAGEWYN_SANITIZED_BUILD_DIR:-build-sanitized}"
browser_files=(-L '^host$')
[ "${1:-}" = "--all" ] && browser_files=(-L '^e2e$')

started=$(date +%s)
scripts/configure.sh "$build" --sanitized
cmake --build "$build" -j"$(nproc)"
built=$(date +%s)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The unit tests run beside the browser files, as in the unsanitized run: the browser files wait
# on the program and the browser much of the time. None may lean on another's leftovers, whatever
# order they run in.
"$build/tests/pagewyn_tests" --gtest_repeat=2 --gtest_shuffle --gtest_brief=1 &
unit_tests=$!
trap 'kill $unit_tests 2>/dev/null || true' EXIT
browser_status=0
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "${browser_files[@]}" || browser_status=$?
browsed=$(date +%s)
unit_status=0
wait $unit_tests || unit_status=$?
finished=$(date +%s)
echo "sanitized build: $((built - started)) s, browser files: $((browsed - built)) s," \
  "unit tests x2 beside them: $((finished - built)) s"
[ $unit_status -eq 0 ] || echo "the sanitized unit tests failed (exit $unit_status)"
[ $unit_status -eq 0 ] && [ $browser_status -eq 0 ]
