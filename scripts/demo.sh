#!/usr/bin/env bash
# Installs what is missing (scripts/setup.sh), builds jarvet and shows it at work against the
# simulated player in a temporary directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "Building jarvet, the simulated player and the tests in build/ (a minute or two the first"
echo "time, with 2 cores; only what changed after that)..."
# The build's own progress, one line a finished target, instead of every compiler call.
cmake --preset default >/dev/null
cmake --build --preset default | grep --line-buffered -E '^\[ *[0-9]+%\] Built target' || {
  echo "The build failed; scripts/build.sh shows why." >&2
  exit 1
}
echo
root=$(pwd)
demo=$(mktemp -d /tmp/jarvet-demo-XXXXXX)
export JARVET_WINDOW_DIR="$demo/windows"
mkdir -p "$JARVET_WINDOW_DIR"
ln -s "$root/build/simplayer/winamp.exe" "$demo/winamp.exe"
cleanup() {
  "$root/build/frontend/jarvet" "$demo" CLOSE >/dev/null 2>&1 || true
  sleep 0.2
  rm -rf "$demo"
}
trap cleanup EXIT

# A text frame of an ID3v2.3 tag: id, 4 size bytes, 2 flag bytes, ISO-8859-1, the text.
frame() {
  local size=$(( ${#2} + 1 ))
  printf '%s\\x%02x\\x%02x\\x%02x\\x%02x\\x00\\x00\\x00%s' "$1" $((size >> 24 & 255)) \
    $((size >> 16 & 255)) $((size >> 8 & 255)) $((size & 255)) "$2"
}
frames=$(frame TIT2 "Song")$(frame TPE1 "The Band")$(frame TALB "First Album")$(frame TYER 2001)$(frame TRCK 2/3)
body=$(printf "$frames" | wc -c)
{ printf 'ID3\x03\x00\x00\x00\x00'
  printf "$(printf '\\x%02x\\x%02x' $((body >> 7 & 127)) $((body & 127)))$frames"
  head -c 4000 /dev/zero; } > "$demo/Song.mp3"

echo "Starting the simulated player in $demo, with three tracks, the second tagged:"
"$demo/winamp.exe" --entry "/music/Intro.mp3|95|Intro" --entry "$demo/Song.mp3|245|Song" \
  --entry "/music/Outro.mp3|180|Outro" --status playing --time 20000 --bitrate 192 \
  --journal "$demo/journal.log" &
for _ in $(seq 50); do [ -S "$JARVET_WINDOW_DIR/Winamp v1.x" ] && break; sleep 0.1; done
echo

run() {
  printf '$ jarvet %s\n' "$*"
  "$root/build/frontend/jarvet" "$demo" "$@" | tr -d '\r'
}
run
run VERSION
run SKIPTO 2
run POS
run FF 12
run SEEK 1:30
run INFO
run PAUSE
run PAUSE
run SETVOL 200
run VOLUP 3
echo "# the newer commands: UTF-8 lines, problems on standard error with an exit status"
run STATUS
run VOLUME 50%
run SHUFFLE toggle
run NOW "[{artist} - ]{title} ({position}/{length}, {format})"
run JSON
run LIST
run VOLUME 300 || echo "(exit status $?)"
echo "# the list file for ENQUEUE, written first:"
printf '#EXTM3U\r\n/music/Bonus 1.mp3\r\n/music/Bonus 2.mp3\r\n' > /tmp/winamp.m3u
run ENQUEUE '"/music" Bonus*.mp3'
run NEXT
run STOP
run CLOSE
echo
echo "What the player received:"
sed 's/^/  /' "$demo/journal.log"
