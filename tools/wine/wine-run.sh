#!/usr/bin/env bash
# Runs one Windows program under Wine the way every Wine test and `make run`
# need it:
#
#   wine-run.sh --prefix DIR [--com N=PATH]... [--display] [--timeout SEC]
#               [--screenshot FILE] -- PROGRAM.exe [ARGS...]
#
#   --prefix DIR     the Wine prefix; created on first use (takes seconds).
#                    Tests that may run at the same time need prefixes of
#                    their own: the COM mapping lives in the prefix.
#   --com N=PATH     COMn opens PATH (normally one end of a pty pair). Every
#                    COM1..COM32 not given here does not exist for the program:
#                    Wine's own mapping of /dev/ttyS* is switched off in the
#                    registry and a directory is left at dosdevices/comN.
#   --display        start a private Xvfb (1280x1024x24) on a free display and
#                    export DISPLAY; without it DISPLAY is left as it is.
#   --timeout SEC    time limit for the program (default 120); on expiry the
#                    program is killed and the exit code is 124.
#   --screenshot F   with --display: a PNG of the whole screen is taken just
#                    before the program ends or is killed (after SEC, or when
#                    the program exits by itself, whichever comes first).
#
# The program runs with LC_ALL=zh_CN.UTF-8 (code page 936) and WINEDEBUG=-all.
# Its exit code is passed through. Whatever happens, the prefix's wineserver
# and the Xvfb started here are stopped before this script ends.
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
declare -A coms=()

usage() { echo "usage: $0 --prefix DIR [--com N=PATH]... [--display] [--timeout SEC] [--screenshot FILE] -- PROGRAM.exe [ARGS...]" >&2; exit 2; }

while (($#)); do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --com)
      n=${2%%=*}; p=${2#*=}
      [[ "$n" =~ ^[0-9]+$ ]] && ((n >= 1 && n <= 32)) || usage
      coms[$n]=$p; shift 2 ;;
    --display) display=1; shift ;;
    --timeout) limit=$2; shift 2 ;;
    --screenshot) shot=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
(($#)) && [ -n "$prefix" ] || usage
program=$1; shift

WINE64=${QV_WINE64:-/usr/lib/wine/wine64}
WINESERVER=${QV_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || command -v wine)
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX=$prefix WINEDEBUG=-all WINELOADER=$WINE64 WINESERVER=$WINESERVER
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_wineserver() { "$WINESERVER" -k >/dev/null 2>&1 || true; }
qv_on_exit stop_wineserver

# A new prefix gets the machine's CJK font in place of the Chinese Windows
# fonts it lacks (the dialog font of code page 936 is SimSun); without it the
# system's own texts show as empty boxes.
if [ "$(cat "$prefix/.qv-ready" 2>/dev/null)" != "fonts-1" ]; then
  rm -rf "$prefix"
  timeout 180 "$WINE64" wineboot -i >/dev/null 2>&1
  regfile=$(mktemp --suffix=.reg)
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for f in SimSun NSimSun SimHei "Microsoft YaHei"; do
      printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
    done
  } >"$regfile"
  timeout 120 "$WINE64" regedit /S "$(winepath_of "$regfile")" >/dev/null 2>&1
  rm -f "$regfile"
  timeout 60 "$WINESERVER" -w || true
  echo fonts-1 >"$prefix/.qv-ready"
fi

# Wine's mount manager rewrites dosdevices/comN from HKLM\Software\Wine\Ports
# at start-up (replacing symlinks, not directories), and adds the machine's
# own /dev/ttyS* as the first free COM numbers. So the registry carries the
# same mapping as the links: the given path where a port must exist, a path
# that cannot be linked everywhere else. regedit runs only when the mapping
# changed since the last run on this prefix.
ports=""
for n in $(seq 1 32); do ports+="\"COM$n\"=\"${coms[$n]:-/nonexistent/qv-no-port}\""$'\r\n'; done
sig=$(printf '%s' "$ports" | md5sum | cut -d' ' -f1)
if [ "$(cat "$prefix/.qv-ports" 2>/dev/null)" != "$sig" ]; then
  regfile=$(mktemp --suffix=.reg)
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n%s' "$ports" >"$regfile"
  timeout 120 "$WINE64" regedit /S "$(winepath_of "$regfile")" >/dev/null 2>&1
  rm -f "$regfile"
  timeout 60 "$WINESERVER" -w || true
  echo "$sig" >"$prefix/.qv-ports"
fi

# The links are made anew on every run: a directory where a port must not
# exist, a symlink where one must.
dd="$prefix/dosdevices"
for n in $(seq 1 32); do
  rm -rf "$dd/com$n"
  if [ -n "${coms[$n]:-}" ]; then
    ln -s "${coms[$n]}" "$dd/com$n"
  else
    mkdir "$dd/com$n"
  fi
done

export LC_ALL=zh_CN.UTF-8

xvfb_pid=""
if ((display)); then
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  qv_on_exit "kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null || true"
  qv_wait_for "$fdfile" 20 -s || { echo "wine-run: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
  rm -f "$fdfile"
  # Wine's own processes go before the screen they draw on.
  qv_on_exit stop_wineserver
fi

take_shot() {
  if [ -n "$shot" ] && [ -n "$xvfb_pid" ]; then
    import -window root "$shot" >/dev/null 2>&1 || echo "wine-run: screenshot failed" >&2
  fi
}

# The program runs in the background so that the screenshot can be taken
# while its windows are still up, and so the time limit applies to it alone.
"$WINE64" "$program" "$@" &
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
