#!/usr/bin/env bash
# Runs one libFuzzer target of the native tree for longer than ctest does.
#   scripts/fuzz.sh header_fuzz|decode_fuzz [SECONDS]   (default 600)
# New inputs collect in build/native/fuzz-corpus/TARGET; a crash leaves its
# input in the current folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
target=${1:?usage: scripts/fuzz.sh header_fuzz|decode_fuzz [SECONDS]}
seconds=${2:-600}
tree=${QUORVEL_NATIVE_TREE:-$here/build/native}
cmake --build "$tree" --target "$target" -j2
mkdir -p "$tree/fuzz-corpus/$target"
exec "$tree/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  "$tree/fuzz-corpus/$target" "$here/tests/fuzz/corpus/$target"
