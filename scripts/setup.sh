#!/usr/bin/env bash
# Installs with apt-get what building and testing need, and any further Debian packages named as
# arguments, where this machine lacks them; says what it installs.
set -euo pipefail
# TagLib is the reference the track-tag readers are compared with in the tests. The tests against
# real players start their own bus (dbus-daemon; dbus-send checks it) and mpv with its MPRIS
# plugin, VLC (as another user: setpriv) and Audacious; playerctl is what the benchmark compares
# with, hyperfine times both. The MPRIS player is built against sd-bus's header (libsystemd-dev)
# and loads libsystemd at run time. The HTTP library comes from Debian's source package
# (scripts/fetch-httplib.sh, which needs dpkg-source). The overlay page is tested in Debian's
# chromium, driven from Node.js by puppeteer-core.
packages=(cmake g++ make libgtest-dev libgmock-dev pkg-config libtag1-dev libsystemd-dev
  dbus-daemon dbus-bin mpv mpv-mpris vlc-bin vlc-plugin-base audacious util-linux
  playerctl hyperfine dpkg-dev chromium "$@")
command -v npm >/dev/null || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "scripts/setup.sh: installing with apt-get: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q -o DPkg::Lock::Timeout=600 \
    "${missing[@]}"
fi
"$(dirname "$0")/fetch-httplib.sh"
# puppeteer-core, at the version tests/browser/package.json names, outside the source tree.
modules=$(dirname "$0")/../.deps/browser-test
if ! cmp -s "$(dirname "$0")/../tests/browser/package.json" "$modules/package.json"; then
  echo "scripts/setup.sh: installing puppeteer-core with npm into .deps/browser-test"
  mkdir -p "$modules"
  cp "$(dirname "$0")/../tests/browser/package.json" "$modules/"
  (cd "$modules" && npm install --no-audit --no-fund --silent)
fi
