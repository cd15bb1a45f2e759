#!/usr/bin/env bash
# Decode speed of the packer's decoders of the older methods (src/legacy)
# beside lhasa's decoder, on the same 3 MB for every method: the first 2 MB
# of the C++ headers of /usr/include/c++/12 (sorted by path) and the first
# 1 MB of libstdc++.so.6.0.30, compressed by jlha's encoders (-lh1-, -lzs-,
# -lz5-), by the seed maker's writers (-pm1-, -pm2-; slow, made once), or
# stored (-lz4-). Prints MB/s of decoded output, the median of RUNS runs of
# each decoder, after a first run of each that must give the original bytes.
# The load of the machine is printed too: figures from a loaded machine are
# slower, not wrong.
#   scripts/bench-legacy.sh [RUNS]   (default 5; uses build/native/legacy_bench)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-5}
bench=$here/build/native/legacy_bench
work=$here/build/bench-legacy
[ -x "$bench" ] || { echo "no $bench (build the native tree first)" >&2; exit 1; }
mkdir -p "$work"

input=$work/input
if [ ! -f "$input" ]; then
  { find /usr/include/c++/12 -type f -print0 | sort -z | xargs -0 cat 2>/dev/null | head -c 2000000 || true; } >"$input.tmp"
  head -c 1000000 /usr/lib/x86_64-linux-gnu/libstdc++.so.6.0.30 >>"$input.tmp"
  mv "$input.tmp" "$input"
fi
echo "input: $(stat -c %s "$input") bytes; load before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
printf '%-6s %14s %14s %6s\n' method ours lhasa ratio
for method in -lh1- -lzs- -lz5- -lz4- -pm1- -pm2-; do
  stream=$work/input$method
  [ -f "$stream" ] || "$here/scripts/make-legacy-seeds.py" --encode "$method" "$input" "$stream"
  "$bench" "$method" "$stream" "$input" "$runs"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
