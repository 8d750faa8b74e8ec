#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need, where a fresh Debian machine
# lacks it: the MinGW-w64 cross compiler, GoogleTest's source, Wine (64-bit only) and groff, which
# renders the manual page as text for the Windows package.
set -euo pipefail
exec "$(dirname "$0")/setup.sh" g++-mingw-w64-x86-64 googletest wine wine64 groff-base
