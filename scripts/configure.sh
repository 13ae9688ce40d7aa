#!/usr/bin/env bash
# Configures a build folder once, with Ninja:
#
#     scripts/configure.sh DIR [--sanitized] [CMAKE OPTIONS...]
#
# --sanitized: clang with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's coverage,
# the one build the sanitized tests and the fuzz targets share.
# Compiles through ccache where it is installed, with the checkout's paths taken as relative, so a
# fresh clone elsewhere on this machine reuses what an earlier clone compiled.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
[ -f "$dir/CMakeCache.txt" ] && exit 0
if [ "${1:-}" = "--sanitized" ]; then
  shift
  export CC=clang CXX=clang++
  set -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGEWYN_SANITIZE=ON -DPAGEWYN_FUZZ=ON -DPAGEWYN_LINK_CHECK=OFF "$@"
fi
launcher=()
if command -v ccache >/dev/null 2>&1; then
  through_ccache="env;CCACHE_BASEDIR=$PWD;CCACHE_NOHASHDIR=true;ccache"
  launcher=("-DCMAKE_C_COMPILER_LAUNCHER=$through_ccache" "-DCMAKE_CXX_COMPILER_LAUNCHER=$through_ccache")
fi
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@"
