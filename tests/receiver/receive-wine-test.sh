#!/usr/bin/env bash
# The receive path under Wine: COM5 and COM9 are the two ends of a socat pty
# pair; the test program opens COM5 as the utility's port and plays the
# device on COM9. socat, Wine's server and the temporary files go on every
# exit path (tools/wine/lib.sh, wine-run.sh).
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WINE_DIR=$HERE/../../tools/wine
source "$WINE_DIR/lib.sh"

exe=${QV_WIN64_DIR:?}/tests/receive_wine_test.exe
prefix=${QV_NATIVE_DIR:?}/wine-prefixes/receiver
[ -f "$exe" ] || { echo "receive-wine-test: $exe not built" >&2; exit 1; }

work=$(mktemp -d /tmp/qv-receive-wine.XXXXXX)
qv_on_exit "rm -rf '$work'"
qv_make_pty_pair "$work" line

QV_PORT='\\.\COM5' QV_PEER='\\.\COM9' \
  "$WINE_DIR/wine-run.sh" --prefix "$prefix" --com 5="$QV_PTY_A" --com 9="$QV_PTY_B" \
  --timeout 240 -- "$exe"
