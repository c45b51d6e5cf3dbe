#!/usr/bin/env bash
# make bench, quorvane-cli part: provision of 8 virtual devices with
# --jobs 8 against --jobs 1, and `quorvane-cli show` against show_peer.py
# (python3-serial, the same two requests), process start included.
#
#   cli_bench.sh NATIVE_BUILD_DIR [DELAY_MS]
#
# DELAY_MS (default 100) is how long each device takes before every reply:
# a real device needs time to apply settings, and that waiting is what
# several workers overlap. A run without delay is shown too.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../wine/lib.sh"
build=$(cd "${1:?native build dir}" && pwd)
delay=${2:-100}
cli=$build/quorvane-cli
work=$(mktemp -d /tmp/qv-cli-bench.XXXXXX)
qv_on_exit "rm -rf '$work'"

start_devices() {   # start_devices TAG DELAY: 8 devices at $work/TAG1..8
  for n in 1 2 3 4 5 6 7 8; do
    "$build/quorvane-device" --link "$work/$1$n" --delay "$2" --quiet >/dev/null &
    qv_on_exit "kill $! 2>/dev/null"
    qv_wait_for "$work/$1$n" 10
  done
  { echo "port,mode,ip,mask,gateway,password"
    for n in 1 2 3 4 5 6 7 8; do echo "$work/$1$n,static,10.0.0.$n,255.255.255.0,10.0.0.254,pw$n"; done
  } >"$work/$1.csv"
}

ms() { echo $(($(date +%s%N) / 1000000)); }

best_of_3() {   # best_of_3 CMD...: the shortest of three runs, in ms
  local best=999999 t0 t
  for _ in 1 2 3; do
    t0=$(ms); "$@" >/dev/null; t=$(($(ms) - t0))
    ((t < best)) && best=$t
  done
  echo "$best"
}

median_of() {   # median_of N CMD...: median wall time of N runs, in ms (3 decimals)
  local n=$1; shift
  local times=() t0
  for ((i = 0; i < n; i++)); do
    t0=$(date +%s%N); "$@" >/dev/null; times+=($(($(date +%s%N) - t0)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v n="$n" 'NR == int((n + 1) / 2) { printf "%.1f", $1 / 1e6 }'
}

echo "quorvane-cli provision, 8 virtual devices (best of 3 runs):"
for d in "$delay" 0; do
  start_devices "d${d}_" "$d"
  one=$(best_of_3 "$cli" provision "$work/d${d}_.csv" --jobs 1)
  eight=$(best_of_3 "$cli" provision "$work/d${d}_.csv" --jobs 8)
  awk -v d="$d" -v a="$one" -v b="$eight" 'BEGIN {
    printf "  reply delay %3d ms: --jobs 1 %6d ms, --jobs 8 %6d ms, %.1fx faster\n", d, a, b, a / b }'
done

start_devices s 0
echo "one device, two requests, process start included (median of 30 runs):"
cli_ms=$(median_of 30 "$cli" -p "$work/s1" show)
py_ms=$(median_of 30 /usr/bin/python3 "$HERE/show_peer.py" "$work/s1")
awk -v a="$cli_ms" -v b="$py_ms" 'BEGIN {
  printf "  quorvane-cli show %.1f ms, python3-serial script %.1f ms: the CLI takes %.2fx the script'"'"'s time\n", a, b, a / b }'
