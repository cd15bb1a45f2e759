#!/usr/bin/env bash
# Wall time of the stub's Test and Extract passes under Wine on the benchmark
# corpus (/usr/include/c++/12, libstdc++.so.6.0.30 and cmake: 785 files,
# 23.3 MB) packed by jlha with -lh7- and level-2 headers.
# Usage: scripts/bench-pass.sh [BUILD_TREE] [RUNS]   (BUILD_TREE: a win64 tree)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$(cd "${1:-$here/build/win64}" && pwd)  # Wine needs it absolute
runs=${2:-5}
work=$tree/bench-pass
bench=$tree/pass_bench.exe
[ -x "$bench" ] || cmake --build "$tree" --target pass_bench -j2 >/dev/null
mkdir -p "$work"
if [ ! -f "$work/corpus-lh7.lzh" ]; then
  rm -rf "$work/corpus"
  mkdir -p "$work/corpus"
  cp -r /usr/include/c++/12 "$work/corpus/c++12"
  cp /usr/lib/x86_64-linux-gnu/libstdc++.so.6.0.30 "$(command -v cmake)" "$work/corpus/"
  (cd "$work" && jlha c2o7q corpus-lh7.lzh corpus >/dev/null)
fi
rm -rf "$work/out"
mkdir -p "$work/out"
echo "archive: $(stat -c %s "$work/corpus-lh7.lzh") bytes, $(find "$work/corpus" -type f | wc -l) files"
start=$(date +%s.%N)
"$here/scripts/wine-run.sh" "$bench" "Z:${work//\//\\}\\corpus-lh7.lzh" "Z:${work//\//\\}\\out" "$runs"
end=$(date +%s.%N)
echo "wall time of the whole run under wine64 (start-up included): $(echo "$end - $start" | bc) s"
diff -r "$work/corpus" "$work/out/run0/corpus" >/dev/null && echo "run0 matches the corpus byte for byte"
rm -rf "$work/out"
