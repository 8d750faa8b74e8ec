#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (preset asan, in
# build-asan/) and runs every native test. A sanitizer report ends the program it caught with
# status 86 (AddressSanitizer) or 87 (UndefinedBehaviorSanitizer), so that the end-to-end tests,
# which expect 0 or 1 of jarvet, see it too. Installs clang where it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang libclang-rt-14-dev
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan
