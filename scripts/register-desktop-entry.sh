#!/usr/bin/env bash
# Makes this build of Pagewyn known to the desktop as a program for EPUB files: writes the desktop
# entry, pointing at build/pagewyn, into the user's applications folder and refreshes the
# desktop's list of programs by file type. Only in a desktop session; nothing happens elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${XDG_CURRENT_DESKTOP:-}" ] || exit 0
applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$applications"
program="$PWD/build/pagewyn"
sed -e "s|^Exec=pagewyn |Exec=\"$program\" |" -e "s|^TryExec=pagewyn$|TryExec=$program|" \
  resources/pagewyn.desktop > "$applications/pagewyn.desktop"
if command -v update-desktop-database > /dev/null; then
  update-desktop-database -q "$applications" || true
fi
