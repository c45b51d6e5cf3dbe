#!/usr/bin/env bash
# Runs gui_test.exe under Wine in groups, each against quorvane-device in the
# fault mode the group's suite is named after, linked as COM3 (and a silent
# second device as COM12; the dialog group has a third on COM45). A group run
# as `locale=C.UTF-8 group ...` gets that locale instead of zh_CN.UTF-8, and
# one run as `dpi=144 group ...` that display scale (LogPixels) instead of 96,
# and one run as `screen=1366x768 group ...` that screen (else wine-run.sh's).
# QV_GUI_SHOTS=DIR keeps a picture of the screen at the end of each group;
# QV_GUI_DPI=N and QV_GUI_LOCALE=L run every group at that scale or locale.
#
# The groups run in two lanes side by side, each with its Wine prefix, its
# wineserver and its Xvfb: most of a group's time is the dialog's own
# periods (a second's tick, ten seconds to a lost link), not processor time,
# so two lanes halve the run on the 2-core machines without crowding them.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SRC=${QV_SOURCE_DIR:-$(cd "$HERE/../.." && pwd)}
WIN=${QV_WIN64_DIR:-$SRC/build/win64}
NATIVE=${QV_NATIVE_DIR:-$SRC/build/native}

exe=$WIN/tests/gui_test.exe
device=$NATIVE/quorvane-device
[ -f "$exe" ] || { echo "run-gui.sh: $exe not built" >&2; exit 1; }
[ -x "$device" ] || { echo "run-gui.sh: $device not built" >&2; exit 1; }

# shellcheck source=../../tools/wine/lib.sh
source "$SRC/tools/wine/lib.sh"

work=$(mktemp -d /tmp/qv-gui.XXXXXX)
qv_on_exit "rm -rf '$work'"

# The program must stay self-contained: only system DLLs imported.
if command -v x86_64-w64-mingw32-objdump >/dev/null; then
  bad=$(x86_64-w64-mingw32-objdump -p "$WIN/quorvane.exe" | awk '/DLL Name/ {print tolower($3)}' |
        grep -vE '^(kernel32|user32|gdi32|comctl32|msvcrt|advapi32|setupapi|cfgmgr32|ntdll)\.dll$|^api-ms-win-' || true)
  [ -z "$bad" ] || { echo "quorvane.exe imports non-system DLLs: $bad" >&2; exit 1; }
fi

failed=0
declare -a device_pids=()

start_device() {   # NAME LINK LOG [OPTIONS...]
  local name=$1 link=$2 log=$3; shift 3
  "$device" --link "$link" --frames-log "$log" --quiet "$@" </dev/null >"$work/$name.out" 2>&1 &
  local pid=$!
  device_pids+=("$pid")
  qv_on_exit "kill $pid 2>/dev/null; wait $pid 2>/dev/null"
  qv_wait_for "$link" 10 || { echo "run-gui.sh: device $name made no pty" >&2; return 1; }
}

stop_devices() {
  local pid
  for pid in "${device_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  device_pids=()
}

group() {   # NAME FILTER COMS(yes/no/three) [DEVICE OPTIONS...]
  local name=$1 filter=$2 coms=$3; shift 3
  # QV_GUI_GROUPS=dialog,silent runs only those groups (the planted-fault runs).
  if [ -n "${QV_GUI_GROUPS:-}" ] && [[ ",$QV_GUI_GROUPS," != *",$name,"* ]]; then return 0; fi
  local -a com_args=()
  local log=$work/$name.frames
  : >"$log"
  if [ "$coms" != no ]; then
    start_device "$name" "$work/$name-com3" "$log" "$@"
    start_device "$name-b" "$work/$name-com12" "$work/$name-b.frames" --silent
    com_args=(--com "3=$work/$name-com3" --com "12=$work/$name-com12")
  fi
  if [ "$coms" = three ]; then
    start_device "$name-c" "$work/$name-com45" "$work/$name-c.frames"
    com_args+=(--com "45=$work/$name-com45")
  fi
  local run_locale=${QV_GUI_LOCALE:-${locale:-}} run_dpi=${QV_GUI_DPI:-${dpi:-96}} run_screen=${screen:-}
  echo "=== $name: $filter $* $run_locale $run_dpi DPI ${run_screen}"
  if ! QV_FRAMES_LOG=$log QV_QUORVANE_EXE=$WIN/quorvane.exe \
       bash "$SRC/tools/wine/wine-run.sh" --prefix "$prefix" "${com_args[@]}" ${run_locale:+--locale "$run_locale"} \
       --dpi "$run_dpi" ${run_screen:+--screen "$run_screen"} \
       ${QV_GUI_SHOTS:+--screenshot "$QV_GUI_SHOTS/$name.png"} --display --timeout 200 \
       -- "$exe" --gtest_filter="$filter" --gtest_color=no; then
    echo "=== $name FAILED"
    failed=1
  fi
  stop_devices
}

cn_password=$'\xc3\xdc\xc2\xeb12'   # 密码12 in GBK, for the Text groups of both lanes

lane_a() {
group dialog 'Dialog.*:Scale.*' three --dhcp off --ip 192.168.5.20 --mask 255.255.255.0 --gateway 192.168.5.1 \
  --password Quorvane-Field-Technician-Long-Password-2017
group dhcp-on 'DhcpOn.*' yes --dhcp on
# The keyboard and the layout at 150 % in Chinese here, on a 1920 x 1080
# laptop, and at 200 % in English in lane b; the dialog group has the layout
# at 100 %. At 150 % a 1366 x 768 screen is too low for the whole window.
dpi=144 screen=1920x1080 group text-zh 'Text.*:Keys.*:Scale.*' yes --password "$cn_password"
dpi=144 screen=1366x768 group small-screen 'Scale.*' yes
}

# The test plays the device itself on COM5, the far end of the dialog's COM3.
peer_group() {
  if [ -n "${QV_GUI_GROUPS:-}" ] && [[ ",$QV_GUI_GROUPS," != *",peer,"* ]]; then return 0; fi
  qv_make_pty_pair "$work" peer
  echo "=== peer: Peer.*"
  if ! bash "$SRC/tools/wine/wine-run.sh" --prefix "$prefix" --com "3=$QV_PTY_A" --com "5=$QV_PTY_B" \
       ${QV_GUI_LOCALE:+--locale "$QV_GUI_LOCALE"} --dpi "${QV_GUI_DPI:-96}" \
       --display --timeout 200 -- "$exe" --gtest_filter='Peer.*' --gtest_color=no; then
    echo "=== peer FAILED"
    failed=1
  fi
}
lane_b() {
group silent 'Silent.*' yes --silent
group heartbeat-ignored 'HeartbeatsIgnored.*' yes --heartbeat-stop-after 0
group heartbeat-refused 'HeartbeatsRefused.*' yes --status 7=1
group no-ports 'NoPorts.*' no
peer_group
group shell 'Shell.*' no
dpi=192 locale=C.UTF-8 group text-c 'Text.*:Keys.*:Scale.*' yes --password "$cn_password"
}

# A lane is a subshell with exit hooks of its own (its devices), which it
# runs however it ends; its lines carry its letter. The script's own hooks
# stop a lane still running, then remove the work folder.
start_lane() {   # LETTER
  (
    QV_EXIT_HOOKS=()
    trap qv_run_exit_hooks EXIT
    prefix=$NATIVE/wine-prefixes/gui-$1
    "lane_$1"
    exit $failed
  ) > >(sed -u "s/^/[$1] /") 2>&1 &
  lane_pids+=("$!")
  qv_on_exit "kill $! 2>/dev/null; wait $! 2>/dev/null"
}

declare -a lane_pids=()
start_lane a
start_lane b
for pid in "${lane_pids[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
