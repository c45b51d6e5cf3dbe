#!/usr/bin/env bash
# quorvane-cli.exe under Wine against two virtual devices mapped as COM3 and
# COM4: ports, show, set, passwd, exec and a provision of both ports; and the
# program imports nothing but system DLLs.
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
for n in 3 4; do
  "$device" --link "$work/com$n" --frames-log "$work/frames$n" --quiet >/dev/null &
  qv_on_exit "kill $! 2>/dev/null"
  qv_wait_for "$work/com$n" 10
done

cli() { "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --com 3="$work/com3" --com 4="$work/com4" \
          --timeout 120 -- "$exe" "$@" | tr -d '\r'; }
fail() { echo "cli-wine-test: $*" >&2; exit 1; }
expect() {   # expect WHAT TEXT: TEXT must hold WHAT
  grep -qF -- "$1" <<<"$2" || fail "expected '$1' in: $2"
}

out=$(cli ports)
[ "$out" = $'COM3\nCOM4' ] || fail "ports gave: $out"

expect "ip        192.168.1.10" "$(cli -p COM3 show)"
expect '"result":"ok"' "$(cli -p COM3 --json set static 10.0.0.3 255.255.255.0 10.0.0.1)"
expect '"ip":"10.0.0.3"' "$(cli -p COM3 --json show)"
# Chinese in both directions: the wide command line to GBK, GBK to UTF-8.
expect "password set" "$(cli -p COM3 passwd 密码)"
expect "password  密码" "$(cli -p COM3 show --show-password)"
expect "你好" "$(cli -p COM3 exec --quiet 500 echo 你好)"

printf 'port,mode,ip,mask,gateway,password\nCOM3,dhcp,,,,\nCOM4,static,10.0.0.4,255.255.255.0,10.0.0.1,四号\n' \
  >"$work/rows.csv"
out=$(cli --json provision "$(winepath_of "$work/rows.csv")") || fail "provision failed: $out"
python3 - "$out" <<'PY'
import json, sys
rows = json.loads(sys.argv[1])["rows"]
assert [(r["port"], r["result"]) for r in rows] == [("COM3", "ok"), ("COM4", "ok")], rows
assert rows[1]["read_back"]["ip"] == "10.0.0.4" and rows[1]["read_back"]["password_verified"], rows
PY
expect '"dhcp":true' "$(cli -p COM3 --json show)"
echo "cli-wine-test: passed"
