#!/usr/bin/env bash
# The Windows zip as a user gets it: one folder with quorvel-pack.exe and both
# stubs beside it, and the licence; unpacked, the program (under Wine) finds the stubs beside
# itself and packs self-extracting files that test and extract.
#   windows_zip.sh quorvel-VERSION-windows.zip VERSION
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
zip=$(built windows_zip "$1" "make package builds it")
version=$2
pack_test windows_zip

folder=quorvel-$version-windows
want=$(printf '%s\n' "$folder/COPYRIGHT.txt" "$folder/LICENSE.txt" "$folder/quorvel-pack.exe" \
  "$folder/quorvel-sfx-i686.exe" "$folder/quorvel-sfx-x86_64.exe")
[ "$(unzip -Z1 "$zip" | grep -v '/$' | sort)" = "$want" ] || bad "the zip holds: $(unzip -Z1 "$zip")"
unzip -q "$zip"
pack=$work/$folder/quorvel-pack.exe
runner=("$here/scripts/wine-run.sh")
run --version
[ "$out" = "quorvel-pack $version" ] || bad "--version says: $out"

mkdir -p src
printf 'read me\n' > src/readme.txt
seq 1 20000 > src/numbers.txt
for arch in x86_64 i686; do
  run create -q --stub $arch -o "$arch.exe" src
  [ "$rc" = 0 ] || bad "create --stub $arch: $err"
  cmp -s <(head -c 512 "$arch.exe") <(head -c 512 "$folder/quorvel-sfx-$arch.exe") ||
    bad "$arch.exe does not start with the zip's $arch stub"
  run info "$arch.exe"
  grep -q "^stub: *$arch " <<< "$out" || bad "info $arch.exe: $out"
  run extract -q "$arch.exe" -o "out-$arch"
  [ "$rc" = 0 ] && diff -r src "out-$arch/src" > /dev/null || bad "$arch.exe does not extract to what was packed"
done

finish "$(basename "$zip") unpacks and packs with the stubs beside the program"
