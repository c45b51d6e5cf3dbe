#!/usr/bin/env bash
# make soak [SOAK_SECONDS=600]: the real quorvane.exe under Wine for a long
# while against a virtual device that sends noise before some replies, sends
# every reply in pieces and late, and corrupts the checksum of some.
# quorvane-driver.exe works the program the whole time (commands, settings
# written and read back, the port closed and opened again) and judges it; in
# the middle the device is stopped for 15 s, so the link drops once and must
# come back. The program's processor time is read from /proc on this side.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
SECONDS_TOTAL=${SOAK_SECONDS:-600}
DROP_AT=$((SECONDS_TOTAL / 2))
DROP_FOR=15
PREFIX=$BUILD/wine-soak

# shellcheck source=wine/lib.sh
source "$ROOT/tools/wine/lib.sh"

work=$(mktemp -d /tmp/qv-soak.XXXXXX)
qv_on_exit "rm -rf '$work'"

"$BUILD/native/quorvane-device" --link "$work/com3" --quiet --noise-every 9 --fragment --delay 20 \
  --corrupt-every 13 --ip 192.168.5.20 --password soak </dev/null >"$work/device.out" 2>&1 &
device=$!
qv_on_exit "kill -CONT $device 2>/dev/null; kill $device 2>/dev/null; wait $device 2>/dev/null"
qv_wait_for "$work/com3" 10 || { echo "soak: the device made no pty" >&2; exit 1; }

# The Unix process of quorvane.exe in this prefix, for its processor time.
program_pid() {
  local p
  for p in /proc/[0-9]*; do
    grep -qa 'quorvane.exe' "$p/cmdline" 2>/dev/null || continue
    grep -qa "WINEPREFIX=$PREFIX" "$p/environ" 2>/dev/null && { basename "$p"; return 0; }
  done
  return 1
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

(
  qv_wait_for "$work/started" 300 || exit 0
  sleep 30
  pid=$(program_pid) || exit 0
  t0=$(cpu_ticks "$pid") s0=$(date +%s)
  sleep "$((DROP_AT - 30))"
  kill -STOP "$device"
  sleep "$DROP_FOR"
  kill -CONT "$device"
  sleep "$((SECONDS_TOTAL - DROP_AT - DROP_FOR - 10))"
  t1=$(cpu_ticks "$pid") s1=$(date +%s)
  hz=$(getconf CLK_TCK)
  awk -v t="$((t1 - t0))" -v s="$((s1 - s0))" -v hz="$hz" \
    'BEGIN { printf "soak: quorvane.exe used %.2f %% of a core over %d s (Wine, /proc)\n", 100 * t / hz / s, s }'
) &
watcher=$!
qv_on_exit "kill $watcher 2>/dev/null; wait $watcher 2>/dev/null"

code=0
bash "$ROOT/tools/wine/wine-run.sh" --prefix "$PREFIX" --com "3=$work/com3" --display \
  --timeout "$((SECONDS_TOTAL + 300))" -- "$BUILD/win64/quorvane-driver.exe" soak \
  "$(winepath_of "$BUILD/win64/quorvane.exe")" "$SECONDS_TOTAL" "$DROP_AT" "$DROP_FOR" \
  "$(winepath_of "$work/started")" || code=$?
wait "$watcher" 2>/dev/null || true
kill -0 "$device" 2>/dev/null || { echo "soak: the device died" >&2; code=1; }
exit "$code"
