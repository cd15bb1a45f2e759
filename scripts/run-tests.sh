#!/usr/bin/env bash
# Runs every test of the built trees: native tests directly, Windows tests
# under wine64 with the project's prefix, on a private X display.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
source scripts/xvfb.sh
start_wine_display
/usr/lib/wine/wineserver -w 2>/dev/null || true

status=0
ctest --preset native -j "$(nproc)" || status=1
ctest --preset win64 || status=1
exit $status
