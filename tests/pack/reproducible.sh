#!/usr/bin/env bash
# SOURCE_DATE_EPOCH: the same tree checked out at two different times (file
# and folder times after the epoch) packs into byte-identical files, while
# times before the epoch stay as they are (to the second, or exactly with
# --exact-times); without it the two differ; a value that is no number of
# seconds is refused.
#   reproducible.sh PATH/TO/quorvel-pack [STUB.exe]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
stub=
if [ -f "${2:-}" ]; then stub=$(realpath "$2"); fi
pack_test reproducible "$1"

epoch=1700000000  # 2023-11-14T22:13:20Z
# One checkout: the same bytes, every time after the epoch (taken from $1),
# but for old.txt, which was last changed in 2001.
checkout() {  # folder time
  mkdir -p "$1/tree/docs"
  printf 'read me\n' > "$1/tree/docs/readme.txt"
  seq 1 5000 > "$1/tree/numbers.txt"
  printf 'old\n' > "$1/tree/old.txt"
  touch -d "$2" "$1/tree/docs/readme.txt" "$1/tree/numbers.txt" "$1/tree/docs" "$1/tree"
  touch -d '2001-02-03 04:05:06.5 UTC' "$1/tree/old.txt"
}
checkout first '2030-01-01 10:00:00.25 UTC'
checkout second '2031-06-07 08:09:10 UTC'
printf 'notice\n' > notice.txt
touch -d '2032-01-01 UTC' notice.txt

outputs=(a.lzh)
[ -z "$stub" ] || outputs+=(a.exe)
for out in "${outputs[@]}"; do
  options=(--quiet)
  [ "$out" = a.lzh ] || options+=(--stub "$stub" --notice ../notice.txt)
  (cd first && SOURCE_DATE_EPOCH=$epoch "$pack" create "${options[@]}" -o "../1-$out" tree)
  (cd second && SOURCE_DATE_EPOCH=$epoch "$pack" create "${options[@]}" -o "../2-$out" tree)
  cmp -s "1-$out" "2-$out" || bad "$out: two checkouts give different bytes under SOURCE_DATE_EPOCH"
  (cd first && "$pack" create "${options[@]}" -o "../3-$out" tree)
  ! cmp -s "1-$out" "3-$out" || bad "$out: the times of the checkout make no difference without it"
done

# What was stored: the epoch for what was later, the old time as it was, to
# the second; with --exact-times to the fraction.
(cd first && SOURCE_DATE_EPOCH=$epoch "$pack" create -q --exact-times -o ../exact.lzh tree)
for archive in 1-a.lzh exact.lzh; do
  "$pack" list --json $archive > list.json
  python3 - list.json $archive <<'PY' || fail=1
import json, sys
members = {m["name"]: m["modified"] for m in json.load(open(sys.argv[1]))["members"]}
want = {"tree/": "2023-11-14T22:13:20Z", "tree/docs/": "2023-11-14T22:13:20Z",
        "tree/docs/readme.txt": "2023-11-14T22:13:20Z", "tree/numbers.txt": "2023-11-14T22:13:20Z",
        "tree/old.txt": "2001-02-03T04:05:06.5Z" if sys.argv[2] == "exact.lzh" else "2001-02-03T04:05:06Z"}
if members != want:
    print("reproducible: FAIL: stored times in", sys.argv[2], members)
    sys.exit(1)
PY
done

# Not a number of seconds: refused before anything is written.
for value in soon -5 1.5 99999999999999999999; do
  rc=0
  (cd first && SOURCE_DATE_EPOCH=$value "$pack" create -q -o ../bad.lzh tree) 2> err.txt || rc=$?
  [ "$rc" = 1 ] || bad "SOURCE_DATE_EPOCH=$value: exit code $rc"
  grep -qF "quorvel-pack create: SOURCE_DATE_EPOCH='$value' is not a whole number of seconds" err.txt ||
    bad "SOURCE_DATE_EPOCH=$value: $(cat err.txt)"
  [ ! -e bad.lzh ] || bad "SOURCE_DATE_EPOCH=$value left an output"
done

finish "same bytes from checkouts at different times (${outputs[*]})"
