#!/usr/bin/env bash
# Installs what is missing (scripts/setup.sh), builds and runs every test: natively, then the
# Windows build under Wine (JARVET_WINDOWS=0 leaves that out).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --preset default
if [ "${JARVET_WINDOWS:-1}" != 0 ]; then
  scripts/test-windows.sh
fi
