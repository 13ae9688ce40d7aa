#!/usr/bin/env bash
# The user service as systemd reads it, and the manual page as man draws it, both without a
# warning. Exits 77 (skipped) without systemd-analyze or groff, except in CI.
#
#     tests/install/check-service-and-manual.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if ! command -v systemd-analyze >/dev/null 2>&1 || ! command -v groff >/dev/null 2>&1; then
  echo "${CI:+failed}${CI:-skipped}: needs systemd-analyze and groff (run scripts/install-dependencies.sh)"
  [ -n "${CI:-}" ] && exit 1 || exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

# The unit names the installed program; this build's stands in for it, since systemd checks that
# the program exists. The user manager's folders are made in a fresh runtime folder.
sed "s#^ExecStart=[^ ]*#ExecStart=$build/pagewyn#" "$build/pagewyn.service" >"$scratch/pagewyn.service"
mkdir -m 0700 "$scratch/runtime"
if ! XDG_RUNTIME_DIR="$scratch/runtime" systemd-analyze verify --user --man=no "$scratch/pagewyn.service" >"$scratch/verify" 2>&1 \
  || [ -s "$scratch/verify" ]; then
  echo "FAILED: systemd-analyze verify:"; cat "$scratch/verify"; failures=$((failures + 1))
fi
grep -q '^ExecStart=/.*/pagewyn --service$' "$build/pagewyn.service" \
  || { echo "FAILED: $(grep ExecStart "$build/pagewyn.service")"; failures=$((failures + 1)); }

if ! groff -ww -z -man "$source/resources/pagewyn.1" >"$scratch/groff" 2>&1 || [ -s "$scratch/groff" ]; then
  echo "FAILED: groff -ww:"; cat "$scratch/groff"; failures=$((failures + 1))
fi
# Every option the program offers is in the manual page.
for option in $("$build/pagewyn" --help | grep -o -- '--[a-z][a-z-]*' | sort -u) \
  $("$build/pagewyn" list --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -q -- "${option//-/\\\\-}" "$source/resources/pagewyn.1" || { echo "FAILED: the manual page lacks $option"; failures=$((failures + 1)); }
done
[ $failures -eq 0 ] || exit 1
echo "the user service and the manual page read without warnings"
