#!/usr/bin/env bash
# Builds the Debian package, pagewyn_VERSION_ARCH.deb, from a Release build of its own in
# build-release/ (installed under /usr, reading its files from there), and has lintian check it
# where lintian is installed. Prints the package's path last.
#
#     scripts/package.sh
#     sudo apt install ./build-release/pagewyn_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# Debian's hardening flags, as its own packages are built with; the build's own optimisation and
# no debugging information, which the package would strip anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
filtered() {
  dpkg-buildflags --get "$1" | tr ' ' '\n' | grep -v -e '^-g$' -e '^-O2$' -e '^-ffile-prefix-map=' | tr '\n' ' '
}
scripts/configure.sh build-release -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPAGEWYN_INSTALL_LAYOUT=ON -DPAGEWYN_TESTS=OFF -DPAGEWYN_LINK_CHECK=OFF \
  "-DCMAKE_C_FLAGS=$(filtered CPPFLAGS) $(filtered CFLAGS)" \
  "-DCMAKE_CXX_FLAGS=$(filtered CPPFLAGS) $(filtered CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(filtered LDFLAGS)"
cmake --build build-release -j2
rm -f build-release/pagewyn_*.deb
(cd build-release && cpack -G DEB >/dev/null)
package=$(ls build-release/pagewyn_*.deb)
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$package"
fi
echo "$package"
