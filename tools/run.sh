#!/usr/bin/env bash
# make run: the utility under Wine, talking to the virtual device.
#
# The device's pseudo-terminal is the only COM port the utility can see
# (COM3). With a display the window opens there and everything stops when it
# is closed; without one (DISPLAY unset) tools/wine/wine-run.sh brings its own
# Xvfb and quorvane-driver.exe works the program as a technician would: it
# opens the port, waits for the network settings and the password, runs
# ifconfig, saves build/run.png and closes the program. The device's trace
# goes to the terminal, or to build/device.log when headless. QV_RUN_LOCALE
# (make run LOCALE=C.UTF-8) runs the utility in another locale than
# zh_CN.UTF-8, as on a Windows of another language; QV_RUN_DPI (make run
# DPI=144) at another display scale than 96 DPI (100 %).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
DEVICE=$BUILD/native/quorvane-device
PROGRAM=${QV_RUN_PROGRAM:-$BUILD/win64/quorvane.exe}   # another .exe for trying the harness
DRIVER=$BUILD/win64/quorvane-driver.exe
PREFIX=$BUILD/wine-run
COM_PORT=3
WINDOW_LIMIT=$((7 * 24 * 3600))      # a desktop session ends when the window is closed

# shellcheck source=wine/lib.sh
source "$ROOT/tools/wine/lib.sh"

for f in "$DEVICE" "$PROGRAM" "$DRIVER"; do
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

wine_run=(bash "$ROOT/tools/wine/wine-run.sh" --prefix "$PREFIX" --com "$COM_PORT=$pty"
          ${QV_RUN_LOCALE:+--locale "$QV_RUN_LOCALE"} ${QV_RUN_DPI:+--dpi "$QV_RUN_DPI"})
if [ "$headless" -eq 1 ]; then
  rm -f "$BUILD/run.png" "$BUILD/run.bmp"
  code=0
  "${wine_run[@]}" --display --timeout 60 -- "$DRIVER" demo "$(winepath_of "$PROGRAM")" \
    "$(winepath_of "$BUILD/run.bmp")" || code=$?
  [ "$code" -eq 0 ] || echo "run: the session did not go through (exit code $code); see $BUILD/device.log" >&2
  [ -s "$BUILD/run.bmp" ] && convert "$BUILD/run.bmp" "$BUILD/run.png" && rm -f "$BUILD/run.bmp"
  [ -s "$BUILD/run.png" ] || { echo "run: no screenshot" >&2; exit 1; }
  echo "run: screenshot in $BUILD/run.png, device trace in $BUILD/device.log"
else
  "${wine_run[@]}" --timeout "$WINDOW_LIMIT" -- "$PROGRAM" || true
fi
