#!/usr/bin/env bash
# Measures SERVE against the simulated player (its position moving with the clock): how soon a
# change reaches an event-stream viewer (100 changes), its CPU time and memory over a quiet
# minute with one viewer, and /now.json requests a second with wrk and 8 clients, counting the
# messages the player received meanwhile. Builds the bench preset first. JARVET_IDLE_SECONDS
# (default 60), JARVET_CHANGES (default 100). Results go to build-bench/bench-results/serve-*.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
idle_seconds=${JARVET_IDLE_SECONDS:-60}
changes=${JARVET_CHANGES:-100}

scripts/setup.sh wrk procps python3
cmake --preset bench >/dev/null
cmake --build --preset bench --target jarvet simplayer >/dev/null

build=$root/build-bench
jarvet=$build/frontend/jarvet
results=$build/bench-results
mkdir -p "$results"
work=$(realpath "$(mktemp -d -t jarvet-bench-serve-XXXXXX)")
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  "$jarvet" "$work/player" CLOSE >/dev/null 2>&1 || true
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/player/windows"
export JARVET_WINDOW_DIR=$work/player/windows
ln -s "$build/simplayer/winamp.exe" "$work/player/winamp.exe"
"$work/player/winamp.exe" --journal "$work/journal.log" --clock --status playing \
  --entry "$root/tests/data/flac/vorbis-comment-cover-metaflac.flac|245" \
  --entry "$root/tests/data/ogg/opus-cover-spanning-pages-opusenc.opus|245" >/dev/null 2>&1 &
for _ in $(seq 50); do [ -S "$JARVET_WINDOW_DIR/Winamp v1.x" ] && break; sleep 0.1; done
dir=$work/player
port=$((20000 + $$ % 20000))
JARVET_TOKEN=bench "$jarvet" "$dir" SERVE $port 2>"$work/serve.err" &
server=$!
for _ in $(seq 50); do grep -q serving "$work/serve.err" 2>/dev/null && break; sleep 0.1; done
echo "SERVE: $(cat /proc/$server/cmdline | tr '\0' ' ')"
grep -m1 'model name' /proc/cpuinfo | sed 's/.*: /CPU: /'
echo "cores: $(nproc); load before: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$port" "$jarvet" "$dir" "$changes" "$idle_seconds" "$server" "$work/journal.log" \
  <<'PYTHON' | tee "$results/serve-events.txt"
import random, socket, statistics, subprocess, sys, time
port, jarvet, directory, changes, idle, pid, journal = sys.argv[1:]
changes, idle = int(changes), int(idle)
viewer = socket.create_connection(("127.0.0.1", int(port)))
viewer.sendall(b"GET /events HTTP/1.1\r\nHost: localhost\r\n\r\n")
viewer.settimeout(5)
pending = b""
def next_event():
    global pending
    while b"}\n\n" not in pending:
        pending += viewer.recv(65536)
    event, _, pending = pending.partition(b"}\n\n")
    return event
next_event()  # the state at connection
latencies = []
for i in range(changes):
    time.sleep(random.uniform(0.3, 0.55))  # a change at any moment of the poll
    start = time.monotonic()
    subprocess.run([jarvet, directory, "NEXT" if i % 2 == 0 else "PREV"], check=True,
                   stdout=subprocess.DEVNULL)
    next_event()
    latencies.append((time.monotonic() - start) * 1000)
latencies.sort()
print(f"== A change reaching an event-stream viewer, {changes} changes (NEXT/PREV runs), ms")
print(f"median {statistics.median(latencies):.0f}, 90th {latencies[int(0.9 * len(latencies))]:.0f},"
      f" max {latencies[-1]:.0f}, min {latencies[0]:.0f}")

def cpu_seconds():
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / 100  # utime + stime, in ticks of 10 ms
def rss_kib():
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
def messages():
    return sum(1 for _ in open(journal))
time.sleep(2)
cpu0, rss0, msg0, t0 = cpu_seconds(), rss_kib(), messages(), time.monotonic()
samples = [rss0]
while time.monotonic() - t0 < idle:
    time.sleep(idle / 6)
    samples.append(rss_kib())
    try:
        viewer.settimeout(0)
        pending += viewer.recv(65536)
    except BlockingIOError:
        pass
elapsed = time.monotonic() - t0
cpu = cpu_seconds() - cpu0
print(f"== Quiet, one viewer, {elapsed:.0f} s")
print(f"CPU {cpu:.2f} s = {100 * cpu / elapsed:.3f} % of one core; "
      f"resident KiB over time: {' '.join(map(str, samples))}; "
      f"player messages {(messages() - msg0) / elapsed:.1f} a second")
PYTHON

echo "== /now.json with wrk, 8 connections, 8 threads, 10 s" | tee "$results/serve-wrk.txt"
before=$(wc -l <"$work/journal.log")
sleep 10
quiet=$(( $(wc -l <"$work/journal.log") - before ))
before=$(wc -l <"$work/journal.log")
wrk -t8 -c8 -d10s "http://127.0.0.1:$port/now.json" | tee -a "$results/serve-wrk.txt"
busy=$(( $(wc -l <"$work/journal.log") - before ))
echo "player messages in 10 s: $quiet without requests, $busy during wrk" |
  tee -a "$results/serve-wrk.txt"
