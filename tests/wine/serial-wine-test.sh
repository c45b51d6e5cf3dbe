#!/usr/bin/env bash
# The Win32 serial port under Wine: COM3 and COM12 are the two ends of a
# socat pty pair; the test program opens COM3 as the port under test and
# plays the device on COM12. A second run with no port mapped checks that the
# system's list then holds none.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../../tools/wine/lib.sh"

exe=${QV_WIN64_DIR:?}/tests/serial_wine_test.exe
prefix=${QV_NATIVE_DIR:?}/wine-prefixes/serial
[ -f "$exe" ] || { echo "serial-wine-test: $exe not built" >&2; exit 1; }

work=$(mktemp -d /tmp/qv-serial-wine.XXXXXX)
qv_on_exit "rm -rf '$work'"
qv_make_pty_pair "$work" line

QV_PORT='\\.\COM3' QV_PEER='\\.\COM12' QV_EXPECT_PORTS=3,12 \
  "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --com 3="$QV_PTY_A" --com 12="$QV_PTY_B" \
  --timeout 240 -- "$exe"

QV_EXPECT_PORTS=none "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --timeout 60 -- "$exe" --gtest_filter='WineProbe.*'
