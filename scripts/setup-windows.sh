#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need, where a fresh Debian machine
# lacks it: the MinGW-w64 cross compiler, GoogleTest's source and Wine (64-bit only).
set -euo pipefail
exec "$(dirname "$0")/setup.sh" g++-mingw-w64-x86-64 googletest wine wine64
