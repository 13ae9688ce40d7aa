#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in
# the sanitized tests' build folder, and runs each for a bounded time (default 60 seconds):
#
#     scripts/fuzz.sh [SECONDS]
#
# Prints each target's executions per second and total runs, and fails when any target finds a
# crash, a leak, a timeout or runs out of memory; the input that did it is kept under
# <build>/fuzz/artifacts/ and its log under <build>/fuzz/logs/. The corpus each run grows is kept
# in the user's cache (~/.cache/pagewyn-fuzz/corpus/, or PAGEWYN_FUZZ_CORPUS), outside any clone:
# every run first replays all of it, so what earlier runs found keeps being checked, then looks
# for new inputs. The build folder defaults to build-sanitized/; PAGEWYN_FUZZ_BUILD_DIR chooses
# another. Targets run side by side, one per processor.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${PAGEWYN_FUZZ_BUILD_DIR:-build-sanitized}"
corpus="${PAGEWYN_FUZZ_CORPUS:-${XDG_CACHE_HOME:-$HOME/.cache}/pagewyn-fuzz/corpus}"
targets=(package_zipped package_unpacked cover table_of_contents unzip html_fragment page_search event request_head pairing_body catalog_query sync_place)
declare -A dictionary=(
  [package_zipped]=zip [package_unpacked]=epub [cover]=epub [table_of_contents]=epub
  [unzip]=zip [html_fragment]=html [page_search]=html [event]=event [request_head]=http
  [pairing_body]=event [catalog_query]=http [sync_place]=html
)

# Most targets write and remove a book or an unpacked folder every run; a folder in memory makes
# that several times faster than one on disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

started=$(date +%s)
scripts/configure.sh "$build" --sanitized
cmake --build "$build" -j"$(nproc)" --target pagewyn_fuzz_seeds "${targets[@]/#/fuzz_}"
built=$(date +%s)

work="$build/fuzz"
rm -rf "$work/seeds" "$work/logs"
mkdir -p "$work/logs" "$work/artifacts"
"$build/fuzz/pagewyn_fuzz_seeds" "$work/seeds"

run_target() {
  local target=$1
  mkdir -p "$corpus/$target"
  "$build/fuzz/fuzz_$target" "$corpus/$target" "$work/seeds/$target" \
    -dict="fuzz/dictionaries/${dictionary[$target]}.dict" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" \
    >"$work/logs/$target.log" 2>&1
}

# One target per processor at a time; each keeps its own exit status.
parallel=$(nproc)
declare -A status
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
  batch=("${pending[@]:0:$parallel}")
  pending=("${pending[@]:$parallel}")
  declare -A pids=()
  for target in "${batch[@]}"; do
    run_target "$target" &
    pids[$target]=$!
  done
  for target in "${batch[@]}"; do
    if wait "${pids[$target]}"; then status[$target]=0; else status[$target]=$?; fi
  done
  unset pids
done
finished=$(date +%s)

failed=0
printf '%-18s %10s %12s %8s  %s\n' target "exec/s" runs "rss MB" result
for target in "${targets[@]}"; do
  log="$work/logs/$target.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
  if [ "${status[$target]}" -eq 0 ]; then
    result=clean
  else
    failed=1
    finding=$(grep -m 1 -E '^==[0-9]+==ERROR|runtime error:|^SUMMARY|ERROR: libFuzzer|pagewyn fuzz:' "$log" || true)
    result="FAILED (exit ${status[$target]}): ${finding:-see $log}"
  fi
  printf '%-18s %10s %12s %8s  %s\n' "$target" "${speed:-?}" "${runs:-?}" "${rss:-?}" "$result"
done
echo "fuzz build: $((built - started)) s, fuzzing: $((finished - built)) s ($seconds s per target, $parallel at a time)"
if [ $failed -ne 0 ]; then
  echo "Findings: inputs in $work/artifacts/, logs in $work/logs/" >&2
  exit 1
fi
