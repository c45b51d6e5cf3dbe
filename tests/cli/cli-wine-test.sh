#!/usr/bin/env bash
# quorvane-cli.exe under Wine against virtual devices mapped as COM3, COM4
# and COM6, a silent one as COM5 and a listed port with nothing behind it as
# COM7: ports, the probe, show, set, passwd (also from standard input), exec
# and a provision of four ports in one process; and the program imports
# nothing but system DLLs.
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
    KERNEL32.DLL | USER32.DLL | SHELL32.DLL | ADVAPI32.DLL | MSVCRT.DLL | UCRTBASE.DLL | API-MS-WIN-*) ;;
    *) echo "cli-wine-test: imports $dll" >&2; exit 1 ;;
  esac
done

work=$(mktemp -d /tmp/qv-cli-wine.XXXXXX)
qv_on_exit "rm -rf '$work'"
for n in 3 4 5 6; do
  faults=(); [ $n = 5 ] && faults=(--silent)
  "$device" --link "$work/com$n" --frames-log "$work/frames$n" --quiet "${faults[@]}" >/dev/null &
  qv_on_exit "kill $! 2>/dev/null"
  qv_wait_for "$work/com$n" 10
done

cli() { "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --com 3="$work/com3" --com 4="$work/com4" \
          --com 5="$work/com5" --com 6="$work/com6" --com 7="$work/gone" --timeout 120 -- "$exe" "$@" | tr -d '\r'; }
fail() { echo "cli-wine-test: $*" >&2; exit 1; }
expect() {   # expect WHAT TEXT: TEXT must hold WHAT
  grep -qF -- "$1" <<<"$2" || fail "expected '$1' in: $2"
}

out=$(cli ports)
[ "$out" = $'COM3\nCOM4\nCOM5\nCOM6\nCOM7' ] || fail "ports gave: $out"
out=$(cli --json --timeout 800 ports --probe)
python3 - "$out" <<'PY'
import json, sys
seen = {p["port"]: p["result"] for p in json.loads(sys.argv[1])["ports"]}
assert seen == {"COM3": "answering", "COM4": "answering", "COM5": "silent", "COM6": "answering",
                "COM7": "failed"}, seen
PY

expect "ip        192.168.1.10" "$(cli -p COM3 show)"
expect '"result":"ok"' "$(cli -p COM3 --json set static 10.0.0.3 255.255.255.0 10.0.0.1)"
expect '"ip":"10.0.0.3"' "$(cli -p COM3 --json show)"
# Chinese in both directions: the wide command line to GBK, GBK to UTF-8.
expect "password set" "$(cli -p COM3 passwd 密码)"
expect "password  密码" "$(cli -p COM3 show --show-password)"
expect "password set" "$(printf '新密码\r\n' | cli -p COM4 passwd)"
expect "password  新密码" "$(cli -p COM4 show --show-password)"
expect "你好" "$(cli -p COM3 exec --quiet 500 echo 你好)"

printf 'port,mode,ip,mask,gateway,password\nCOM3,dhcp,,,,\nCOM4,static,10.0.0.4,255.255.255.0,10.0.0.1,四号\nCOM5,dhcp,,,,\nCOM6,dhcp,,,,\n' \
  >"$work/rows.csv"
out=$(cli --json --timeout 1000 provision "$(winepath_of "$work/rows.csv")") && fail "provision ignored the silent port: $out"
python3 - "$out" <<'PY'
import json, sys
rows = json.loads(sys.argv[1])["rows"]
assert [(r["port"], r["result"]) for r in rows] == [("COM3", "ok"), ("COM4", "ok"), ("COM5", "no_answer"),
                                                   ("COM6", "ok")], rows
assert rows[1]["read_back"]["ip"] == "10.0.0.4" and rows[1]["read_back"]["password_verified"], rows
PY
expect '"dhcp":true' "$(cli -p COM3 --json show)"
echo "cli-wine-test: passed"
