#!/usr/bin/env bash
# A member past 4 GiB, end to end: a generated file of SIZE bytes (default
# 4.5 GB: zeros with a numbered line at the start of every MiB, so that it
# packs fast and every MiB differs) is packed by create into a plain archive,
# which create --archive appends to each stub, and must come back whole
# through list (its size), test, extract (its bytes), and the stub under
# Wine, whose Extract a driver presses while it reads the progress bar (it
# must only move forward and end near 100%). The archive must carry the
# 64-bit sizes (0x42).
# It needs minutes and about 10 GB of free disk (the file, and one extracted
# copy at a time); it is not part of make test. Prints each step's time and
# the peak memory of create.
# Usage: scripts/check-large-member.sh [WORK_DIR]   (SIZE=4500000000 METHOD=lh7
#        STUBS="x86_64 i686": the stubs to run; i686 where 32-bit Wine runs)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(realpath -m "${1:-$here/build/large-member}")
size=${SIZE:-4500000000}
method=${METHOD:-lh7}
pack=$here/build/native/quorvel-pack
driver=$here/build/win64/progress_driver.exe
for need in "$pack" "$driver"; do
  [ -f "$need" ] || { echo "$need is missing: build the native and win64 trees (make dist)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (scripts/setup.sh installs it)" >&2; exit 1; }

mkdir -p "$work"
cleanup() { [ -n "${KEEP:-}" ] || rm -rf "$work"; }
trap cleanup EXIT
cd "$work"
needed=$((size * 2 + 500000000))
free=$(df --output=avail -B1 . | tail -n 1)
echo "work folder $work: $(df -h --output=avail . | tail -n 1 | tr -d ' ') free, about $((needed / 1000000000)) GB needed"
[ "$free" -ge "$needed" ] || { echo "not enough free disk space" >&2; exit 1; }
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

fail=0
bad() { echo "FAIL: $*"; fail=1; }
started=$(date +%s.%N)
step_start=$started
step() {  # what was done: prints it with its time
  local now
  now=$(date +%s.%N)
  printf '%-58s %7.1f s\n' "$1" "$(echo "$now - $step_start" | bc)"
  step_start=$now
}

python3 - big.bin "$size" <<'PY'
import sys
out, size = sys.argv[1], int(sys.argv[2])
block = bytearray(1 << 20)
with open(out, 'wb') as f:
    n = 0
    while size > 0:
        line = b'MiB %d of the large member\n' % n
        block[:len(line)] = line
        f.write(block[:min(size, len(block))])
        size -= min(size, len(block))
        block[:len(line)] = bytes(len(line))
        n += 1
PY
step "generated big.bin, $size bytes"

/usr/bin/time -v "$pack" create -q --method "$method" -o big.lzh big.bin 2> time.txt || { cat time.txt; exit 1; }
peak=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' time.txt)
step "create --method $method: $(stat -c %s big.lzh) bytes, peak $peak MB"

# The header's 64-bit sizes: the fixed part's fields are 0, the 0x42 header
# holds both sizes.
python3 - big.lzh "$size" <<'PY' || fail=1
import struct, sys
d = open(sys.argv[1], 'rb').read(4096)
packed32, size32 = struct.unpack_from('<II', d, 7)
at, sizes = 24, None
while (ext := struct.unpack_from('<H', d, at)[0]):
    if d[at + 2] == 0x42:
        sizes = struct.unpack_from('<QQ', d, at + 3)
    at += ext
print(f"header: method {d[2:7].decode()}, 32-bit fields {packed32} and {size32}, 0x42 sizes {sizes}")
if sizes is None or sizes[1] != int(sys.argv[2]) or packed32 or size32:
    print("FAIL: the header does not carry the 64-bit sizes")
    sys.exit(1)
PY

"$pack" list big.lzh > list.txt
sed 's/^/  /' list.txt
grep -qE "^-lh[0-9]-  +[0-9]+ +$size .* big\.bin$" list.txt || bad "list does not show $size bytes"
step "list"

"$pack" test big.lzh || bad "test"
step "test"

mkdir x
"$pack" extract -q big.lzh -o x || bad "extract"
[ "$(stat -c %s x/big.bin 2>/dev/null)" = "$size" ] || bad "extract: the file has $(stat -c %s x/big.bin) bytes"
cmp -s big.bin x/big.bin || bad "extract: other bytes"
rm -rf x
step "extract, compared"

source "$here/scripts/xvfb.sh"
source "$here/scripts/wine32.sh"
start_wine_display
trap 'stop_private_display; cleanup' EXIT  # start_wine_display set its own
step "Wine started on Xvfb $DISPLAY"
for arch in ${STUBS:-x86_64 i686}; do
  stub=$here/build/win64/quorvel-sfx.exe
  [ "$arch" = i686 ] && stub=$here/build/win32/quorvel-sfx.exe
  if [ "$arch" = i686 ] && ! wine_runs_32bit; then
    echo "the i686 stub is not run: ${QUORVEL_WINE32#no: }"
    continue
  fi
  [ -f "$stub" ] || { bad "$stub is missing: build the win64 and win32 trees"; continue; }
  # The archive packed above, appended (and decoded once more on the way).
  "$pack" create -q --stub "$stub" --archive big.lzh -o big.exe || { bad "$arch: create --archive"; continue; }
  step "create --archive: $arch self-extracting file, $(stat -c %s big.exe) bytes"
  mkdir stub-out
  "$here/scripts/wine-run.sh" "$driver" "Z:$work/big.exe" "Z:${work//\//\\}\\stub-out" | tr -d '\r' > driver.txt ||
    bad "$arch stub: the driver says it failed"
  # The positions seen, in order: forward only, ending near the end.
  positions=$(sed -n 's/^progress *\([0-9]*\)%.*/\1/p' driver.txt)
  echo "  $(head -n 1 driver.txt)"
  echo "  progress seen: $(wc -l <<< "$positions") positions, $(tr '\n' ' ' <<< "$positions" | cut -c1-100)... the last $(tail -n 1 <<< "$positions")%"
  echo "  $(tail -n 1 driver.txt)"
  sort -n -c <<< "$positions" 2>/dev/null || bad "$arch stub: the progress bar went back"
  [ "$(tail -n 1 <<< "$positions")" -ge 95 ] || bad "$arch stub: the progress bar ended at $(tail -n 1 <<< "$positions")%"
  [ "$(wc -l <<< "$positions")" -ge 20 ] || bad "$arch stub: the progress bar moved in too few steps"
  grep -q '^message box' driver.txt && bad "$arch stub: $(grep '^message box' driver.txt)"
  [ "$(stat -c %s stub-out/big.bin 2>/dev/null)" = "$size" ] ||
    bad "$arch stub: the file has $(stat -c %s stub-out/big.bin 2>/dev/null) bytes"
  cmp -s big.bin stub-out/big.bin || bad "$arch stub: other bytes"
  rm -rf stub-out big.exe
  step "$arch stub under Wine: extracted, compared"
done

echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'total %.0f s\n' "$(echo "$(date +%s.%N) - $started" | bc)"
[ $fail -eq 0 ] && echo "the ${size}-byte member went through create, list, test, extract and the stub"
exit $fail
