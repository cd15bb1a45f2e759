#!/usr/bin/env bash
# Decode speed of `quorvel-pack test` against `7zz t` and `lhasa -t` on the
# same -lh5- and -lh7- archives (made by jlha, level-2 headers) of one corpus:
# /usr/include/c++/12 plus the libstdc++ and cmake binaries. Runs alternate
# between the tools; the median of each is printed with MB/s and the ratio
# that the goal is stated in: quorvel-pack test ÷ 7zz t (goal: at most 0.5).
# Before timing, the differential fuzz target (when built) checks that the
# engine gives the reference decoder's and lhasa's bytes for every member of
# both archives. The load of the machine is printed before and after: the
# machine is shared, and figures from a loaded one spread more.
#   scripts/bench-decode.sh [RUNS]   (default 7; uses build/native/quorvel-pack
#                                     or $QUORVEL_PACK)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-7}
pack=$(realpath "${QUORVEL_PACK:-$here/build/native/quorvel-pack}")
judge=$here/build/native/diff_decode_fuzz
work=$(mkdir -p "${QUORVEL_BENCH_DIR:-$here/build/bench-decode}" && cd "${QUORVEL_BENCH_DIR:-$here/build/bench-decode}" && pwd)
[ -x "$pack" ] || { echo "no packer at $pack (build the native tree first)" >&2; exit 1; }
for tool in jlha 7zz lhasa; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

mkdir -p "$work"
corpus=$work/corpus
source "$here/scripts/bench-corpus.sh"
make_bench_corpus "$corpus"
files=$(find "$corpus" -type f | wc -l)
bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
for m in 5 7; do
  if [ ! -f "$work/corpus-lh$m.lzh" ]; then
    (cd "$work" && jlha "c2o${m}q" "corpus-lh$m.lzh.tmp" corpus)
    mv "$work/corpus-lh$m.lzh.tmp" "$work/corpus-lh$m.lzh"
  fi
done
printf 'corpus: %d files, %.1f MB\n' "$files" "$(echo "$bytes / 1000000" | bc -l)"

if [ -x "$judge" ]; then
  if QUORVEL_DIFF_MEMBER_LIMIT=$((1 << 40)) QUORVEL_DIFF_MEMBERS=1000000 \
      "$judge" "$work/corpus-lh5.lzh" "$work/corpus-lh7.lzh" >"$work/judge.log" 2>&1; then
    echo "exact: every member of both archives decodes to the reference decoder's and lhasa's bytes"
  else
    echo "NOT EXACT: the engine differs from its judges, see $work/judge.log" >&2
    exit 1
  fi
fi

now_ns() { date +%s%N; }
time_ms() {  # runs the command once, prints its wall time in ms; fails when it fails
  local t0 t1
  t0=$(now_ns)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
  t1=$(now_ns)
  echo $(( (t1 - t0) / 1000000 ))
}
median() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
load() { cut -d' ' -f1-3 /proc/loadavg; }

echo "load before: $(load) ($(nproc) cores)"
for m in 5 7; do
  archive=$work/corpus-lh$m.lzh
  : >"$work/q.ms"; : >"$work/z.ms"; : >"$work/l.ms"
  for _ in $(seq "$runs"); do
    time_ms "$pack" test "$archive" >>"$work/q.ms"
    time_ms 7zz t "$archive" >>"$work/z.ms"
    time_ms lhasa -t "$archive" >>"$work/l.ms"
  done
  q=$(median <"$work/q.ms"); z=$(median <"$work/z.ms"); l=$(median <"$work/l.ms")
  mbs() { echo "scale=1; $bytes / 1000 / $1" | bc; }
  printf -- '-lh%d- (%d bytes): quorvel-pack test %s ms (%s MB/s), 7zz t %s ms (%s MB/s), lhasa -t %s ms (%s MB/s)\n' \
    "$m" "$(stat -c %s "$archive")" "$q" "$(mbs "$q")" "$z" "$(mbs "$z")" "$l" "$(mbs "$l")"
  printf '        quorvel-pack test / 7zz t: %s (goal <= 0.5); / lhasa -t: %s\n' \
    "$(echo "scale=2; $q / $z" | bc | sed 's/^\./0./')" "$(echo "scale=2; $q / $l" | bc | sed 's/^\./0./')"
done
echo "load after: $(load)"
