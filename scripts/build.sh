#!/usr/bin/env bash
# Configures and builds everything in build/. Installs nothing: scripts/setup.sh does that.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default
