#!/usr/bin/env bash
# What a run's start costs: the banner, VERSION and INFO of each jarvet build given, against an
# empty process (true), side by side in each hyperfine run, against the simulated player; then
# the user-space instructions of each (callgrind).
#   scripts/bench-start.sh NAME=JARVET [NAME=JARVET...]
# The simulated player is taken from the first build's tree (simplayer/winamp.exe beside
# frontend/). JARVET_BENCH_RUNS (default 300) timed runs per command, JARVET_BENCH_ROUNDS
# (default 10) hyperfine runs; each ratio is taken within one hyperfine run, and the median over
# the runs is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${JARVET_BENCH_RUNS:-300}
rounds=${JARVET_BENCH_ROUNDS:-10}
[ $# -ge 1 ] || { echo "usage: $0 NAME=JARVET..." >&2; exit 2; }

first=${1#*=}
simplayer=$(dirname "$(dirname "$(realpath "$first")")")/simplayer/winamp.exe
[ -x "$simplayer" ] || { echo "no simulated player at $simplayer" >&2; exit 1; }

work=$(mktemp -d -t jarvet-start-XXXXXX)
player_pid=""
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export JARVET_WINDOW_DIR=$work/player/windows
mkdir -p "$JARVET_WINDOW_DIR"
ln -s "$simplayer" "$work/player/winamp.exe"
sample=$root/tests/data/id3v2/v23-utf16-lame.mp3
"$work/player/winamp.exe" --entry "$sample|245|Sample" --status playing --time 83456 \
  --bitrate 128 >/dev/null 2>&1 &
player_pid=$!
for _ in $(seq 50); do [ -S "$JARVET_WINDOW_DIR/Winamp v1.x" ] && break; sleep 0.1; done
dir=$work/player

names=(true)
commands=(true)
for named in "$@"; do
  name=${named%%=*}
  program=${named#*=}
  "$program" "$dir" INFO | grep -q "now playing" || { echo "$name: INFO wrote nothing" >&2; exit 1; }
  names+=("$name banner" "$name VERSION" "$name INFO")
  commands+=("$program" "$program $dir VERSION" "$program $dir INFO")
done

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "== $rounds hyperfine runs of $runs timed runs per command (load average $(load))"
for round in $(seq "$rounds"); do
  args=(-N --warmup 30 --runs "$runs" --style none --export-json "$work/hyperfine-$round.json")
  for i in "${!commands[@]}"; do args+=(--command-name "${names[$i]}" "${commands[$i]}"); done
  hyperfine "${args[@]}" >/dev/null 2>&1
done
echo "   (load average $(load) at the end)"
python3 - "$work"/hyperfine-*.json <<'EOF'
import json, statistics, sys
runs = [{r["command"]: r for r in json.load(open(f))["results"]} for f in sys.argv[1:]]
def median(f):
    return statistics.median(f(run) for run in runs)
def cpu(r):
    return r["user"] + r["system"]
print(f"  {'command':24} {'mean ms':>7} {'x true':>7} {'median x true':>13}"
      f" {'fastest x true':>14} {'CPU x true':>10}")
for name in runs[0]:
    print(f"  {name:24}"
          f" {median(lambda x: x[name]['mean'] * 1e3):7.3f}"
          f" {median(lambda x: x[name]['mean'] / x['true']['mean']):7.2f}"
          f" {median(lambda x: x[name]['median'] / x['true']['median']):13.2f}"
          f" {median(lambda x: x[name]['min'] / x['true']['min']):14.2f}"
          f" {median(lambda x: cpu(x[name]) / cpu(x['true'])):10.2f}")
EOF

echo
echo "== Instructions executed in user space (valgrind --tool=callgrind)"
for i in "${!commands[@]}"; do
  # shellcheck disable=SC2086 # the command's words
  valgrind --tool=callgrind --callgrind-out-file=/dev/null ${commands[$i]} 2>&1 >/dev/null |
    awk -v name="${names[$i]}" '/Collected :/ {printf "  %-24s %10d\n", name, $NF}'
done
