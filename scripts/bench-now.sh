#!/usr/bin/env bash
# Measures the now-playing commands as whole runs against the simulated player: NOW and JSON on
# every format's sample beside VERSION in the same hyperfine run, the bytes each reads from its
# file, and a minute of WATCH with nothing changing (messages a poll, file reads and writes, CPU
# time). Builds the bench preset first. JARVET_BENCH_RUNS (default 200) timed runs a command;
# JARVET_WATCH_SECONDS (default 60). Results go to build-bench/bench-results/now-*.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${JARVET_BENCH_RUNS:-200}
watch_seconds=${JARVET_WATCH_SECONDS:-60}

scripts/setup.sh libbenchmark-dev hyperfine strace bc procps python3
cmake --preset bench >/dev/null
cmake --build --preset bench --target jarvet simplayer >/dev/null

build=$root/build-bench
jarvet=$build/frontend/jarvet
results=$build/bench-results
mkdir -p "$results"
work=$(realpath "$(mktemp -d -t jarvet-bench-now-XXXXXX)")
cleanup() {
  "$jarvet" "$work/player" CLOSE >/dev/null 2>&1 || true
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT

# One sample a format, the ones with a cover first.
samples=(
  flac/vorbis-comment-cover-metaflac.flac ogg/vorbis-two-artists-cover-spanning-pages-mutagen.ogg
  ogg/opus-cover-spanning-pages-opusenc.opus mp4/cover-atomicparsley.m4a mp4/moov-last-ffmpeg.m4a
  asf/picture-dword-track-mutagen.wma ape/apev2-cover-before-id3v1-mutagen.mp3
  mp3/id3v2-before-apev2-and-id3v1-kid3.mp3 id3v2/v24-utf8-cover-first-taglib.mp3
  wav/id3-chunk-mutagen.wav aiff/id3-chunk-mutagen.aiff id3v1/v11-track7-id3v2tool.mp3)
mkdir -p "$work/player/windows"
export JARVET_WINDOW_DIR=$work/player/windows
ln -s "$build/simplayer/winamp.exe" "$work/player/winamp.exe"
entries=()
for s in "${samples[@]}"; do entries+=(--entry "$root/tests/data/$s|245"); done
"$work/player/winamp.exe" --journal "$work/journal.log" "${entries[@]}" --status playing \
  --time 83456 >/dev/null 2>&1 &
for _ in $(seq 50); do [ -S "$JARVET_WINDOW_DIR/Winamp v1.x" ] && break; sleep 0.1; done
dir=$work/player

echo "== Bytes read from the playing file (strace), per sample"
for i in "${!samples[@]}"; do
  "$jarvet" "$dir" SKIPTO $((i + 1)) >/dev/null
  for command in NOW JSON; do
    bytes=$(strace -f -y -e trace=read,pread64 -o "$work/strace.txt" "$jarvet" "$dir" $command \
              >/dev/null && grep -F "<$root/tests/data/${samples[$i]}>" "$work/strace.txt" |
              sed -n 's/.*= \([0-9]\+\)$/\1/p' | paste -sd+ | bc)
    printf '  %-58s %-4s %6s bytes of %s\n' "${samples[$i]}" "$command" "${bytes:-0}" \
      "$(stat -c %s "$root/tests/data/${samples[$i]}")"
  done
done

echo
echo "== Whole runs: VERSION, NOW and JSON side by side, $runs runs each (load $(cut -d' ' -f1-3 /proc/loadavg))"
args=(-N --warmup 20 --runs "$runs" --style none --export-json "$results/now-hyperfine.json")
args+=(--command-name VERSION --prepare "$jarvet $dir SKIPTO 1" "$jarvet $dir VERSION")
for i in "${!samples[@]}"; do
  for command in NOW JSON; do
    args+=(--command-name "$command ${samples[$i]}" --prepare "$jarvet $dir SKIPTO $((i + 1))"
           "$jarvet $dir $command")
  done
done
hyperfine "${args[@]}" >/dev/null 2>"$results/now-hyperfine.log"
python3 - "$results/now-hyperfine.json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
base = results["VERSION"]
def cost(r):
    return min(r["times"])  # the fastest run: what other load adds least to
print(f"  {'command':<66} {'median ms':>9} {'min ms':>7} {'min/VERSION':>11}")
for name, r in results.items():
    print(f"  {name:<66} {r['median']*1000:9.3f} {cost(r)*1000:7.3f} {cost(r)/cost(base):11.2f}")
PY

echo
echo "== WATCH for $watch_seconds s with nothing changing"
"$jarvet" "$dir" SKIPTO 1 >/dev/null
"$jarvet" "$dir" PAUSE >/dev/null  # paused: the position stands still, the text with it
trace=$work/watch-strace.txt
strace -f -y -e trace=openat,read,pread64,write,rename -o "$trace" \
  "$jarvet" "$dir" WATCH "[{artist} - ]{title} {position}" >"$work/watch.out" &
strace_pid=$!
# File operations in the trace so far: opens, reads of a regular file, writes other than to the
# player's socket and standard output.
file_ops() {
  grep -E '^[0-9]+ +(openat|read|pread64|write|rename)\(' "$trace" |
    grep -vE '\((0|1|2)<|<(socket|pipe|anon_inode|/dev/)[^>]*>' | wc -l
}
sleep 1
watch_pid=$(pgrep -n -f "$jarvet $dir WATCH")
start_ticks=$(awk '{print $14 + $15}' "/proc/$watch_pid/stat")
start_rss=$(awk '/VmRSS/ {print $2}' "/proc/$watch_pid/status")
start_lines=$(wc -l <"$work/journal.log")
start_ops=$(file_ops)
sleep "$watch_seconds"
end_ticks=$(awk '{print $14 + $15}' "/proc/$watch_pid/stat")
end_rss=$(awk '/VmRSS/ {print $2}' "/proc/$watch_pid/status")
end_lines=$(wc -l <"$work/journal.log")
end_ops=$(file_ops)
kill "$watch_pid"
wait "$strace_pid" || true
hz=$(getconf CLK_TCK)
polls=$((watch_seconds * 2))
messages=$((end_lines - start_lines))
echo "  messages: $messages in $watch_seconds s = $(echo "scale=2; $messages / $polls" | bc) a poll (2 polls a second)"
echo "  file opens, reads and writes after the first second: $((end_ops - start_ops)) (in the first: $start_ops)"
echo "  CPU (user + system, traced): $((end_ticks - start_ticks)) ticks of 1/$hz s in $watch_seconds s"
echo "  resident memory: $start_rss kB after 1 s, $end_rss kB at the end"
echo "  lines written: $(wc -l <"$work/watch.out")"

echo
echo "== WATCH again without strace, CPU only"
"$jarvet" "$dir" WATCH "[{artist} - ]{title} {position}" >/dev/null &
sleep 1
watch_pid=$!
start_ticks=$(awk '{print $14 + $15}' "/proc/$watch_pid/stat")
sleep "$watch_seconds"
end_ticks=$(awk '{print $14 + $15}' "/proc/$watch_pid/stat")
kill "$watch_pid"
echo "  CPU: $((end_ticks - start_ticks)) ticks of 1/$hz s in $watch_seconds s =" \
  "$(echo "scale=4; 100 * ($end_ticks - $start_ticks) / $hz / $watch_seconds" | bc) % of one core"
