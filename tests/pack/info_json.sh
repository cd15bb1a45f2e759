#!/usr/bin/env bash
# quorvel-pack info and the --json documents as a user runs them: a file this
# packer made with every option, a file laid out by hand as another packer
# would (with a title that is no code page 932 and an archive that jlha made),
# plain archives, and files that are no self-extracting file.
#   info_json.sh PATH/TO/quorvel-pack STUB.exe
# A Windows packer (*.exe) runs through scripts/wine-run.sh.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
stub=$(built info_json "${2:-}" "build the win64 tree or make dist")
pack_test info_json "$1"
cp "$stub" stub.exe
cp "$here/tests/fixtures/mixed.lzh" .
# Checks a JSON document on out.txt with a Python expression per line:
# "what|expression" (d is the document).
json_holds() {
  python3 - out.txt "$@" <<'PY' || fail=1
import json, sys
d = json.loads(open(sys.argv[1], encoding="utf-8").read())
ok = True
for check in sys.argv[2:]:
    what, expression = check.split("|", 1)
    try:
        good = eval(expression)
    except Exception as e:
        good = False
    if not good:
        print("info_json: FAIL:", what, "--", expression, "on", json.dumps(d, ensure_ascii=False)[:600])
        ok = False
sys.exit(0 if ok else 1)
PY
}

# A file of ours with every option.
mkdir -p 製品/docs
printf 'setup\n' > 製品/setup.exe
printf 'read me\n' > 製品/docs/readme.txt
printf 'ご注意\r\n二行目です\r\n' > notice.txt
run create -q --stub stub.exe -o 製品.exe --title '製品 1.0' --label '展開先:' \
  --folder '%ProgramFiles%\製品' --message 'ようこそ' --run 'setup.exe /s' \
  --overwrite --restore-attributes --temp --notice notice.txt 製品
[ "$rc" = 0 ] || bad "create: $err"
run info 製品.exe
[ "$rc" = 0 ] || bad "info: exit code $rc ($err)"
for line in 'stub:            x86_64 (PE32+), image ends at offset' \
            'title:           製品 1.0' 'label:           展開先:' \
            'default folder:  %ProgramFiles%\製品' 'message:         ようこそ' \
            'auto-run:        setup.exe /s' \
            'flags:           0x00000007: restore attributes, overwrite without asking, temporary folder' \
            ', 5 members (3 files, 2 folders), 34 bytes' \
            'notice:          ご注意' '                 二行目です' 'signature:       none'; do
  grep -qF -- "$line" <<< "$out" || bad "info lacks '$line': $out"
done
stubsize=$(stat -c %s stub.exe)
grep -qF "archive:         at offset $stubsize," <<< "$out" || bad "info's archive offset is not the stub's size"
run info --json 製品.exe
[ "$rc" = 0 ] || bad "info --json: exit code $rc ($err)"
json_holds "stub|d['stub']['architecture'] == 'x86_64' and d['stub']['pe32Plus']" \
  "texts|[d['title'], d['label'], d['defaultFolder'], d['message'], d['autoRun']] == ['製品 1.0', '展開先:', '%ProgramFiles%\\\\製品', 'ようこそ', 'setup.exe /s']" \
  "no raw bytes for valid texts|not any(k.endswith('Bytes') for k in d)" \
  "flags|d['flags'] == {'value': 7, 'restoreAttributes': True, 'overwriteWithoutAsking': True, 'temporaryFolder': True, 'utf8Texts': False, 'words': ['restore attributes', 'overwrite without asking', 'temporary folder']} and d['language'] == 'auto'" \
  "archive|d['archive'] == {'offset': $stubsize, 'members': 5, 'files': 3, 'folders': 2, 'size': 34, 'packedSize': d['archive']['packedSize']}" \
  "notice|d['notice'] == {'text': 'ご注意\\r\\n二行目です\\r\\n', 'size': 20}" \
  "signature|d['signature'] == {'authenticode': False, 'certificateTable': None}" \
  "file|d['file'] == '製品.exe' and d['fileSize'] == $(stat -c %s 製品.exe)"

# list --json of the same file agrees with list.
run list 製品.exe
listed=$(grep -c '^-lh' <<< "$out")
run list --json 製品.exe
json_holds "list members|len(d['members']) == $listed == d['totals']['members'] == 5" \
  "self-extracting|d['selfExtracting'] and d['archiveOffset'] == $stubsize" \
  "names|[m['name'] for m in d['members']] == ['!', '製品/', '製品/docs/', '製品/docs/readme.txt', '製品/setup.exe']" \
  "directories|[m['directory'] for m in d['members']] == [False, True, True, False, False]"

# Laid out by hand: the stub, a block with a title that is no code page 932
# and flags 1, and an archive that jlha made, appended as it is.
python3 - stub.exe mixed.lzh foreign.exe <<'PY'
import struct, sys
stub = bytearray(open(sys.argv[1], "rb").read())
archive = open(sys.argv[2], "rb").read()
block = bytearray(717)
block[0:4] = struct.pack("<I", len(stub))
block[4:8] = b"\x81\x7fAB"              # a lead byte that nothing can follow
block[96:96 + 11] = "C:\\外国".encode("cp932")
block[713:717] = struct.pack("<I", 1)
stub[512:512 + 717] = block
open(sys.argv[3], "wb").write(stub + archive)
PY
run info foreign.exe
[ "$rc" = 0 ] || bad "info of a file laid out by hand: exit code $rc ($err)"
for line in 'title:           \x81\x7FAB' 'default folder:  C:\外国' \
            'flags:           0x00000001: restore attributes' \
            'archive:         at offset '"$stubsize"', 4 members (3 files, 1 folder), 138537 bytes' \
            'notice:          none' 'auto-run:        (empty: no command)'; do
  grep -qF -- "$line" <<< "$out" || bad "info of a file laid out by hand lacks '$line': $out"
done
run info --json foreign.exe
json_holds "raw title|d['title'] == '\\\\x81\\\\x7FAB' and d['titleBytes'] == '817f4142'" \
  "folder|d['defaultFolder'] == 'C:\\\\外国' and 'defaultFolderBytes' not in d" \
  "no notice|d['notice'] is None"

# list --json of an archive that jlha made (every member dated 2024-05-06 07:08:09 UTC).
run list --json mixed.lzh
json_holds "plain|not d['selfExtracting'] and d['archiveOffset'] == 0" \
  "members|[(m['name'], m['directory'], m['method'], m['size']) for m in d['members']] == [('docs/', True, '-lhd-', 0), ('docs/small.txt', False, '-lh7-', 3000), ('spaces.txt', False, '-lh7-', 65537), ('zeros.bin', False, '-lh7-', 70000)]" \
  "times|{m['modified'] for m in d['members']} == {'2024-05-06T07:08:09Z'}" \
  "crc and attributes|all(isinstance(m['crc'], int) and isinstance(m['attributes'], int) and isinstance(m['attributeNames'], list) for m in d['members'])" \
  "totals|d['totals']['members'] == 4 and d['totals']['size'] == 138537"

# No self-extracting file: one line, exit code 1, nothing on stdout.
refused() {  # file text
  run info "$1"
  [ "$rc" = 1 ] && [ -z "$out" ] && [ "$(grep -c '' <<< "$err")" = 1 ] &&
    [[ $err == "quorvel-pack info: '$1': "*"$2"* ]] || bad "info $1: rc $rc, '$out', '$err'"
}
refused mixed.lzh "not a self-extracting file: no MS-DOS header"
refused stub.exe "no configuration block at offset 512"
refused 無い.exe "cannot open"
run info --json
[ "$rc" = 2 ] || bad "info without a file: exit code $rc"

finish "info and --json read what the files hold"
