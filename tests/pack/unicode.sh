#!/usr/bin/env bash
# Names and texts outside code page 932. A tree with such names (and one whose
# name is the stand-in of another) packs, lists (also --json) and extracts
# with its exact names and bytes; lhasa tests the archive and extracts it under
# the stand-ins, each a distinct name. A tree whose names all fit code page 932
# packs to the bytes it always did, its block too. Texts outside the code page
# make the block UTF-8 for the x86_64 stub (and then refuse an appended
# archive's code page 932 notice) and are refused for the i686 one, which
# gets member names outside it as stand-ins, with a note. The x86_64 stub
# extracts the exact names under Wine in both code pages, from either packer.
#   unicode.sh PATH/TO/quorvel-pack [X86_64-STUB.exe I686-STUB.exe]
# A Windows packer (*.exe) runs through scripts/wine-run.sh.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
stubs=()
for s in "${@:2}"; do [ -f "$s" ] && stubs+=("$(realpath "$s")"); done
pack_test unicode "$1"
native=0
[ ${#runner[@]} -eq 0 ] && native=1

mkdir -p in/src/Ελληνικά
for name in café.txt 中文简体.txt 한국어.txt 😀.txt 日本語.txt 'caf#00E9.txt' Ελληνικά/readme.txt; do
  printf '%s\n' "$name" > "in/src/$name"
done
run create -q -o u.lzh in/src
[ "$rc" = 0 ] || bad "create: exit code $rc ($err)"
run list --json u.lzh
python3 - "$out" <<'PY' || fail=1
import json, sys
names = [m["name"] for m in json.loads(sys.argv[1])["members"]]
want = ["src/", "src/caf#00E9.txt", "src/café.txt", "src/Ελληνικά/", "src/Ελληνικά/readme.txt",
        "src/中文简体.txt", "src/日本語.txt", "src/한국어.txt", "src/😀.txt"]
if names != want or any("nameBytes" in m for m in json.loads(sys.argv[1])["members"]):
    print("unicode: FAIL: list --json gives", names)
    sys.exit(1)
PY
run list u.lzh
grep -qF ' src/Ελληνικά/readme.txt' <<< "$out" || bad "list: $out"
run extract -q -o out u.lzh
[ "$rc" = 0 ] || bad "extract: exit code $rc ($err)"
diff -r in out > /dev/null || bad "extract: names or bytes differ: $(diff -r in out | head -3)"

# lhasa knows only the byte names: it tests every member and writes each one
# under its stand-in (code page 932 bytes as they are, for the characters
# that the code page has).
if command -v lhasa > /dev/null; then
  lhasa -t u.lzh > /dev/null 2>&1 || bad "lhasa -t"
  mkdir lhasa && (cd lhasa && lhasa -xq ../u.lzh) || bad "lhasa -x"
  got=$(cd lhasa && find . -type f | LC_ALL=C sort | python3 -c '
import sys
print("|".join(l.decode("cp932") for l in sys.stdin.buffer.read().split(b"\n") if l))')
  want='./src/#D55C#AD6D#C5B4.txt|./src/#D83D#DE00.txt|./src/caf#00E9.txt|./src/caf#00E9~E4BBD8DA.txt|./src/Ελληνικ#03AC/readme.txt|./src/中文#7B80体.txt|./src/日本語.txt'
  [ "$got" = "$want" ] || bad "lhasa wrote: $got"
fi

# A path in capitals alone, which readers of MS-DOS members take for one in
# lower case: the packer names its code page, so that the packer and the stub
# give it back as it is; lhasa, which knows no such header, lowers it.
mkdir -p caps/DOCS && printf 'caps\n' > caps/DOCS/README.TXT
run create -q -o caps.lzh caps/DOCS
run list --json caps.lzh
grep -qF '"DOCS/README.TXT"' <<< "$out" || bad "capitals: list --json gives $out"
if command -v lhasa > /dev/null; then
  mkdir lhasa-caps && (cd lhasa-caps && lhasa -xq ../caps.lzh) || bad "lhasa -x capitals"
  [ -f lhasa-caps/docs/readme.txt ] || bad "lhasa wrote: $(cd lhasa-caps && find . -type f)"
fi

# Names that all fit code page 932: the bytes of every earlier packer.
mkdir -p fits/tree/サブ
printf 'こんにちは\n' > fits/tree/日本語.txt
seq 1 3000 > fits/tree/サブ/表示.txt
printf 'plain\n' > fits/tree/a.txt
touch -d '2020-01-02 03:04:05 UTC' fits/tree/日本語.txt fits/tree/サブ/表示.txt fits/tree/a.txt \
  fits/tree/サブ fits/tree
run create -q --method lh5 -o fits.lzh fits/tree
[ "$(sha256sum < fits.lzh)" = "d639803009c61cb6f415b414752bd03cbd05ce8995354ae3df8778bf8b7f0d39  -" ] ||
  bad "a tree of code page 932 names no longer packs to the bytes it did"

if [ ${#stubs[@]} -eq 2 ]; then
  x64=${stubs[0]} i686=${stubs[1]}
  run create -q --stub "$x64" --title 'テスト' --folder 'C:\テスト' --run setup.exe --overwrite \
    --method lh5 -o fits.exe fits/tree
  [ "$(dd if=fits.exe bs=1 skip=516 count=713 2> /dev/null | sha256sum)" = \
    "cc1876b6af538d5304933cc1c658da7b28ccc22bc44e23ee38d003519b8eb050  -" ] ||
    bad "a block of code page 932 texts is no longer what it was"
  printf 'Ünïcödé ✓\n' > notice.txt
  run create -q --stub "$x64" --title 'Café Setup' --notice notice.txt --language en -o utf8.exe in/src
  [ "$rc" = 0 ] || bad "create with a UTF-8 title: exit code $rc ($err)"
  run info --json utf8.exe
  python3 - "$out" <<'PY' || fail=1
import json, sys
d = json.loads(sys.argv[1])
if (d["title"], d["notice"]["text"], d["flags"]["value"], d["language"]) != ("Café Setup", "Ünïcödé ✓\n", 0x28, "en"):
    print("unicode: FAIL: info --json of the UTF-8 block:", d["title"], d["notice"], d["flags"], d["language"])
    sys.exit(1)
PY
  # An archive appended as it is keeps its notice: one in code page 932 cannot
  # join a UTF-8 block.
  printf 'ご注意\n' > jnotice.txt
  run create -q --notice jnotice.txt -o jnotice.lzh fits/tree
  run create --stub "$x64" --title 'Café Setup' --archive jnotice.lzh -o refused.exe
  [ "$rc" = 1 ] && [ ! -e refused.exe ] && grep -qF 'its notice is not UTF-8' <<< "$err" ||
    bad "a code page 932 notice appended behind a UTF-8 block: $rc $err"
  run create --stub "$i686" --title 'Café Setup' -o refused.exe in/src
  [ "$rc" = 1 ] && [ ! -e refused.exe ] || bad "i686 with a UTF-8 title: exit code $rc"
  [ "$err" = "quorvel-pack create: the title 'Café Setup' has no form in code page 932, which the i686 stub needs" ] ||
    bad "i686 refusal says: $err"
  run create --stub "$i686" -o i686.exe in/src
  [ "$rc" = 0 ] || bad "i686 with names outside code page 932: exit code $rc ($err)"
  grep -qF "6 member names outside code page 932: the i686 stub writes them under their code page 932 stand-ins" \
    <<< "$err" || bad "no note for the i686 stub: $err"
fi

# The x86_64 stub gives the exact names back under Wine, on a Japanese and on a
# Western system alike (code page 932 and 1252), from either packer.
if [ ${#stubs[@]} -eq 2 ] && [ -x /usr/lib/wine/wine64 ]; then
  run create -q --stub "${stubs[0]}" -o stub.exe in/src
  for locale in ja_JP.UTF-8 C.UTF-8; do
    rm -rf "stub-$locale" && mkdir "stub-$locale"
    code=0
    QUORVEL_WINE_LOCALE=$locale "$here/scripts/wine-run.sh" stub.exe /S "/D=Z:${PWD//\//\\}\\stub-$locale" \
      > /dev/null 2>&1 || code=$?
    [ "$code" = 0 ] || bad "the stub under $locale: exit code $code"
    diff -r in "stub-$locale" > /dev/null || bad "the stub under $locale: $(diff -r in "stub-$locale" | head -3)"
  done
  run create -q --stub "${stubs[0]}" -o caps.exe caps/DOCS
  "$here/scripts/wine-run.sh" caps.exe /S "/D=Z:${PWD//\//\\}\\stub-caps" > /dev/null 2>&1 || bad "the stub: capitals"
  [ "$(cat stub-caps/DOCS/README.TXT 2>/dev/null)" = caps ] || bad "the stub wrote: $(cd stub-caps && find .)"
fi
[ $native = 1 ] || note=" (Windows packer)"
finish "exact names round-trip, lhasa gets distinct stand-ins, code page 932 trees unchanged${note:-}"
