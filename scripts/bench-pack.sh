#!/usr/bin/env bash
# Size and packing time of quorvel-pack against jlha on the benchmark corpus
# (/usr/include/c++/12, libstdc++.so.6.0.30 and cmake: 785 files, 23.2 MB),
# for -lh5-, -lh6- and -lh7- in one run. Per method it prints both archive
# sizes and their ratio, the ratio of the member data alone (the archives
# without their headers), and the median wall time of RUNS packings of each
# tool, run alternately, with the ratio of the medians and our CPU time.
# The load average comes before and after: the machine's cores are shared,
# and a loaded machine takes the second core from our threads, not jlha's.
# Goals: -lh7- at most 0.96 x jlha's size, -lh5- and -lh6- at most jlha's,
# and no method slower than jlha.
# Two more modes, each with its own goal:
#   --memory [MB...]   the peak memory (/usr/bin/time -v) of create packing one
#                      generated file of each size (default 1200 MB, the corpus
#                      over and over), with METHODS (default "lh0 lh5 lh7"):
#                      at most 256 MB, and the file compressed, not stored
#   --many-files [FILES [FOLDERS]]
#                      the default archive of the files make-many-files.sh
#                      makes (FILES of about 100 bytes, default 50000, in
#                      FOLDERS folders, default 100) against jlha's -lh7-
#                      one: no larger
# Usage: scripts/bench-pack.sh [PATH/TO/quorvel-pack] [WORK_DIR]   (RUNS=3)
#        scripts/bench-pack.sh --memory [MB...] | --many-files [FILES [FOLDERS]]
#          (the packer from PACK, default build/native/quorvel-pack)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=corpus
case ${1:-} in
  --memory | --many-files) mode=${1#--}; shift; set -- "${PACK:-$here/build/native/quorvel-pack}" "" "$@" ;;
esac
pack=$(realpath "${1:-$here/build/native/quorvel-pack}")
work=${2:-$here/build/bench-pack}
shift $(($# < 2 ? $# : 2))
runs=${RUNS:-3}
[ -x "$pack" ] || { echo "no packer at $pack (build the native tree first)" >&2; exit 1; }
for tool in jlha lhasa python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
mkdir -p "$work"
cd "$work"
source "$here/scripts/bench-corpus.sh"
make_bench_corpus corpus

# Peak resident memory of create on generated files.
if [ $mode = memory ]; then
  [ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (scripts/setup.sh installs it)" >&2; exit 1; }
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '%-8s %-6s %9s %8s %13s %6s %s\n' size method peak-MB wall-s archive ratio member
  status=0
  for mb in "${@:-1200}"; do
    input=large-${mb}MB.bin
    python3 - "$input" $((mb * 1000000)) <<'PY'
import os, sys
out, size = sys.argv[1], int(sys.argv[2])
if os.path.exists(out) and os.path.getsize(out) == size:
    sys.exit(0)
names = sorted(os.path.join(top, f) for top, _, files in os.walk('corpus') for f in files)
blob = b''.join(open(n, 'rb').read() for n in names)
with open(out, 'wb') as f:
    while size > 0:
        f.write(blob[:size])
        size -= min(size, len(blob))
PY
    for m in ${METHODS:-lh0 lh5 lh7}; do
      rm -f large.lzh
      /usr/bin/time -v "$pack" create -q --method "$m" -o large.lzh "$input" 2> time.txt
      peak=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' time.txt)
      wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' time.txt)
      size=$(stat -c %s large.lzh)
      member=$("$pack" list large.lzh | awk 'NR > 1 && $1 ~ /^-lh/ {print $1; exit}')
      "$pack" test large.lzh > /dev/null || { echo "  $m: quorvel-pack test fails"; status=1; }
      printf '%-8s %-6s %9s %8s %13d %6s %s\n' "${mb}MB" "-$m-" "$peak" "$wall" "$size" \
        "$(echo "scale=4; $size / ($mb * 1000000)" | bc)" "$member"
      if [ "$(echo "$peak > 256" | bc)" = 1 ]; then echo "  $m: peak above 256 MB"; status=1; fi
      if [ "$m" != lh0 ] && [ "$member" = -lh0- ]; then echo "  $m: stored, not compressed"; status=1; fi
    done
  done
  rm -f large.lzh time.txt
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit $status
fi

# Many small files: the headers weigh as much as the data. jlha's archive
# comes from make-many-files.sh; ours packs what lhasa extracts from it (the
# same names, bytes and times).
if [ $mode = many-files ]; then
  files=${1:-50000} folders=${2:-100}
  rm -rf many-jlha.lzh many-quorvel.lzh many-tree
  "$here/scripts/make-many-files.sh" many-jlha.lzh "$files" "$folders" > /dev/null
  mkdir many-tree
  (cd many-tree && lhasa -xq ../many-jlha.lzh)
  (cd many-tree && "$pack" create -q -o ../many-quorvel.lzh many)
  rm -rf many-tree
  sj=$(stat -c %s many-jlha.lzh) sq=$(stat -c %s many-quorvel.lzh)
  ratio=$(echo "scale=4; $sq / $sj" | bc)
  printf '%s files in %s folders: jlha %d B, quorvel %d B, size %s\n' "$files" "$folders" "$sj" "$sq" "$ratio"
  lhasa -t many-quorvel.lzh > /dev/null 2>&1 || { echo "  lhasa -t fails"; exit 1; }
  if [ "$(echo "$ratio > 1" | bc)" = 1 ]; then echo "  larger than jlha's"; exit 1; fi
  exit 0
fi

echo "corpus: $(find corpus -type f | wc -l) files, $(find corpus -type f -printf '%s\n' | paste -sd+ | bc) bytes"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Runs a command, prints its wall and CPU seconds (user + system).
timed() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
c0, t0 = cpu(), time.perf_counter()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
print(f"{time.perf_counter() - t0:.3f} {cpu() - c0:.3f}")
PY
}
median() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
# The compressed bytes of every member of a level-2 archive, headers left out.
data_bytes() {
  python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
off = total = 0
while off + 21 <= len(d) and d[off] and struct.unpack_from('<H', d, off)[0]:
    if d[off + 20] != 2:
        sys.exit(f"{sys.argv[1]}: a header of level {d[off + 20]}")
    size, packed = struct.unpack_from('<H', d, off)[0], struct.unpack_from('<I', d, off + 7)[0]
    total += packed
    off += size + packed
print(total)
PY
}

status=0
printf '%-6s %10s %10s %6s %6s %7s %7s %6s %6s\n' \
  method jlha quorvel size data jlha-s ours-s time cpu-s
for m in 5 6 7; do
  : > jlha.t; : > ours.t
  for _ in $(seq "$runs"); do
    rm -f "jlha-lh$m.lzh" "quorvel-lh$m.lzh"
    timed jlha "c2o${m}q" "jlha-lh$m.lzh" corpus >> jlha.t
    timed "$pack" create -q --method "lh$m" -o "quorvel-lh$m.lzh" corpus >> ours.t
  done
  tj=$(cut -d' ' -f1 jlha.t | median); tq=$(cut -d' ' -f1 ours.t | median)
  cq=$(cut -d' ' -f2 ours.t | median)
  sj=$(stat -c %s "jlha-lh$m.lzh"); sq=$(stat -c %s "quorvel-lh$m.lzh")
  ratio=$(echo "scale=4; $sq / $sj" | bc)
  data=$(echo "scale=4; $(data_bytes "quorvel-lh$m.lzh") / $(data_bytes "jlha-lh$m.lzh")" | bc)
  tratio=$(echo "scale=3; $tq / $tj" | bc)
  printf '%-6s %10d %10d %6s %6s %7.2f %7.2f %6s %6.2f\n' \
    "-lh$m-" "$sj" "$sq" "$ratio" "$data" "$tj" "$tq" "$tratio" "$cq"
  limit=$([ $m = 7 ] && echo 0.96 || echo 1.00)
  if [ "$(echo "$ratio > $limit" | bc)" = 1 ]; then echo "  -lh$m-: size above $limit x jlha"; status=1; fi
  if [ "$(echo "$tq > $tj" | bc)" = 1 ]; then echo "  -lh$m-: slower than jlha"; status=1; fi
  lhasa -t "quorvel-lh$m.lzh" > /dev/null 2>&1 || { echo "  -lh$m-: lhasa -t fails"; status=1; }
done
rm -f jlha.t ours.t
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
