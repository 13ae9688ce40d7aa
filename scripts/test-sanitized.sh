#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer in its own build
# folder and runs it. Any finding (memory error, leak, undefined behaviour) fails its test.
# The folder defaults to build-sanitized/; PAGEWYN_SANITIZED_BUILD_DIR chooses another.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${PAGEWYN_SANITIZED_BUILD_DIR:-build-sanitized}"

started=$(date +%s)
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPAGEWYN_SANITIZE=ON
cmake --build "$build" -j"$(nproc)"
built=$(date +%s)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
finished=$(date +%s)
echo "sanitized build: $((built - started)) s, sanitized tests: $((finished - built)) s"
