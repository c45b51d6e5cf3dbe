#!/usr/bin/env bash
# The Win32 port identity reader under Wine. The test program installs its
# own Ports-class devices in the prefix and removes them again; COM5 is
# listed in SERIALCOMM with no device record behind it (nothing opens it, so
# its link leads nowhere).
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

exe=${QV_WIN64_DIR:?}/tests/port_identity_wine_test.exe
prefix=${QV_NATIVE_DIR:?}/wine-prefixes/port_identity
[ -f "$exe" ] || { echo "port-identity-wine-test: $exe not built" >&2; exit 1; }

QV_BARE_PORT=5 "$HERE/../../tools/wine/wine-run.sh" --prefix "$prefix" --com 5=/nonexistent/qv-bare-port \
  --timeout 180 -- "$exe"
