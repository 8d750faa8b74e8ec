#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz, in build-fuzz/) and runs each in turn, from its
# corpus in build-fuzz/corpus/, which keeps growing from run to run.
#
#   scripts/fuzz.sh                 # every target for 60 seconds
#   scripts/fuzz.sh -t 600 fuzz_id3v2
#   scripts/fuzz.sh -r 10000000     # a number of executions instead of a time
#
# A finding is kept in build-fuzz/artifacts/<target>/ and makes the script fail; the log of each
# run is build-fuzz/logs/<target>.log. Installs clang and libFuzzer where they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
runs=""
while getopts "t:r:h" option; do
  case $option in
    t) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) sed -n '2,11s/^# \{0,1\}//p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_id3v2 fuzz_id3v1 fuzz_tracktags fuzz_playlist fuzz_frontend
  fuzz_template fuzz_mpris)

scripts/setup.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"

build=$PWD/build-fuzz
fuzz/make-corpora.sh "$build/seeds"
if [ -n "$runs" ]; then limit=(-runs="$runs"); else limit=(-max_total_time="$seconds"); fi
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  dict="$PWD/fuzz/${target#fuzz_}.dict"
  echo "== $target"
  # The seeds join the corpus each time; libFuzzer adds to the first directory only.
  if "$build/fuzz/$target" "${limit[@]}" -dict="$dict" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "$build/seeds/$target" >"$build/logs/$target.log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$build/logs/$target.log" | tail -1
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
      "$build/logs/$target.log" | tr '\n' ' '
    echo
  else
    tail -40 "$build/logs/$target.log"
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "findings in: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
