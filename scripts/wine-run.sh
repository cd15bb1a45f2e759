#!/usr/bin/env bash
# Runs a Windows program under wine64 with the project's own prefix, quiet, and
# with code page 932 as a Japanese Windows would have it.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL=ja_JP.UTF-8
exec /usr/lib/wine/wine64 "$@"
