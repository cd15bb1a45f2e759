#!/usr/bin/env bash
# Size and packing time of quorvel-pack against jlha on the benchmark corpus
# (/usr/include/c++/12, libstdc++.so.6.0.30 and cmake: 785 files, 23.3 MB),
# both run here, one after the other, for -lh7- and -lh5-.
# Targets: -lh7- at most 0.97 x jlha's size, -lh5- at most jlha's size, and
# packing wall time no worse than jlha's.
# Usage: scripts/bench-pack.sh [PATH/TO/quorvel-pack] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pack=$(realpath "${1:-$here/build/native/quorvel-pack}")
work=${2:-$here/build/bench-pack}
mkdir -p "$work"
cd "$work"
if [ ! -d corpus ]; then
  mkdir -p corpus
  cp -r /usr/include/c++/12 corpus/c++12
  cp /usr/lib/x86_64-linux-gnu/libstdc++.so.6.0.30 "$(command -v cmake)" corpus/
fi
echo "corpus: $(find corpus -type f | wc -l) files, $(find corpus -type f -printf '%s\n' | paste -sd+ | bc) bytes"

seconds() { local s=$(date +%s.%N); "$@" > /dev/null 2>&1; local e=$(date +%s.%N); echo "$e - $s" | bc; }

status=0
printf '%-7s %12s %12s %7s %9s %9s %7s\n' method jlha quorvel ratio jlha-s quorvel-s t-ratio
for m in 7 5; do
  rm -f jlha-lh$m.lzh quorvel-lh$m.lzh
  tj=$(seconds jlha co$m jlha-lh$m.lzh corpus)
  tq=$(seconds "$pack" create -q --method lh$m -o quorvel-lh$m.lzh corpus)
  sj=$(stat -c %s jlha-lh$m.lzh)
  sq=$(stat -c %s quorvel-lh$m.lzh)
  ratio=$(echo "scale=4; $sq / $sj" | bc)
  tratio=$(echo "scale=3; $tq / $tj" | bc)
  printf '%-7s %12d %12d %7s %9.2f %9.2f %7s\n' "-lh$m-" "$sj" "$sq" "$ratio" "$tj" "$tq" "$tratio"
  limit=$([ $m = 7 ] && echo 0.97 || echo 1.00)
  if [ "$(echo "$ratio > $limit" | bc)" = 1 ]; then echo "  -lh$m-: size above ${limit} x jlha"; status=1; fi
  if [ "$(echo "$tq > $tj" | bc)" = 1 ]; then echo "  -lh$m-: slower than jlha"; status=1; fi
  lhasa -t quorvel-lh$m.lzh > /dev/null 2>&1 || { echo "  -lh$m-: lhasa -t fails"; status=1; }
done
exit $status
