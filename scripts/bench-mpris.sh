#!/usr/bin/env bash
# Measures jarvet against playerctl on one real mpv (with its MPRIS plugin) on a private bus:
# STATUS, NOW and JSON beside playerctl's status, formatted metadata and metadata in one
# hyperfine run, then a minute of WATCH on the unchanged paused mpv: the D-Bus method calls
# jarvet's connection makes (dbus-monitor) and the files it opens or reads (strace) after its
# first second. Builds the bench preset first. JARVET_BENCH_RUNS (default 200) timed runs a
# command; JARVET_WATCH_SECONDS (default 60). Results go to build-bench/bench-results/mpris-*.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${JARVET_BENCH_RUNS:-200}
watch_seconds=${JARVET_WATCH_SECONDS:-60}

scripts/setup.sh hyperfine strace playerctl mpv mpv-mpris dbus-daemon dbus-bin python3
cmake --preset bench >/dev/null
cmake --build --preset bench --target jarvet >/dev/null

build=$root/build-bench
jarvet=$build/frontend/jarvet
results=$build/bench-results
mkdir -p "$results"
work=$(realpath "$(mktemp -d -t jarvet-bench-mpris-XXXXXX)")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A bus of our own, so that nothing else on it is measured or disturbed.
cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork >/dev/null 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
bus_call() {
  dbus-send --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    "org.freedesktop.DBus.$1" "${@:2}"
}
for _ in $(seq 100); do bus_call ListNames >/dev/null 2>&1 && break; sleep 0.05; done

# mpv paused 5 s into a tagged track, with a home of its own (no user configuration).
mkdir -p "$work/home"
cp tests/data/players/first-cover-ffmpeg.mp3 tests/data/players/second-ffmpeg.mp3 "$work/"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config mpv --idle=yes --no-video --ao=null \
  --no-terminal --pause=yes --start=5 "$work/first-cover-ffmpeg.mp3" "$work/second-ffmpeg.mp3" \
  >"$work/mpv.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  bus_call NameHasOwner string:org.mpris.MediaPlayer2.mpv 2>/dev/null | grep -q true && break
  sleep 0.1
done
sleep 0.5  # the track loaded

"$jarvet" mpv STATUS >/dev/null || { echo "jarvet does not reach mpv: nothing to compare" >&2; exit 1; }
echo "== What each prints"
show() { printf '  %s\n' "$*"; "$@" 2>&1 | tr -d '\r' | sed 's/^/    /'; }
show "$jarvet" mpv STATUS
show playerctl -p mpv status
show "$jarvet" mpv NOW
show playerctl -p mpv metadata --format '{{artist}} - {{title}}'
show "$jarvet" mpv JSON
show playerctl -p mpv metadata

echo
echo "== Side by side, $runs runs each (load $(cut -d' ' -f1-3 /proc/loadavg))"
hyperfine -N --warmup 20 --runs "$runs" --style none --export-json "$results/mpris-hyperfine.json" \
  --command-name "jarvet mpv STATUS" "$jarvet mpv STATUS" \
  --command-name "playerctl -p mpv status" "playerctl -p mpv status" \
  --command-name "jarvet mpv NOW" "$jarvet mpv NOW" \
  --command-name "playerctl -p mpv metadata --format '{{artist}} - {{title}}'" \
  "playerctl -p mpv metadata --format '{{artist}} - {{title}}'" \
  --command-name "jarvet mpv JSON" "$jarvet mpv JSON" \
  --command-name "playerctl -p mpv metadata" "playerctl -p mpv metadata" \
  >/dev/null 2>"$results/mpris-hyperfine.log"
python3 - "$results/mpris-hyperfine.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
# Wall time, and the CPU time (user + system) that other load on the machine disturbs less.
for r in results:
    r["min"] = min(r["times"])
    r["cpu"] = r["user"] + r["system"]
print(f"  {'command':<62} {'mean ms':>8} {'median ms':>9} {'min ms':>7} {'CPU ms':>7}")
for r in results:
    print(f"  {r['command']:<62} {r['mean']*1000:8.3f} {r['median']*1000:9.3f} "
          f"{r['min']*1000:7.3f} {r['cpu']*1000:7.3f}")
print()
targets = {"STATUS": 0.5, "NOW": 0.5, "JSON": 0.6}
for i, (name, target) in enumerate(targets.items()):
    ours, theirs = results[2 * i], results[2 * i + 1]
    ratios = "  ".join(f"{m} {ours[m] / theirs[m]:.2f}" for m in ("mean", "median", "min", "cpu"))
    print(f"  {name:<6} jarvet / playerctl: {ratios}  (target {target})")
PY

monitor=$work/monitor.txt
dbus-monitor "type='method_call'" >"$monitor" 2>&1 &
pids+=($!)
sleep 0.5
# Nothing else calls on this bus meanwhile: every call seen during a run is the run's (and the
# bus's own answers are no calls).
echo
echo "== D-Bus method calls a run makes"
count_calls() {
  local before after
  before=$(grep -c "^method call" "$monitor" || true)
  "$@" >/dev/null
  sleep 0.3
  after=$(grep -c "^method call" "$monitor" || true)
  printf '  %-62s %3d\n' "${*/$build\//}" $((after - before))
}
count_calls "$jarvet" mpv STATUS
count_calls playerctl -p mpv status
count_calls "$jarvet" mpv NOW
count_calls playerctl -p mpv metadata --format '{{artist}} - {{title}}'
count_calls "$jarvet" mpv JSON
count_calls playerctl -p mpv metadata

echo
echo "== WATCH for $watch_seconds s on the paused mpv"
trace=$work/watch-strace.txt
strace -f -y -e trace=openat,read,pread64,readv -o "$trace" \
  "$jarvet" mpv WATCH "[{artist} - ]{title} {position}" >"$work/watch.out" &
strace_pid=$!
pids+=($strace_pid)
# Opens, and reads of anything but a socket, a pipe or standard input.
file_ops() {
  grep -E '^[0-9]+ +(openat|read|pread64|readv)\(' "$trace" |
    grep -vE '\(0<|<(socket|pipe|anon_inode|/dev/)[^>]*>' | wc -l
}
sleep 1
watch_pid=$(pgrep -n -f "^$jarvet mpv WATCH")
# jarvet's connection on the bus: the unique name whose process it is.
sender=""
for name in $(bus_call ListNames | tr -s ' []' '\n' | grep '^:'); do
  # A monitor's own connection answers no questions.
  pid=$(bus_call GetConnectionUnixProcessID "string:$name" 2>/dev/null | awk '{print $2}' || true)
  [ "$pid" = "$watch_pid" ] && sender=$name
done
if [ -z "$sender" ]; then
  echo "  jarvet's connection was not found on the bus" >&2
  exit 1
fi
calls() { grep -c "method call .* sender=$sender " "$monitor" || true; }
start_calls=$(calls)
start_ops=$(file_ops)
sleep "$watch_seconds"
end_calls=$(calls)
end_ops=$(file_ops)
kill "$watch_pid"
wait "$strace_pid" || true
echo "  jarvet's connection: $sender"
echo "  D-Bus method calls from it: $start_calls in the first second, $((end_calls - start_calls)) after"
echo "  file opens and reads: $start_ops in the first second, $((end_ops - start_ops)) after"
echo "  lines written: $(wc -l <"$work/watch.out")"
grep "method call .* sender=$sender " "$monitor" | sed 's/^.*member=/    member=/' | sort |
  uniq -c | sed 's/^/  /'
