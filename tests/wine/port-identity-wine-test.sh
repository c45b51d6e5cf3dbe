#!/usr/bin/env bash
# The Win32 port list and its identities under Wine. The test program
# installs its own Ports-class devices for COM21 to COM24 in the prefix and
# removes them again; SERIALCOMM lists those four, and COM5 with no device
# record behind it (nothing opens any of them, so their links lead nowhere).
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

exe=${QV_WIN64_DIR:?}/tests/port_identity_wine_test.exe
prefix=${QV_NATIVE_DIR:?}/wine-prefixes/port_identity
[ -f "$exe" ] || { echo "port-identity-wine-test: $exe not built" >&2; exit 1; }

QV_BARE_PORT=5 "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --com 5=/nonexistent/qv-bare-port \
  --com 21=/nonexistent/qv-port-21 --com 22=/nonexistent/qv-port-22 --com 23=/nonexistent/qv-port-23 \
  --com 24=/nonexistent/qv-port-24 \
  --timeout 180 -- "$exe"
