#!/usr/bin/env bash
# Installs what is needed, builds, and starts Pagewyn on its default library. Arguments are
# passed on to the program (for instance --documents DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-dependencies.sh
scripts/build.sh
scripts/register-desktop-entry.sh
exec build/pagewyn "$@"
