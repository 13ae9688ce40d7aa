#!/usr/bin/env bash
# Makes the Debian package from a build folder with CPack and checks what a person installing it
# gets: its control fields, every file it installs, and nothing outside /usr. Exits 77 (skipped)
# without dpkg-deb, except in CI.
#
#     tests/install/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
if ! command -v dpkg-deb >/dev/null 2>&1 || ! command -v dpkg-shlibdeps >/dev/null 2>&1; then
  echo "${CI:+failed}${CI:-skipped}: needs dpkg-deb and dpkg-shlibdeps (run scripts/install-dependencies.sh)"
  [ -n "${CI:-}" ] && exit 1 || exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$scratch" -G DEB >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }
version=$("$build/pagewyn" --version | awk '{ print $NF }')
package="$scratch/pagewyn_${version}_$(dpkg --print-architecture).deb"
[ -f "$package" ] || { ls "$scratch"; fail "no package named $(basename "$package")"; exit 1; }

field() { dpkg-deb -f "$package" "$1"; }
[ "$(field Package)" = pagewyn ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the program says $version"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Section)" = text ] || fail "Section: $(field Section)"
# The libraries come from the program itself, the faces by name.
# Fields are read whole before they are searched: grep -q ends at its first match, and under
# pipefail the writer it leaves behind fails the pipe with SIGPIPE when it is still writing.
depends=$(field Depends | tr "," "\n")
for needed in libc6 libstdc++6 libsqlite3-0 libqrencode4 libpugixml1v5 libutf8proc2 libgumbo1 libcpp-httplib fonts-lato fonts-dejavu-core; do
  grep -q "^ *$needed" <<<"$depends" || fail "Depends lacks $needed: $(field Depends)"
done
[[ "$(field Description)" == *EPUB* ]] || fail "Description: $(field Description)"

dpkg-deb -c "$package" | awk '{ print $NF }' | sed 's#^\./#/#' | sort >"$scratch/files"
for expected in /usr/bin/pagewyn /usr/share/pagewyn/web/index.html /usr/share/pagewyn/web/app.js \
  /usr/share/pagewyn/resources/Info.json /usr/share/pagewyn/resources/Main.interface.json \
  /usr/share/pagewyn/resources/images/ /usr/share/applications/pagewyn.desktop \
  /usr/share/icons/hicolor/scalable/apps/pagewyn.svg /usr/share/man/man1/pagewyn.1.gz \
  /usr/lib/systemd/user/pagewyn.service /usr/share/doc/pagewyn/copyright /usr/share/doc/pagewyn/changelog.gz; do
  grep -qx "$expected" "$scratch/files" || fail "the package lacks $expected"
done
outside=$(grep -v -e '^/$' -e '^/usr/' "$scratch/files" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
# Only the program is installed, none of the tests' or benchmarks' programs.
programs=$(grep '^/usr/bin/.' "$scratch/files" || true)
[ "$programs" = /usr/bin/pagewyn ] || fail "programs: $programs"
dpkg-deb -c "$package" | awk '$1 ~ /^-/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x" { print }' >"$scratch/modes"
[ ! -s "$scratch/modes" ] || fail "files with odd modes: $(cat "$scratch/modes")"

[ $failures -eq 0 ] || exit 1
echo "the package $(basename "$package") holds $(wc -l <"$scratch/files") entries, as expected"
