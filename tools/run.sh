#!/usr/bin/env bash
# make run: the utility under Wine, talking to the virtual device.
#
# The device's pseudo-terminal is the only COM port the utility can see
# (COM3). With a display the window opens there and everything stops when it
# is closed; without one (DISPLAY unset) a private Xvfb is used, a screenshot
# of the screen goes to build/run.png after a few seconds and the program is
# closed. The device's trace goes to the terminal, or to build/device.log
# when headless.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
DEVICE=$BUILD/native/quorvane-device
PROGRAM=${QV_RUN_PROGRAM:-$BUILD/win64/quorvane.exe}   # another .exe for trying the harness
PREFIX=$BUILD/wine-run
COM_PORT=3
SHOT_AFTER=${QV_RUN_SHOT_AFTER:-6}   # seconds before the headless screenshot

export WINEPREFIX=$PREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The 64-bit loader directly: on a machine without 32-bit support the
# "wine" wrapper cannot start.
if command -v wine64 >/dev/null; then WINE=wine64
elif [ -x /usr/lib/wine/wine64 ]; then WINE=/usr/lib/wine/wine64
else WINE=wine
fi

for f in "$DEVICE" "$PROGRAM"; do
  [ -x "$f" ] || { echo "run: $f is missing; run make first" >&2; exit 1; }
done

xvfb_pid="" device_pid="" program_pid="" device_out=""
cleanup() {
  set +e
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [ -d "$PREFIX" ] && wineserver -k 2>/dev/null
  [ -n "$device_pid" ] && kill "$device_pid" 2>/dev/null && wait "$device_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "$device_out" ] && rm -f "$device_out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  for n in $(seq 90 130); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "run: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
  done
fi

# A prefix of our own, kept between runs. Wine maps the machine's serial
# devices by itself; pointing every COM name at a path that cannot exist and
# leaving a directory where a link would go keeps them out of the port list.
if [ ! -d "$PREFIX/dosdevices" ]; then
  echo "run: creating the Wine prefix $PREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
fi
ports_reg=$PREFIX/qv-ports.reg
{
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
  for i in $(seq 1 32); do printf '"COM%d"="/nonexistent/qv-no-port"\n' "$i"; done
  # Chinese text needs a font that has it; the machine's WenQuanYi stands in
  # for the faces Windows would use.
  printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
  for face in "SimSun" "NSimSun" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "Microsoft Sans Serif" "Microsoft YaHei"; do
    printf '"%s"="WenQuanYi Micro Hei"\n' "$face"
  done
} > "$ports_reg"
"$WINE" regedit "$ports_reg" >/dev/null 2>&1
for i in $(seq 1 32); do
  rm -rf "$PREFIX/dosdevices/com$i"
  [ "$i" -eq "$COM_PORT" ] || mkdir "$PREFIX/dosdevices/com$i"
done

# The device links its pseudo-terminal as COM3 and prints the path first.
device_out=$(mktemp)
device_args=(--link "$PREFIX/dosdevices/com$COM_PORT")
if [ "$headless" -eq 1 ]; then
  "$DEVICE" "${device_args[@]}" >"$device_out" 2>"$BUILD/device.log" &
else
  "$DEVICE" "${device_args[@]}" >"$device_out" &
fi
device_pid=$!
for _ in $(seq 100); do
  [ -s "$device_out" ] && break
  kill -0 "$device_pid" 2>/dev/null || { echo "run: the device did not start" >&2; exit 1; }
  sleep 0.05
done
echo "run: device on $(head -n1 "$device_out") as COM$COM_PORT"

LC_ALL=zh_CN.UTF-8 "$WINE" "$PROGRAM" &
program_pid=$!

if [ "$headless" -eq 1 ]; then
  sleep "$SHOT_AFTER"
  if kill -0 "$program_pid" 2>/dev/null; then
    import -window root "$BUILD/run.png"
    echo "run: screenshot in $BUILD/run.png, device trace in $BUILD/device.log"
  else
    echo "run: the program ended before the screenshot" >&2
    wait "$program_pid" || true
    program_pid=""
    exit 1
  fi
else
  wait "$program_pid" || true
  program_pid=""
fi
