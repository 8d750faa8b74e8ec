#!/usr/bin/env bash
# Builds the Windows programs in build-windows/ and runs every test as a Windows program under
# Wine, in a prefix of the build's own (made on first use; no X server needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-windows.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
prefix=$(pwd)/build-windows/wine-prefix
cmake/wine-run.sh "$prefix"  # the prefix and its server, before the clock of the first test
status=0
ctest --preset windows || status=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
exit $status
