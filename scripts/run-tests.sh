#!/usr/bin/env bash
# Runs every test of the built trees: native tests directly, Windows tests
# under Wine with the project's prefix, on a private X display, for each stub:
# the shell's unit tests built for its processor and the end-to-end tests
# driving it. Ends with how many Wine tests ran for each stub.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
source scripts/wine32.sh
source scripts/xvfb.sh
start_wine_display
/usr/lib/wine/wineserver -w 2>/dev/null || true

# The Wine tests leave their results here (see tests/tests.cmake).
rm -rf build/win64/test-results build/win32/test-results

status=0
ctest --preset native -j "$(nproc)" || status=1
if ! wine_runs_32bit; then
  echo "i686 stub: its Wine tests are not run: ${QUORVEL_WINE32#no: }"
fi
ctest --preset win64 || status=1
ctest --preset win32 || status=1

# "N ran, F failed" from one test program's results, or why there are none.
cases() {
  local file=$1 ran failed
  if [ ! -f "$file" ]; then
    if [ "$2" = i686 ] && ! wine_runs_32bit; then echo "not run"; else echo "no results"; fi
    return
  fi
  ran=$(grep -o 'result="completed"' "$file" | wc -l)
  failed=$(sed -n 's/.*<testsuites tests="[0-9]*" failures="\([0-9]*\)".*/\1/p' "$file")
  echo "$ran ran, ${failed:-?} failed"
}
echo "Wine tests per stub:"
for stub in x86_64 i686; do
  tree=win64
  [ "$stub" = i686 ] && tree=win32
  printf '  %-6s  unit tests of the shell: %s; end-to-end: %s\n' "$stub" \
    "$(cases "build/$tree/test-results/win_unit_tests-$stub.xml" "$stub")" \
    "$(cases "build/win64/test-results/win_e2e_tests-$stub.xml" "$stub")"
done
exit $status
