#!/usr/bin/env bash
# make run: the utility under Wine, talking to the virtual device.
#
# The device's pseudo-terminal is the only COM port the utility can see
# (COM3). With a display the window opens there and everything stops when it
# is closed; without one (DISPLAY unset) tools/wine/wine-run.sh brings its own
# Xvfb, a screenshot goes to build/run.png after a few seconds and the program
# is closed. The device's trace goes to the terminal, or to build/device.log
# when headless.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
DEVICE=$BUILD/native/quorvane-device
PROGRAM=${QV_RUN_PROGRAM:-$BUILD/win64/quorvane.exe}   # another .exe for trying the harness
PREFIX=$BUILD/wine-run
COM_PORT=3
SHOT_AFTER=${QV_RUN_SHOT_AFTER:-6}   # seconds before the headless screenshot
WINDOW_LIMIT=$((7 * 24 * 3600))      # a desktop session ends when the window is closed

for f in "$DEVICE" "$PROGRAM"; do
  [ -e "$f" ] || { echo "run: $f is missing; run make first" >&2; exit 1; }
done

device_pid="" device_out=""
cleanup() {
  set +e
  [ -n "$device_pid" ] && kill "$device_pid" 2>/dev/null && wait "$device_pid" 2>/dev/null
  [ -n "$device_out" ] && rm -f "$device_out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

headless=0
[ -n "${DISPLAY:-}" ] || headless=1

device_out=$(mktemp)
if [ "$headless" -eq 1 ]; then
  "$DEVICE" >"$device_out" 2>"$BUILD/device.log" &
else
  "$DEVICE" >"$device_out" &
fi
device_pid=$!
for _ in $(seq 100); do
  [ -s "$device_out" ] && break
  kill -0 "$device_pid" 2>/dev/null || { echo "run: the device did not start" >&2; exit 1; }
  sleep 0.05
done
pty=$(head -n1 "$device_out")
[ -n "$pty" ] || { echo "run: the device gave no path" >&2; exit 1; }
echo "run: device on $pty as COM$COM_PORT"

wine_run=(bash "$ROOT/tools/wine/wine-run.sh" --prefix "$PREFIX" --com "$COM_PORT=$pty")
if [ "$headless" -eq 1 ]; then
  rm -f "$BUILD/run.png"
  code=0
  "${wine_run[@]}" --display --timeout "$SHOT_AFTER" --screenshot "$BUILD/run.png" -- "$PROGRAM" || code=$?
  # 124: closed by the time limit after the screenshot, as intended.
  if [ "$code" -ne 124 ]; then
    echo "run: the program ended by itself (exit code $code) before the screenshot was due" >&2
  fi
  [ -s "$BUILD/run.png" ] || { echo "run: no screenshot" >&2; exit 1; }
  echo "run: screenshot in $BUILD/run.png, device trace in $BUILD/device.log"
else
  "${wine_run[@]}" --timeout "$WINDOW_LIMIT" -- "$PROGRAM" || true
fi
