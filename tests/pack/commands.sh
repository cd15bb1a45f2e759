#!/usr/bin/env bash
# quorvel-pack's commands as a user runs them, on a folder and on archives
# with Japanese names (and one name outside code page 932): create, list, test
# and extract, their exit codes, what they print, the bytes they extract, and
# every failure as one line "quorvel-pack COMMAND: ..." naming its file once.
#   commands.sh PATH/TO/quorvel-pack VERSION [STUB.exe]
# A Windows packer (*.exe) runs through scripts/wine-run.sh. Without a stub
# the self-extracting file is left out.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
version=$2
stub=
if [ -f "${3:-}" ]; then stub=$(realpath "$3"); fi
pack_test commands "$1"
succeeded() {  # what
  [ "$rc" = 0 ] || bad "$1: exit code $rc ($err)"
}
has() {  # text wanted what
  grep -qF -- "$2" <<< "$1" || bad "$3: '$2' missing in: $1"
}
# A refusal: its exit code, nothing on stdout, one line on stderr in the
# command's shape with the expected text, the file named once.
refused() {  # exit-code command text file what
  [ "$rc" = "$1" ] || bad "$5: exit code $rc, not $1"
  [ -z "$out" ] || bad "$5: printed on stdout: $out"
  [ "$(grep -c '' <<< "$err")" = 1 ] || bad "$5: not one line: $err"
  local shape="quorvel-pack $2: "
  [ -n "$2" ] || shape="quorvel-pack: "
  [[ $err == "$shape"* ]] || bad "$5: not in the shape '$shape...': $err"
  has "$err" "$3" "$5"
  [ -z "$4" ] || [ "$(grep -oF -- "$4" <<< "$err" | wc -l)" = 1 ] || bad "$5: '$4' not named once: $err"
}

# The folder: a text file, a 0x5C trail byte (表), a subfolder, data that
# compresses and data that does not.
mkdir -p テスト/サブ 展開先
printf 'こんにちは、世界\n' > テスト/日本語.txt
head -c 70000 /dev/urandom > テスト/サブ/表示.bin
seq 1 20000 > テスト/サブ/数字.txt
bytes=$(cat テスト/日本語.txt テスト/サブ/* | wc -c)
archives=(テスト.lzh)

run create -o テスト.lzh テスト
succeeded "create テスト.lzh"
[ "$err" = "quorvel-pack create: wrote テスト.lzh (5 members)" ] || bad "create says: $err"
run create -o 一つ.lzh テスト/日本語.txt
[ "$err" = "quorvel-pack create: wrote 一つ.lzh (1 member)" ] || bad "create of one file says: $err"
# A name outside code page 932 reaches the file system as it is.
cp テスト.lzh 'café テスト.lzh'
archives+=('café テスト.lzh')
if [ -n "$stub" ]; then
  # Every file that create reads or writes, by such names.
  cp "$stub" 'スタブ é.exe'
  run create -q --stub 'スタブ é.exe' --title 'テスト' -o テスト.exe テスト
  succeeded "create テスト.exe"
  [ -z "$err" ] || bad "create --quiet printed: $err"
  run create --stub 'スタブ é.exe' --archive 'café テスト.lzh' -o '追加 é.exe'
  succeeded "create --archive"
  [ "$err" = "quorvel-pack create: wrote 追加 é.exe ('café テスト.lzh' appended)" ] ||
    bad "create --archive says: $err"
  archives+=(テスト.exe '追加 é.exe')
  printf 'お知らせ\n' > 'お知らせ é.txt'
  run create -q --stub 'スタブ é.exe' --notice 'お知らせ é.txt' -o お知らせ.exe テスト/日本語.txt
  succeeded "create --notice"
  run list お知らせ.exe
  grep -q ' !$' <<< "$out" && [[ $(tail -n 1 <<< "$out") == "2 members, "* ]] ||
    bad "list お知らせ.exe says: $out"
fi

for archive in "${archives[@]}"; do
  run list "$archive"
  succeeded "list $archive"
  has "$out" "テスト/日本語.txt" "list $archive"
  has "$out" "テスト/サブ/表示.bin" "list $archive"
  [ "$(tail -n 1 <<< "$out")" = "5 members, $(grep -oE '[0-9]+ bytes packed' <<< "$out"), $bytes bytes" ] ||
    bad "list $archive ends with: $(tail -n 1 <<< "$out")"
  if [[ $archive == *.exe ]]; then has "$out" "self-extracting file, archive at offset" "list $archive"; fi

  run test "$archive"
  succeeded "test $archive"
  [[ $out == "$archive: 5 members, $bytes bytes, every CRC matches ("*" s)" ]] || bad "test $archive says: $out"

  into="展開先/$archive é"
  run extract "$archive" -o "$into"
  succeeded "extract $archive"
  diff -r テスト "$into/テスト" > /dev/null 2>&1 || bad "extract $archive: other names or bytes in $into"
  [ "$(tail -n 1 <<< "$out")" = "3 files extracted into $into" ] || bad "extract $archive says: $out"
done

# Extracting again asks for --overwrite, then overwrites.
run extract テスト.lzh -o "展開先/テスト.lzh é"
refused 1 extract "exists (use --overwrite)" "数字.txt" "extract again"
run extract --overwrite -q テスト.lzh -o "展開先/テスト.lzh é"
succeeded "extract --overwrite"
[ -z "$out$err" ] || bad "extract --quiet printed: $out$err"
[ -z "$(find 展開先 -name '~qv*')" ] || bad "extract --overwrite left: $(find 展開先 -name '~qv*')"
# A member that fails (its last data byte changed: a CRC mismatch) leaves the
# file it would have replaced as it was, and nothing beside it.
cp テスト.lzh 壊れた.lzh
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(-2, 2); b = f.read(1); f.seek(-2, 2); f.write(bytes([b[0] ^ 1]))' 壊れた.lzh
mkdir -p 展開先/壊れた/テスト
printf 'old\n' > 展開先/壊れた/テスト/日本語.txt
run extract --overwrite -q 壊れた.lzh -o 展開先/壊れた
[ "$rc" = 1 ] || bad "extract --overwrite of a damaged member: exit code $rc"
[ "$(cat 展開先/壊れた/テスト/日本語.txt)" = old ] || bad "a failed member changed the file it would replace"
[ "$(ls -A 展開先/壊れた/テスト | tr '\n' ' ')" = "サブ 日本語.txt " ] ||
  bad "a failed member left: $(ls -A 展開先/壊れた/テスト)"
# A name with a colon (a drive, or a stream on NTFS), stored as it is by
# jlha, is refused and nothing of it is written.
printf 'x\n' > 'a:b'
jlha aq コロン.lzh 'a:b' > /dev/null
run extract コロン.lzh -o 展開先/コロン
refused 1 extract "member a:b: the name would leave the destination folder" コロン.lzh "extract of a:b"
[ -z "$(ls -A 展開先/コロン)" ] || bad "a refused name left: $(ls -A 展開先/コロン)"

# Failures and usage errors.
run list テスト/日本語.txt
refused 1 list "'テスト/日本語.txt': no LZH archive in the file's first MiB" "テスト/日本語.txt" "list of a text file"
run test 無い.lzh
refused 1 test "'無い.lzh': cannot open" "無い.lzh" "test of a missing file"
run extract 無い.lzh -o 展開先/無い
refused 1 extract "'無い.lzh': cannot open" "無い.lzh" "extract of a missing file"
[ ! -e 展開先/無い ] || bad "extract of a missing file made its folder"
run create -o 壊れ.lzh テスト 無いフォルダ
refused 1 create "'無いフォルダ': no such file or folder" "無いフォルダ" "create of a missing folder"
[ ! -e 壊れ.lzh ] || bad "a refused create left its output"
run list
refused 2 list "FILE is missing" "" "list without a file"
run test テスト.lzh 一つ.lzh
refused 2 test "'一つ.lzh' is one too many" "" "test of two files"
run extract テスト.lzh
refused 2 extract "-o DIR is missing" "" "extract without -o"
run create テスト
refused 2 create "-o OUT is missing" "" "create without -o"
run create -o x.lzh --bogus テスト
refused 2 create "unknown option '--bogus'" "" "create --bogus"
run bogus
refused 2 "" "unknown command 'bogus'" "" "an unknown command"
run create -o x.exe --temp テスト
refused 2 create "--temp needs --run" "" "create --temp without a command"
run create -o x.lzh --temp --run setup.exe テスト
refused 2 create "--temp: 'x.lzh' is a plain archive" "" "create --temp of a plain archive"
run create --help
has "$out" "[--temp]" "create --help"

run --version
[ "$out" = "quorvel-pack $version" ] || bad "--version says: $out"
run create --version
[ "$out" = "quorvel-pack $version" ] || bad "create --version says: $out"

finish "create, list, test and extract agree (${#archives[@]} archives)"
