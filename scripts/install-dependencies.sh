#!/usr/bin/env bash
# Installs the Debian packages Pagewyn needs to build, run, test and benchmark. Works as root or
# through sudo; does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libzip-dev libpugixml-dev libutf8proc-dev libcli11-dev nlohmann-json3-dev
  libgumbo-dev libcpp-httplib-dev libpng-dev libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zip unzip
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
