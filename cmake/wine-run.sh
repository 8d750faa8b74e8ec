#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix: wine-run.sh PREFIX [PROGRAM ARGS...]
# Makes the prefix on first use (no X server, the null graphics driver, no debug output) and
# keeps one Wine server running meanwhile, so that each program starts in a fraction of a second.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
export LC_ALL=C.UTF-8  # Wine takes its ANSI code page from the locale: 1252, as English Windows

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -e "$prefix/.jarvet-ready" ]; then
  wine wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 9>&-
  wineserver --wait 9>&-
  touch "$prefix/.jarvet-ready"
fi
# The server stays 30 s after its last program. It fails when one runs already; otherwise Wine's
# services start now, so that they hold neither the lock nor a caller's output open.
if wineserver -p30 </dev/null >/dev/null 2>&1 9>&-; then
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
exec 9>&-

[ $# -gt 0 ] || exit 0
# Through a file, not a pipe: helpers that Wine starts meanwhile (its desktop, a player the
# program started) inherit the output and would keep a pipe open after the program has ended.
# Windows programs end their lines with CR LF; ctest and its test discovery read LF.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
wine "$@" >"$output" 2>&1 || status=$?
tr -d '\r' <"$output"
exit $status
