#!/usr/bin/env bash
# Wall time of the stub's Test and Extract passes under wine64 against the
# floor program (the same files written from memory with CreateDirectoryA once
# per folder, CreateFileA, WriteFile in 64 KiB pieces, SetFileTime and
# CloseHandle) and against the Verify pass (the engine decoding and checking
# every member, writing nothing), alternating in one process: medians, minima,
# the process's processor time (what a run did itself, apart from waiting for
# the disk or the Wine server), the ratio pass / floor and what the pass adds
# to the floor.
#
# Usage: scripts/bench-pass.sh [--archive FILE] [--runs N] [--window] [BUILD_TREE [RUNS]]
#   default archive: the benchmark corpus (/usr/include/c++/12,
#     libstdc++.so.6.0.30 and cmake: 785 files, 23.3 MB) packed by jlha with
#     -lh7- and level-2 headers;
#   --archive FILE: any plain .lzh (scripts/make-many-files.sh makes one of
#     50,000 small files); its files are checked against jlha's extraction;
#   --window: the passes report to a real main dialog on a private display;
#   BUILD_TREE: a win64 tree (default build/win64); RUNS: default 5.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
archive=
runs=5
window=
tree=
while [ $# -gt 0 ]; do
  case "$1" in
    --archive) archive=$(realpath "$2"); shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --window) window=--window; shift ;;
    *) if [ -z "$tree" ]; then tree=$1; else runs=$1; fi; shift ;;
  esac
done
tree=$(cd "${tree:-$here/build/win64}" && pwd)  # Wine needs it absolute
work=$tree/bench-pass
bench=$tree/pass_bench.exe
cmake --build "$tree" --target pass_bench -j2 >/dev/null
mkdir -p "$work"

if [ -z "$archive" ]; then
  archive=$work/corpus-lh7.lzh
  reference=$work/corpus
  if [ ! -f "$archive" ]; then
    source "$here/scripts/bench-corpus.sh"
    make_bench_corpus "$work/corpus"
    (cd "$work" && jlha c2o7q corpus-lh7.lzh corpus >/dev/null)
  fi
fi

if [ -n "$window" ] && [ -z "${DISPLAY:-}" ]; then
  . "$here/scripts/xvfb.sh"
  start_wine_display
fi

rm -rf "$work/out" "$work/reference"
mkdir -p "$work/out"
# What earlier writes left for the disk is written before the runs begin.
sync
echo "archive: $archive, $(stat -c %s "$archive") bytes"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$here/scripts/wine-run.sh" "$bench" "Z:${archive//\//\\}" "Z:${work//\//\\}\\out" "$runs" $window \
  2> >(grep -v 'FS volume label' >&2)
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
check=$work/out/pass0
if [ -n "${reference:-}" ]; then
  # The default corpus is packed with its top folder, as the pass writes it.
  check=$work/out/pass0/corpus
else
  # What an independent extractor makes of the archive is what the pass must write.
  reference=$work/reference
  mkdir -p "$reference"
  (cd "$reference" && jlha xq "$archive" >/dev/null)
fi
if diff -r "$reference" "$check" >/dev/null && diff -r "$work/out/pass0" "$work/out/floor0" >/dev/null; then
  echo "pass0 and floor0 match the archive's files byte for byte"
else
  echo "pass0 or floor0 differs from the archive's files" >&2
  exit 1
fi
rm -rf "$work/out" "$work/reference"
