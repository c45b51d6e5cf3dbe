#!/usr/bin/env bash
# Runs one Windows program under Wine the way every Wine test and `make run`
# need it:
#
#   wine-run.sh --prefix DIR [--com N=PATH]... [--bluetooth-com N=PATH]...
#               [--locale LOCALE] [--dpi N] [--display] [--screen WxH] [--timeout SEC]
#               [--screenshot FILE] -- PROGRAM.exe [ARGS...]
#
#   --prefix DIR     the Wine prefix; created on first use (takes seconds).
#                    Tests that may run at the same time need prefixes of
#                    their own: the COM mapping lives in the prefix.
#   --com N=PATH     COMN (N 1..255) opens PATH (normally one end of a pty
#                    pair) and is listed in HKLM\HARDWARE\DEVICEMAP\SERIALCOMM
#                    as "\Device\QvSerialN" = "COMN", as a serial driver would
#                    list it. No other COM port exists for the program: none
#                    is listed, and opening one fails with ERROR_FILE_NOT_FOUND.
#                    The machine's own /dev/ttyS* never appear. QueryDosDevice
#                    shows no COM port at all, mapped or not.
#   --bluetooth-com N=PATH  the same, listed as "\Device\BthModemN", as
#                    Windows' own Bluetooth serial driver lists its ports.
#   --locale LOCALE  LC_ALL for the program (default zh_CN.UTF-8: code page
#                    936; C.UTF-8 gives 1252). It must be installed.
#   --dpi N          the display scale Windows would have, as the prefix's
#                    LogPixels (HKCU\Control Panel\Desktop; default 96, the
#                    100 % of an unscaled screen; 144 is 150 %, 192 is 200 %).
#                    Written before the program starts, in its session.
#   --display        start a private Xvfb on a free display and export
#                    DISPLAY; without it DISPLAY is left as it is. Its screen
#                    is 1280x1024x24 at 96 DPI and grows in proportion with
#                    --dpi, as a laptop's panel has the pixels its scale needs.
#   --screen WxH     with --display: that screen instead (1366x768, the small
#                    laptop panel that a scale of 125 % and more overfills).
#   --timeout SEC    time limit for the program (default 120); on expiry the
#                    program is killed and the exit code is 124.
#   --screenshot F   with --display: a PNG of the whole screen is taken just
#                    before the program ends or is killed (after SEC, or when
#                    the program exits by itself, whichever comes first).
#
# The program runs with WINEDEBUG=-all (QV_WINEDEBUG=... for another), in a
# wineserver of its own: one still
# running in the prefix is stopped first. Its exit code is passed through.
# Whatever happens, the prefix's wineserver and the Xvfb started here are
# stopped before this script ends.
#
# Wine is started through the 64-bit loader directly: the `wine` wrapper
# prefers the 32-bit loader, which this machine cannot execute.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$HERE/lib.sh"

prefix=""
display=0
limit=120
shot=""
locale=zh_CN.UTF-8
dpi=96
screen=""
declare -A coms=() devices=()

usage() { echo "usage: $0 --prefix DIR [--com N=PATH]... [--bluetooth-com N=PATH]... [--locale LOCALE] [--dpi N] [--display] [--screen WxH] [--timeout SEC] [--screenshot FILE] -- PROGRAM.exe [ARGS...]" >&2; exit 2; }

while (($#)); do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --com | --bluetooth-com)
      n=${2%%=*}; p=${2#*=}
      [[ "$n" =~ ^[1-9][0-9]{0,2}$ ]] && ((n <= 255)) || usage
      coms[$n]=$p
      devices[$n]=$([ "$1" = --com ] && echo QvSerial || echo BthModem)
      shift 2 ;;
    --locale) locale=$2; shift 2 ;;
    --dpi) dpi=$2; [[ "$dpi" =~ ^[1-9][0-9]{1,2}$ ]] || usage; shift 2 ;;
    --display) display=1; shift ;;
    --screen) screen=$2; [[ "$screen" =~ ^[1-9][0-9]{2,4}x[1-9][0-9]{2,4}$ ]] || usage; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --screenshot) shot=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
(($#)) && [ -n "$prefix" ] || usage
program=$1; shift
# Wine falls back to code page 1252 without a word when LC_ALL names a locale
# the machine lacks; locale(1) at least complains.
[ -z "$(LC_ALL=$locale locale 2>&1 >/dev/null)" ] ||
  { echo "wine-run: locale $locale is not installed" >&2; exit 1; }

WINE64=${QV_WINE64:-/usr/lib/wine/wine64}
WINESERVER=${QV_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || command -v wine)
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX=$prefix WINEDEBUG=${QV_WINEDEBUG:--all} WINELOADER=$WINE64 WINESERVER=$WINESERVER
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_wineserver() { "$WINESERVER" -k >/dev/null 2>&1 || true; }
qv_on_exit stop_wineserver

# A new prefix gets the machine's CJK font in place of the Chinese Windows
# fonts it lacks (the dialog font of code page 936 is SimSun); without it the
# system's own texts show as empty boxes. The dialog asks for its typeface
# by the Chinese name, 微软雅黑, which a Chinese Windows and an English one
# both know; Wine finds a stand-in by that name only in a Chinese locale, so
# the name is replaced too. It needs a Unicode .reg file (UTF-16 with its
# byte-order mark): regedit reads a REGEDIT4 file in the ANSI code page.
if [ "$(cat "$prefix/.qv-ready" 2>/dev/null)" != "fonts-2" ]; then
  rm -rf "$prefix"
  timeout 180 "$WINE64" wineboot -i >/dev/null 2>&1
  regfile=$(mktemp --suffix=.reg)
  {
    printf '\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for f in SimSun NSimSun SimHei "Microsoft YaHei" 微软雅黑; do
      printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
    done
  } | iconv -f UTF-8 -t UTF-16LE >"$regfile"
  timeout 120 "$WINE64" regedit /S "$(winepath_of "$regfile")" >/dev/null 2>&1
  rm -f "$regfile"
  timeout 60 "$WINESERVER" -w || true
  echo fonts-2 >"$prefix/.qv-ready"
fi

# Wine's mount manager (mountmgr.sys) runs once per wineserver. For every
# COMn in HKLM\Software\Wine\Ports (n 1..255) it unlinks dosdevices/comN,
# links it to the value and, if that worked, lists the port in SERIALCOMM;
# an empty value counts as worked, so it lists the port all the same. The
# host's /dev/ttyS* then get the first numbers not in the registry, up to
# COM256. So all 255 are in the registry with a path, a directory stands at
# every dosdevices/comN (1..256) while the mount manager runs, and symlink()
# fails on each: no port, no link, no SERIALCOMM entry. The table never
# changes, so regedit runs once per prefix.
ports=""
for n in {1..255}; do ports+="\"COM$n\"=\"/nonexistent/qv-no-port\""$'\r\n'; done
sig=$(printf '%s' "$ports" | md5sum | cut -d' ' -f1)
if [ "$(cat "$prefix/.qv-ports" 2>/dev/null)" != "$sig" ]; then
  regfile=$(mktemp --suffix=.reg)
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n%s' "$ports" >"$regfile"
  timeout 120 "$WINE64" regedit /S "$(winepath_of "$regfile")" >/dev/null 2>&1
  rm -f "$regfile"
  timeout 60 "$WINESERVER" -w || true
  echo "$sig" >"$prefix/.qv-ports"
fi

# A wineserver left running (a run that was killed) has run its mount manager
# already and holds the last run's SERIALCOMM.
stop_wineserver
dd="$prefix/dosdevices"
rm -rf "$dd"/com*
mkdir "$dd"/com{1..256}

export LC_ALL=$locale

# Xvfb comes before the first Wine process: that one starts the session's
# desktop (explorer.exe), which draws on the DISPLAY it finds.
xvfb_pid=""
if ((display)); then
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${screen:-$((1280 * dpi / 96))x$((1024 * dpi / 96))}x24" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  qv_on_exit "kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null || true"
  qv_wait_for "$fdfile" 20 -s || { echo "wine-run: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
  rm -f "$fdfile"
  # Wine's own processes go before the screen they draw on.
  qv_on_exit stop_wineserver
fi

# SERIALCOMM is volatile (it lives in the wineserver only) and Wine lists in
# it only what its mount manager found, so the ports are added here, as a
# serial driver would. Debian's wineserver wrapper passes -p0: the server
# ends a second or two after its last process, and the entries with it;
# -p60 keeps it up until the program starts. Every Wine process of a new
# session waits until it has booted, mount manager included, so nothing
# overwrites the entries, and one reg per port can run at once. reg, not
# regedit: regedit exits 0 when a write fails (as it does if the key is
# missing: under the volatile DEVICEMAP only a volatile key can be made, and
# reg cannot make one).
"$WINESERVER" -p60
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
reg_pids=()
for n in "${!coms[@]}"; do
  timeout 120 "$WINE64" reg add "$serialcomm" /v "\\Device\\${devices[$n]}$n" /d "COM$n" /f >/dev/null 2>&1 &
  reg_pids+=("$!")
done
# The scale is written on every run, beside the ports (so it costs no time):
# the groups of a lane share a prefix, and a marker file could not know
# whether a killed wineserver had saved the registry.
timeout 120 "$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 &
reg_pids+=("$!")
for pid in "${reg_pids[@]}"; do
  wait "$pid" || { echo "wine-run: could not list the ports in $serialcomm or set LogPixels" >&2; exit 1; }
done

# With the mount manager done, the directories go: an unmapped port then has
# no link at all, so opening it fails with ERROR_FILE_NOT_FOUND, not the
# ERROR_ACCESS_DENIED a directory gives.
rm -rf "$dd"/com*
for n in "${!coms[@]}"; do ln -s "${coms[$n]}" "$dd/com$n"; done

take_shot() {
  if [ -n "$shot" ] && [ -n "$xvfb_pid" ]; then
    import -window root "$shot" >/dev/null 2>&1 || echo "wine-run: screenshot failed" >&2
  fi
}

# The program runs in the background so that the screenshot can be taken
# while its windows are still up, and so the time limit applies to it alone.
# Its standard input stays ours: a background job would get /dev/null.
"$WINE64" "$program" "$@" <&0 &
prog_pid=$!
qv_on_exit "kill $prog_pid 2>/dev/null || true"
deadline=$((SECONDS + limit))
rc=""
while kill -0 "$prog_pid" 2>/dev/null; do
  if ((SECONDS >= deadline)); then
    echo "wine-run: $program still running after ${limit}s, killed" >&2
    take_shot
    kill "$prog_pid" 2>/dev/null || true
    wait "$prog_pid" 2>/dev/null || true
    rc=124
    break
  fi
  sleep 0.1
done
if [ -z "$rc" ]; then
  set +e
  wait "$prog_pid"
  rc=$?
  set -e
  take_shot
fi
exit "$rc"
