#!/usr/bin/env bash
# quorvane-cli.exe under Wine against virtual devices mapped as COM3, COM4
# and COM6, a silent one as COM5, a listed port with nothing behind it as
# COM7 and a device behind a Bluetooth port (BthModem) as COM8: ports, the
# probe (which opens neither the Bluetooth port nor an excluded one), show,
# set, passwd (also from standard input), exec, refusals of a character GBK
# lacks, and a provision of four ports in one process; adapters the system
# describes (Ports-class devices installed in the prefix) and ports named by
# them; and the program imports nothing but system DLLs.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../../tools/wine/lib.sh"

exe=${QV_WIN64_DIR:?}/quorvane-cli.exe
device=${QV_NATIVE_DIR:?}/quorvane-device
prefix=$QV_NATIVE_DIR/wine-prefixes/cli
[ -f "$exe" ] || { echo "cli-wine-test: $exe not built" >&2; exit 1; }

dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'a-z' 'A-Z' | sort)
for dll in $dlls; do
  case $dll in
    KERNEL32.DLL | USER32.DLL | SHELL32.DLL | ADVAPI32.DLL | SETUPAPI.DLL | CFGMGR32.DLL | MSVCRT.DLL | UCRTBASE.DLL | API-MS-WIN-*) ;;
    *) echo "cli-wine-test: imports $dll" >&2; exit 1 ;;
  esac
done

work=$(mktemp -d /tmp/qv-cli-wine.XXXXXX)
qv_on_exit "rm -rf '$work'"
for n in 3 4 5 6 8; do
  faults=(); [ $n = 5 ] && faults=(--silent)
  "$device" --link "$work/com$n" --frames-log "$work/frames$n" --quiet "${faults[@]}" >/dev/null &
  qv_on_exit "kill $! 2>/dev/null"
  qv_wait_for "$work/com$n" 10
done

cli() { "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --com 3="$work/com3" --com 4="$work/com4" \
          --com 5="$work/com5" --com 6="$work/com6" --com 7="$work/gone" --bluetooth-com 8="$work/com8" \
          --timeout 120 -- "$exe" "$@" | tr -d '\r'; }
opened() { grep -c ' OPEN$' "$work/frames$1" || true; }   # how often a client opened device N's line
ports_tool() { "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --timeout 60 -- "${QV_WIN64_DIR}/tests/qv-install-ports.exe" "$@"; }

# The adapters: an FTDI with its serial (COM3), a CH340 without one (COM4),
# the two ports of one two-port adapter in one socket (COM5, COM6), and a
# Bluetooth link (COM8). COM7 has no device record.
ids=('USB\VID_0403&PID_6001\A50285BI' 'USB\VID_1A86&PID_7523\5&2B3A1F&0&2' 'FTDIBUS\VID_0403+PID_6010+FT2A\0000'
     'FTDIBUS\VID_0403+PID_6010+FT2B\0000' 'BTHENUM\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\7&2A8B&0&0011_C0')
ports_tool add COM3 "${ids[0]}" 'USB Serial Port (COM3)' Port_#0002.Hub_#0003 FTDI \
               COM4 "${ids[1]}" 'USB-SERIAL CH340 (COM4)' Port_#0001.Hub_#0003 - \
               COM5 "${ids[2]}" 'USB Serial Port (COM5)' Port_#0004.Hub_#0003 FTDI \
               COM6 "${ids[3]}" 'USB Serial Port (COM6)' Port_#0004.Hub_#0003 FTDI \
               COM8 "${ids[4]}" 'Standard Serial over Bluetooth link (COM8)' - Microsoft
qv_on_exit ports_tool remove "${ids[@]}"
fail() { echo "cli-wine-test: $*" >&2; exit 1; }
expect() {   # expect WHAT TEXT: TEXT must hold WHAT
  grep -qF -- "$1" <<<"$2" || fail "expected '$1' in: $2"
}

out=$(cli ports)
grep -qE '^COM3 +USB Serial Port +0403:6001 +A50285BI +Port_#0002\.Hub_#0003$' <<<"$out" || fail "ports gave: $out"
grep -qE '^COM7 +- +- +- +-$' <<<"$out" || fail "ports gave: $out"
out=$(cli --json ports)
python3 - "$out" <<'PY'
import json, sys
ports = {p["port"]: p for p in json.loads(sys.argv[1])["ports"]}
assert list(ports) == ["COM3", "COM4", "COM5", "COM6", "COM7", "COM8"], ports
assert (ports["COM3"]["description"], ports["COM3"]["vid"], ports["COM3"]["pid"], ports["COM3"]["serial"],
        ports["COM3"]["transport"]) == ("USB Serial Port", "0403", "6001", "A50285BI", "usb"), ports["COM3"]
assert ports["COM4"]["serial"] is None and ports["COM4"]["location"] == "Port_#0001.Hub_#0003", ports["COM4"]
assert ports["COM7"]["description"] is None and ports["COM8"]["transport"] == "bluetooth", ports
PY

# Ports named by their adapters: one match, none, two; nothing sent unless
# one. A serial is matched whole: its beginning, or nothing, names no adapter.
expect '"port":"COM3","result":"ok","selector":"serial=a50285bi"' "$(cli -p serial=a50285bi --json show)"
for s in "serial=NOPE 4 A50285BI" "location=Port_#0004.Hub_#0003 2 COM5 COM6" "serial=A50285 4 A50285BI" \
         "serial= 4 A50285BI"; do
  set -- $s
  set +e; out=$(cli -p "$1" show 2>&1); rc=$?; set -e
  [ "$rc" = "$2" ] || fail "$1: exit $rc, not $2: $out"
  for word in "${@:3}"; do expect "$word" "$out"; done
done
set --
out=$(cli --json --timeout 800 ports --probe --exclude COM6)
python3 - "$out" <<'PY'
import json, sys
ports = json.loads(sys.argv[1])["ports"]
seen = {p["port"]: p["result"] for p in ports}
assert seen == {"COM3": "answering", "COM4": "answering", "COM5": "silent", "COM6": "skipped",
                "COM7": "failed", "COM8": "skipped"}, seen
assert [p["port"] for p in ports if p["bluetooth"]] == ["COM8"], ports
PY
[ "$(opened 6)" = 0 ] && [ "$(opened 8)" = 0 ] || fail "the probe opened an excluded or a Bluetooth port"
[ "$(opened 3)" -ge 1 ] || fail "the probe did not open COM3"
# Adapters left out by their serial and their socket are not opened either.
before3=$(opened 3) before4=$(opened 4)
out=$(cli --json --timeout 800 ports --probe --exclude serial=A50285BI --exclude location=Port_#0001.Hub_#0003)
expect '"port":"COM3","reason":"excluded","result":"skipped"' "$out"
expect '"port":"COM4","reason":"excluded","result":"skipped"' "$out"
[ "$(opened 3)" = "$before3" ] && [ "$(opened 4)" = "$before4" ] || fail "the probe opened an adapter excluded by its serial or socket"
out=$(cli --json --timeout 800 ports --probe)
expect '"port":"COM6","result":"answering"' "$out"
[ "$(opened 8)" = 0 ] || fail "the probe opened the Bluetooth port"

# One port named by its adapter on one row and by its name on another:
# both rows refused, each naming the other, and the port never opened.
before=$(opened 3)
printf 'port,mode,ip,mask,gateway,password\nserial=A50285BI,dhcp,,,,\ncom3,dhcp,,,,\n' >"$work/twice.csv"
set +e; out=$(cli provision "$(winepath_of "$work/twice.csv")" 2>&1); rc=$?; set -e
[ "$rc" = 2 ] || fail "one port on two rows: exit $rc: $out"
expect "COM3 (serial=A50285BI) also on line 3" "$out"
expect "com3 also on line 2" "$out"
[ "$(opened 3)" = "$before" ] || fail "a port named on two rows was opened"

# A character GBK cannot carry is refused before anything is sent.
before=$(grep -c ' RX ' "$work/frames3" || true)
for args in "exec echo 😀" "passwd pw😀"; do
  set +e; out=$(cli -p COM3 $args 2>&1); rc=$?; set -e
  [ "$rc" = 2 ] || fail "$args: exit $rc, not 2: $out"
  expect "GBK cannot carry" "$out"
done
[ "$(grep -c ' RX ' "$work/frames3" || true)" = "$before" ] || fail "a refused text reached the device"

expect "ip        192.168.1.10" "$(cli -p COM3 show)"
expect '"result":"ok"' "$(cli -p COM3 --json set static 10.0.0.3 255.255.255.0 10.0.0.1)"
expect '"ip":"10.0.0.3"' "$(cli -p COM3 --json show)"
# Chinese in both directions: the wide command line to GBK, GBK to UTF-8.
expect "password set" "$(cli -p COM3 passwd 密码)"
expect "password  密码" "$(cli -p COM3 show --show-password)"
expect "password set" "$(printf '新密码\r\n' | cli -p COM4 passwd)"
expect "password  新密码" "$(cli -p COM4 show --show-password)"
expect "你好" "$(cli -p COM3 exec --quiet 500 echo 你好)"

# The last row's adapter is not plugged in: the port is at fault, not the sheet.
printf 'port,mode,ip,mask,gateway,password\nserial=A50285BI,dhcp,,,,\nlocation=Port_#0001.Hub_#0003,static,10.0.0.4,255.255.255.0,10.0.0.1,四号\nCOM5,dhcp,,,,\nCOM6,dhcp,,,,\nserial=QV-UNPLUGGED,dhcp,,,,\n' \
  >"$work/rows.csv"
echo 'kept' >"$work/rack.log"
out=$(cli --json --timeout 1000 provision --log "$(winepath_of "$work/rack.log")" "$(winepath_of "$work/rows.csv")") &&
  fail "provision ignored the silent port: $out"
python3 - "$out" "$work/rack.log" <<'PY'
import json, sys
lines = open(sys.argv[2], encoding="utf-8").read().splitlines()
records = {r["port"]: r for r in map(json.loads, lines[1:]) if "claimed_ip" not in r}   # appended, each line whole
assert lines[0] == "kept" and sorted(records) == ["COM3", "COM4", "COM5", "COM6", "serial=QV-UNPLUGGED"], lines
assert records["COM3"]["mac"].startswith("00:1C:27:") and records["COM3"]["adapter"]["serial"] == "A50285BI", records
assert records["COM5"]["result"] == "no_answer" and records["COM5"]["mac"] is None, records
rows = json.loads(sys.argv[1])["rows"]
assert [(r["port"], r["result"]) for r in rows] == [("COM3", "ok"), ("COM4", "ok"), ("COM5", "no_answer"),
                                                   ("COM6", "ok"), ("serial=QV-UNPLUGGED", "port_error")], rows
assert rows[4]["exit_code"] == 4, rows
assert [r["selector"] for r in rows] == ["serial=A50285BI", "location=Port_#0001.Hub_#0003", None, None, None], rows
assert rows[1]["read_back"]["ip"] == "10.0.0.4" and rows[1]["read_back"]["password_verified"], rows
PY
expect '"dhcp":true' "$(cli -p COM3 --json show)"
echo "cli-wine-test: passed"
