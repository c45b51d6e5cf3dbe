#!/usr/bin/env bash
# make soak [SOAK_SECONDS=600]: the real quorvane.exe under Wine for a long
# while against a virtual device that sends noise before some replies, sends
# every reply in pieces and late, and corrupts the checksum of some.
# quorvane-driver.exe works the program the whole time (commands, settings
# written and read back, the port closed and opened again) and judges it; in
# the middle the device is stopped for 15 s, so the link drops once and must
# come back. Every link loss the driver saw is then judged against the
# device's frame log by tools/soak_judge.py: a loss the device's faults do not
# explain fails the soak. The program's processor time is read from /proc on
# this side. The judge's inputs stay in build/soak for a second look.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
SECONDS_TOTAL=${SOAK_SECONDS:-600}
DROP_AT=$((SECONDS_TOTAL / 2 + 30))
DROP_FOR=15
PREFIX=$BUILD/wine-soak
KEEP=$BUILD/soak

# shellcheck source=wine/lib.sh
source "$ROOT/tools/wine/lib.sh"

work=$(mktemp -d /tmp/qv-soak.XXXXXX)
qv_on_exit "rm -rf '$work'"
mkdir -p "$KEEP"
rm -f "$KEEP/frames.log" "$KEEP/losses" "$KEEP/stops" "$KEEP/memory.log"
qv_on_exit "cp -f '$work/frames.log' '$work/losses' '$work/stops' '$work/memory.log' '$KEEP/' 2>/dev/null"
# The programs as built now: a rebuild during a long soak does not touch them.
cp "$BUILD/native/quorvane-device" "$BUILD/win64/quorvane.exe" "$BUILD/win64/quorvane-driver.exe" "$work/"

# The frame log on the wall clock, the driver's clock for its link losses.
"$work/quorvane-device" --link "$work/com3" --quiet --noise-every 9 --fragment --delay 20 \
  --corrupt-every 13 --ip 192.168.5.20 --password soak --frames-log "$work/frames.log" --wall-clock \
  </dev/null >"$work/device.out" 2>&1 &
device=$!
qv_on_exit "kill -CONT $device 2>/dev/null; kill $device 2>/dev/null; wait $device 2>/dev/null"
qv_wait_for "$work/com3" 10 || { echo "soak: the device made no pty" >&2; exit 1; }

# The Unix process of quorvane.exe in this prefix, read from /proc: its
# processor time, its resident memory and its open descriptors (Wine keeps
# its handles in the wineserver, where they cannot be counted from here).
# It is the process whose first argument is quorvane.exe: the driver names
# quorvane.exe among its own arguments and must not be taken for it.
program_pid() {
  local p first
  for p in /proc/[0-9]*; do
    first=$(tr '\0' '\n' <"$p/cmdline" 2>/dev/null | head -n1) || continue
    [[ $first == *[\\/]quorvane.exe ]] || continue
    grep -qa "WINEPREFIX=$PREFIX" "$p/environ" 2>/dev/null && { basename "$p"; return 0; }
  done
  return 1
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
# Resident memory split as the kernel keeps it: anonymous pages (heaps,
# stacks) and pages of mapped files (the DLLs' code as it is first touched).
memory_line() { awk '/^(VmRSS|RssAnon|RssFile|VmSize):/ {printf " %s %s", $1, $2}' "/proc/$1/status" 2>/dev/null; }
fds() { ls "/proc/$1/fd" 2>/dev/null | wc -l; }
percent() { awk -v t="$1" -v s="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", 100 * t / hz / s }'; }

# The driver leaves the first 45 s quiet (port open, heartbeats only), then
# works; memory and descriptors are judged after a warm-up. The stop of the
# device is noted on the wall clock for the judge: heartbeats due while the
# device was stopped went unanswered by its doing.
(
  qv_wait_for "$work/started" 300 || exit 0
  sleep 10
  pid=$(program_pid) || { echo "soak: quorvane.exe not found in /proc" >&2; exit 1; }
  t0=$(cpu_ticks "$pid")
  sleep 30
  t1=$(cpu_ticks "$pid")
  echo "soak: idle, port open: quorvane.exe used $(percent $((t1 - t0)) 30) % of a core over 30 s"
  warm=$((45 + (SECONDS_TOTAL / 10 > 60 ? 60 : SECONDS_TOTAL / 10)))
  sleep $((warm - 40))
  rss0=$(rss_kib "$pid") fd0=$(fds "$pid") t0=$(cpu_ticks "$pid") s0=$(date +%s)
  rss_most=$rss0 fd_most=$fd0 stopped=0 failed=0 next_log=$warm
  while kill -0 "$pid" 2>/dev/null; do
    now=$(( $(date +%s) - s0 + warm ))
    if [ "$stopped" -eq 0 ] && [ "$now" -ge "$DROP_AT" ]; then
      echo "$(date +%s%3N) stopped" >>"$work/stops"
      kill -STOP "$device"; sleep "$DROP_FOR"; kill -CONT "$device"; stopped=1
      echo "$(date +%s%3N) continued" >>"$work/stops"
    fi
    [ "$now" -ge $((SECONDS_TOTAL - 5)) ] && break
    r=$(rss_kib "$pid") f=$(fds "$pid")
    [ "$r" -gt "$rss_most" ] && rss_most=$r
    [ "$f" -gt "$fd_most" ] && fd_most=$f
    # A line a minute, to tell steady growth from steps.
    if [ "$now" -ge "$next_log" ]; then
      echo "$now s:$(memory_line "$pid") fds $f" >>"$work/memory.log"
      next_log=$((next_log + 60))
    fi
    sleep 5
  done
  t1=$(cpu_ticks "$pid") s1=$(date +%s)
  echo "soak: working: quorvane.exe used $(percent $((t1 - t0)) $((s1 - s0))) % of a core over $((s1 - s0)) s"
  echo "soak: after warm-up: resident memory ${rss0} -> most ${rss_most} KiB, descriptors ${fd0} -> most ${fd_most}"
  if [ $((rss_most - rss0)) -gt 8192 ]; then echo "FAIL: resident memory grew by more than 8 MiB" ; failed=1; fi
  if [ $((fd_most - fd0)) -gt 8 ]; then echo "FAIL: open descriptors grew by more than 8"; failed=1; fi
  exit "$failed"
) &
watcher=$!
qv_on_exit "kill $watcher 2>/dev/null; wait $watcher 2>/dev/null"

code=0
bash "$ROOT/tools/wine/wine-run.sh" --prefix "$PREFIX" --com "3=$work/com3" --display \
  --timeout "$((SECONDS_TOTAL + 300))" -- "$work/quorvane-driver.exe" soak \
  "$(winepath_of "$work/quorvane.exe")" "$SECONDS_TOTAL" "$DROP_FOR" \
  "$(winepath_of "$work/started")" "$(winepath_of "$work/losses")" || code=$?
wait "$watcher" || code=1
kill -0 "$device" 2>/dev/null || { echo "soak: the device died" >&2; code=1; }
python3 "$ROOT/tools/soak_judge.py" "$work/losses" "$work/frames.log" "$work/stops" || code=1
exit "$code"
