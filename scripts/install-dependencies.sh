#!/usr/bin/env bash
# Installs the Debian packages Pagewyn needs to build, run, test and benchmark. Works as root or
# through sudo; does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libzip-dev libpugixml-dev libutf8proc-dev libcli11-dev nlohmann-json3-dev
  libgumbo-dev libcpp-httplib-dev libpng-dev libjpeg-dev libsqlite3-dev libqrencode-dev zlib1g-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zip unzip python3-feedparser
  file lintian groff man-db systemd
  clang libclang-rt-14-dev clang-format
  chromium fonts-lato fonts-dejavu-core fonts-liberation2 xdg-utils
  fonts-ipaexfont-gothic fonts-nanum fonts-droid-fallback fonts-noto-ui-core fonts-noto-color-emoji
)
# Books and titles in other scripts: IPAex Gothic sets Japanese (upright in vertical text as
# well), Nanum Gothic Korean (Droid Sans Fallback has no Hangul syllables), Droid Sans Fallback
# the rest of CJK, Noto UI Arabic and Devanagari, DejaVu Hebrew, and Noto the colour emoji: about
# 40 MB where the full Noto CJK and core sets take 130 MB.
# The package's checks: CPack finds the program's libraries with file and dpkg-shlibdeps, lintian
# reviews the package, groff and man draw the manual page, systemd-analyze reads the user service.
# clang with libFuzzer and the sanitizers' runtimes (libclang-rt-14-dev) builds the fuzz targets;
# clang-format checks the C++ sources' layout.
# Node.js and npm for the browser tests, from Debian unless the machine already has them.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests drive Debian's Chromium with playwright-core from the npm registry (the
# package brings no browser of its own) and check each screen with axe-core; ESLint checks the
# page's modules and the tests (scripts/check-style.sh).
e2e="$(dirname "$0")/../tests/e2e"
needed=(playwright-core axe-core eslint @eslint/js globals)
missing_modules=0
for module in "${needed[@]}"; do [ -d "$e2e/node_modules/$module" ] || missing_modules=1; done
if [ -f "$e2e/package-lock.json" ] && [ $missing_modules -eq 1 ]; then
  (cd "$e2e" && npm ci --no-audit --no-fund --loglevel=error) || echo "warning: the browser tests' npm packages could not be installed" >&2
fi
