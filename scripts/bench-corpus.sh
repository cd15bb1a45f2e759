# The benchmarks' corpus, the same files for each of them: /usr/include/c++/12,
# libstdc++.so.6.0.30 and cmake (785 files, 23.2 MB), copied into DIR once
# (DIR.ready marks a complete copy).
#   source scripts/bench-corpus.sh; make_bench_corpus DIR
make_bench_corpus() {
  local dir=$1
  [ -f "$dir.ready" ] && [ -d "$dir" ] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -r /usr/include/c++/12 "$dir/c++12"
  cp /usr/lib/x86_64-linux-gnu/libstdc++.so.6.0.30 "$(command -v cmake)" "$dir/"
  touch "$dir.ready"
}
