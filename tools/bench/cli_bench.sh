#!/usr/bin/env bash
# make bench, quorvane-cli part, side by side in one run:
#   - provision of 32 virtual devices that take 100 ms before each reply,
#     --jobs 32 against --jobs 1, with the process's peak threads, resident
#     memory and descriptors during the 32-port run;
#   - provision of 8 devices that answer at once, --jobs 8 against --jobs 1;
#   - ports --probe over 32 ports, 8 answering and 24 silent, --timeout 1000;
#   - provision of one device and of 32 at the line's speed (--line-speed):
#     one device's row against its bytes' time on the wire, the rack against
#     one device's row, each from the ports' opening to their closing;
#   - `quorvane-cli show` against show_peer.py (python3-serial, the same two
#     requests), process start included.
#
#   cli_bench.sh NATIVE_BUILD_DIR
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../wine/lib.sh"
build=$(cd "${1:?native build dir}" && pwd)
cli=$build/quorvane-cli
work=$(mktemp -d /tmp/qv-cli-bench.XXXXXX)
qv_on_exit "rm -rf '$work'"

start_devices() {   # start_devices TAG COUNT DEVICE_OPTIONS...: devices at $work/TAG1..COUNT, and TAG.csv
  local tag=$1 count=$2 n; shift 2
  for ((n = 1; n <= count; n++)); do
    "$build/quorvane-device" --link "$work/$tag$n" --frames-log "$work/$tag$n.frames" --quiet "$@" >/dev/null &
    qv_on_exit "kill $! 2>/dev/null"
  done
  for ((n = 1; n <= count; n++)); do qv_wait_for "$work/$tag$n" 10; done
  { echo "port,mode,ip,mask,gateway,password"
    for ((n = 1; n <= count; n++)); do echo "$work/$tag$n,static,10.0.$n.1,255.255.255.0,10.0.$n.254,pw$n"; done
  } >"$work/$tag.csv"
}

ms() { echo $(($(date +%s%N) / 1000000)); }

best_of() {   # best_of N CMD...: the shortest of N runs, in ms (QUIET=S: S seconds' pause before each)
  local n=$1 best=999999 t0 t; shift
  for ((i = 0; i < n; i++)); do
    sleep "${QUIET:-0}"
    t0=$(ms); "$@" >/dev/null || true; t=$(($(ms) - t0))
    ((t < best)) && best=$t
  done
  echo "$best"
}

median_of() {   # median_of N CMD...: median wall time of N runs, in ms (1 decimal)
  local n=$1; shift
  local times=() t0
  for ((i = 0; i < n; i++)); do
    t0=$(date +%s%N); "$@" >/dev/null; times+=($(($(date +%s%N) - t0)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v n="$n" 'NR == int((n + 1) / 2) { printf "%.1f", $1 / 1e6 }'
}

# Peak threads, resident memory and descriptors of a command while it runs,
# read from /proc every 10 ms.
peak_of() {
  "$@" >/dev/null &
  local pid=$! threads=0 rss=0 fds=0 t r f
  # The process may end between two reads: a read that fails counts 0.
  while kill -0 "$pid" 2>/dev/null; do
    t=$( (ls "/proc/$pid/task" 2>/dev/null || true) | wc -l)
    r=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    f=$( (ls "/proc/$pid/fd" 2>/dev/null || true) | wc -l)
    ((t > threads)) && threads=$t
    ((${r:-0} > rss)) && rss=${r:-0}
    ((f > fds)) && fds=$f
    sleep 0.01
  done
  wait "$pid" || true
  echo "$threads $rss $fds"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

echo "quorvane-cli provision, all in one process:"
# --force: from the second run on, every unit already holds its row's
# settings, and an unchanged unit is not written to.
start_devices slow 32 --delay 100
# A row stops reading ifconfig's answer at the MAC, but the device goes on
# sending the rest, one line each 100 ms, for 1.5 s, and answers nothing else
# meanwhile. Each timed run starts with the devices quiet again.
export QUIET=2
one=$(best_of 1 "$cli" provision --force "$work/slow.csv" --jobs 1)
all=$(best_of 3 "$cli" provision --force "$work/slow.csv" --jobs 32)
echo "  32 devices, 100 ms before each reply: --jobs 1 ${one} ms, --jobs 32 ${all} ms, $(ratio "$one" "$all")x faster (goal 25x)"
sleep "$QUIET"
read -r threads rss fds < <(peak_of "$cli" provision --force "$work/slow.csv" --jobs 32)
echo "  during the 32-port run: at most $threads threads, $rss KiB resident, $fds descriptors"
logged=$(best_of 1 "$cli" provision --force "$work/slow.csv" --jobs 32 --log "$work/rack.log")
python3 - "$work/rack.log" "$logged" <<'PY'
import json, sys
records = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
claims = sum("claimed_ip" in r for r in records)   # each row claims its address before it writes
print(f"  with --log: {sys.argv[2]} ms; {len(records)} lines, all whole ({claims} claims), "
      f"{sum(bool(r['mac']) for r in records)} with a MAC")
PY
export QUIET=0
start_devices fast 8
one=$(best_of 3 "$cli" provision --force "$work/fast.csv" --jobs 1)
eight=$(best_of 3 "$cli" provision --force "$work/fast.csv" --jobs 8)
echo "  8 devices answering at once: --jobs 1 ${one} ms, --jobs 8 ${eight} ms, $(ratio "$one" "$eight")x faster"

echo "quorvane-cli ports --probe, 8 ports answering and 24 silent, --timeout 1000:"
start_devices quiet 24 --silent
ports=()
for n in 1 2 3 4 5 6 7 8; do ports+=(-p "$work/fast$n"); done
for n in $(seq 1 24); do ports+=(-p "$work/quiet$n"); done
probe=$(best_of 3 "$cli" --timeout 1000 ports --probe "${ports[@]}")
echo "  32 ports: ${probe} ms (goal 1300 ms)"

echo "quorvane-cli provision at the line's speed (115200 8N1, 86.8 µs a byte each way), process start left out:"
start_devices line 32 --line-speed
head -n 2 "$work/line.csv" >"$work/line-one.csv"
# --force: after the first run the units already hold the sheet's settings.
line_run() {   # line_run SHEET TRACE: one provision; line_figures.py reads its report and leaves out a run that failed
  "$cli" provision --force "$1" --trace "$2" --report "$2.json" >/dev/null || true
}
# Each run starts with the devices quiet: the rest of the last run's
# ifconfig answer sent, the machine's time theirs no longer.
for run in 1 2 3 4 5 6 7; do
  sleep 0.3
  line_run "$work/line-one.csv" "$work/one.$run"
done
python3 "$HERE/line_figures.py" one "$work/line1.frames" "$work"/one.*.line2 | tee "$work/one.txt" | grep -v '^ONE_ROW_MS='
for run in 1 2 3 4 5; do
  sleep 0.5
  mkdir "$work/line-rack.$run"
  line_run "$work/line.csv" "$work/line-rack.$run/trace"
done
python3 "$HERE/line_figures.py" rack "$(sed -n 's/^ONE_ROW_MS=//p' "$work/one.txt")" "$work"/line-rack.*

echo "one device, two requests, process start included (median of 30 runs):"
cli_ms=$(median_of 30 "$cli" -p "$work/fast1" show)
py_ms=$(median_of 30 /usr/bin/python3 "$HERE/show_peer.py" "$work/fast1")
awk -v a="$cli_ms" -v b="$py_ms" 'BEGIN {
  printf "  quorvane-cli show %.1f ms, python3-serial script %.1f ms: the CLI takes %.2fx the script'"'"'s time\n", a, b, a / b }'
