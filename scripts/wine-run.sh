#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix, quiet, and
# with code page 932 as a Japanese Windows would have it. wine64 starts 32-bit
# programs too, in the same prefix, where 32-bit Wine can run; where it cannot,
# a program that needs it (a 32-bit image, or a run of the 32-bit stub's tests)
# is not started: one line says why and the exit code is 77, which the test
# runner counts as skipped.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$here/scripts/wine32.sh"
if needs_wine32 "${1:-}" && ! wine_runs_32bit; then
  echo "${1:-wine}: not run: ${QUORVEL_WINE32#no: }" >&2
  exit 77
fi
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# QUORVEL_WINE_LOCALE=C.UTF-8 gives a Western Windows instead (code page 1252).
export LC_ALL="${QUORVEL_WINE_LOCALE:-ja_JP.UTF-8}"
exec /usr/lib/wine/wine64 "$@"
