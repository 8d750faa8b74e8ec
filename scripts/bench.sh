#!/usr/bin/env bash
# Builds the benchmarks (preset bench, in build-bench/) and runs them, then measures whole runs
# of jarvet against the simulated player: time beside an empty process in the same hyperfine
# run, peak memory, and the bytes the tag readers read from each sample file.
# JARVET_BENCH_RUNS (default 100) timed runs per command, JARVET_BENCH_ROUNDS (default 10)
# hyperfine runs in a row. The player directory and the samples go under $TMPDIR (else /tmp).
# Results also go to build-bench/bench-results/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${JARVET_BENCH_RUNS:-100}
rounds=${JARVET_BENCH_ROUNDS:-10}

scripts/setup.sh libbenchmark-dev hyperfine strace time valgrind python3
cmake --preset bench >/dev/null
cmake --build --preset bench

build=$root/build-bench
jarvet=$build/frontend/jarvet
results=$build/bench-results
mkdir -p "$results"
rm -f "$results"/hyperfine-*

# The same program linked against the shared C and C++ runtimes, to show what linking costs.
cmake -S . -B "$build/dynamic" -DCMAKE_BUILD_TYPE=Release -DJARVET_BUILD_TESTS=OFF \
  -DJARVET_STATIC_PROGRAM=OFF >/dev/null
cmake --build "$build/dynamic" --target jarvet -j 2 >/dev/null
dynamic=$build/dynamic/frontend/jarvet
work=$(realpath "$(mktemp -d -t jarvet-bench-XXXXXX)")  # as strace -y shows paths
player_pid=""
cleanup() {
  if [ -n "$player_pid" ]; then
    "$jarvet" "$work/player" CLOSE >/dev/null 2>&1 || true
    for _ in $(seq 20); do kill -0 "$player_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$player_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

load() { cut -d' ' -f1-3 /proc/loadavg; }

echo "== Google Benchmark (load average $(load))"
"$build/bench/jarvet_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/benchmarks.json" --benchmark_out_format=json

# The sample files, and beside each the most bytes INFO should read from it.
mkdir -p "$work/files"
"$build/bench/jarvet_sample_files" "$work/files" >"$work/samples.tsv"
mapfile -t samples < <(cut -f1 "$work/samples.tsv")

# One simulated player whose playlist holds every sample; SKIPTO picks the one INFO reads.
export JARVET_WINDOW_DIR=$work/player/windows
mkdir -p "$JARVET_WINDOW_DIR"
ln -s "$build/simplayer/winamp.exe" "$work/player/winamp.exe"
entries=()
for s in "${samples[@]}"; do entries+=(--entry "$s|245|$(basename "$s")"); done
"$work/player/winamp.exe" "${entries[@]}" --status playing --time 83456 --bitrate 128 \
  >/dev/null 2>&1 &
player_pid=$!
for _ in $(seq 50); do [ -S "$JARVET_WINDOW_DIR/Winamp v1.x" ] && break; sleep 0.1; done
[ -S "$JARVET_WINDOW_DIR/Winamp v1.x" ] || { echo "the simulated player did not start" >&2; exit 1; }

dir=$work/player
skipto() { "$jarvet" "$dir" SKIPTO "$1" >/dev/null; }
# The playlist track (from 1) of a sample, by its file name.
track_of() {
  local i
  for i in "${!samples[@]}"; do
    [ "$(basename "${samples[$i]}")" = "$1" ] && { echo $((i + 1)); return; }
  done
  echo "no sample $1" >&2
  exit 1
}

# Each line of INFO must be the sample's, or the run measured something else.
for i in "${!samples[@]}"; do
  skipto $((i + 1))
  line=$("$jarvet" "$dir" INFO | tr -d '\r')
  case "$line" in
    "Winamp now playing: 3. Evening Song"*) ;;
    *) echo "INFO on $(basename "${samples[$i]}") wrote: $line" >&2; exit 1 ;;
  esac
done

# Names and commands side by side; every command is preceded by a SKIPTO run, so that each
# timed run follows the same kind of process start.
names=(true banner VERSION)
commands=(true "$jarvet" "$jarvet $dir VERSION")
prepares=("$jarvet $dir SKIPTO 1" "$jarvet $dir SKIPTO 1" "$jarvet $dir SKIPTO 1")
for i in "${!samples[@]}"; do
  names+=("INFO $(basename "${samples[$i]}")")
  commands+=("$jarvet $dir INFO")
  prepares+=("$jarvet $dir SKIPTO $((i + 1))")
done
names+=("banner, shared runtimes" "VERSION, shared runtimes" "INFO v23-typical, shared runtimes")
commands+=("$dynamic" "$dynamic $dir VERSION" "$dynamic $dir INFO")
typical=$(track_of v23-typical.mp3)
prepares+=("$jarvet $dir SKIPTO 1" "$jarvet $dir SKIPTO 1" "$jarvet $dir SKIPTO $typical")

echo
echo "== Whole runs: $rounds hyperfine runs of $runs timed runs per command"
for round in $(seq "$rounds"); do
  args=(-N --warmup 20 --runs "$runs" --style none --export-json "$results/hyperfine-$round.json")
  for i in "${!commands[@]}"; do
    args+=(--command-name "${names[$i]}" --prepare "${prepares[$i]}" "${commands[$i]}")
  done
  before=$(load)
  hyperfine "${args[@]}" >/dev/null 2>"$results/hyperfine-$round.log"
  echo "  run $round: load average $before before, $(load) after"
done
# Ratios are taken within each hyperfine run, and the median over the runs is shown: the load
# of other programs changes from run to run more than within one. The fastest runs are what
# that load adds least to; CPU is user and system time of the measured process alone.
python3 - "$results"/hyperfine-*.json <<'EOF'
import json, statistics, sys
runs = [{r["command"]: r for r in json.load(open(f))["results"]} for f in sys.argv[1:]]
def median(f):
    return statistics.median(f(run) for run in runs)
def cpu(r):
    return r["user"] + r["system"]
print(f"  {'command':36} {'mean ms':>7} {'x true':>7} {'x VERSION':>9}"
      f" {'fastest x true':>14} {'x VERSION':>9} {'CPU ms':>7} {'x VERSION':>9}")
for name in runs[0]:
    print(f"  {name:36}"
          f" {median(lambda x: x[name]['mean'] * 1e3):7.2f}"
          f" {median(lambda x: x[name]['mean'] / x['true']['mean']):7.2f}"
          f" {median(lambda x: x[name]['mean'] / x['VERSION']['mean']):9.2f}"
          f" {median(lambda x: x[name]['min'] / x['true']['min']):14.2f}"
          f" {median(lambda x: x[name]['min'] / x['VERSION']['min']):9.2f}"
          f" {median(lambda x: cpu(x[name]) * 1e3):7.2f}"
          f" {median(lambda x: cpu(x[name]) / cpu(x['VERSION'])):9.2f}")
EOF

echo
echo "== Peak memory (maximum resident set size of 5 runs, /usr/bin/time -v)"
# peak NAME TRACK COMMAND...: TRACK is SKIPTO's argument before each run, or - for none.
peak() {
  local name=$1 track=$2 most=0 kb
  shift 2
  for _ in 1 2 3 4 5; do
    [ "$track" = - ] || skipto "$track"
    kb=$(/usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}')
    [ "$kb" -gt "$most" ] && most=$kb
  done
  printf '  %-42s %6d KB\n' "$name" "$most"
}
peak true - true
peak banner - "$jarvet"
peak VERSION - "$jarvet" "$dir" VERSION
for i in "${!samples[@]}"; do
  peak "INFO $(basename "${samples[$i]}")" $((i + 1)) "$jarvet" "$dir" INFO
done
peak "banner, shared runtimes" - "$dynamic"
peak "VERSION, shared runtimes" - "$dynamic" "$dir" VERSION
peak "INFO v23-typical, shared runtimes" "$(track_of v23-typical.mp3)" "$dynamic" "$dir" INFO

echo
echo "== Bytes read from the sample file by one INFO run (strace -e trace=read,pread64)"
printf '  %-32s %10s %6s %8s %6s  %s\n' file size reads bytes bound within
while IFS=$'\t' read -r sample bound; do
  skipto "$(track_of "$(basename "$sample")")"
  strace -y -e trace=read,pread64 -o "$work/trace" "$jarvet" "$dir" INFO >/dev/null
  # -y shows each descriptor's path: read(4</path>, ..., 500) = 500
  read -r count bytes < <(awk -v path="$sample" '
    index($0, "<" path ">,") && $NF ~ /^[0-9]+$/ { n++; sum += $NF }
    END { print n + 0, sum + 0 }' "$work/trace")
  within=no
  [ "$bytes" -le "$bound" ] && within=yes
  printf '  %-32s %10d %6d %8d %6d  %s\n' "$(basename "$sample")" "$(stat -c %s "$sample")" \
    "$count" "$bytes" "$bound" "$within"
done <"$work/samples.tsv"

echo
echo "== Instructions executed in user space (valgrind --tool=callgrind), which load does not change"
count() {
  local name=$1 track=$2
  shift 2
  [ "$track" = - ] || skipto "$track"
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk -v name="$name" '/Collected :/ {printf "  %-42s %10d\n", name, $NF}'
}
count true - true
count banner - "$jarvet"
count VERSION - "$jarvet" "$dir" VERSION
count "INFO v23-typical.mp3" "$(track_of v23-typical.mp3)" "$jarvet" "$dir" INFO
count "INFO v11-only-1kb.mp3" "$(track_of v11-only-1kb.mp3)" "$jarvet" "$dir" INFO
count "banner, shared runtimes" - "$dynamic"
count "VERSION, shared runtimes" - "$dynamic" "$dir" VERSION
count "INFO v23-typical, shared runtimes" "$(track_of v23-typical.mp3)" "$dynamic" "$dir" INFO
