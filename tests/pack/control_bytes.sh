#!/usr/bin/env bash
# Control characters that an archive carries never reach the terminal raw:
# a member name and the texts of a self-extracting file holding ESC, BEL and
# CR (an auto-run command hidden behind "ESC [2K CR" shows an empty line on a
# terminal) are printed escaped by list, info and extract, and in the
# messages that name them, while --json keeps them exactly.
#   control_bytes.sh PATH/TO/quorvel-pack [STUB.exe]
# Without a stub, info is left out.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
stub=
if [ -f "${2:-}" ]; then stub=$(realpath "$2"); fi
pack_test control_bytes "$1"

# Fails when the last command printed a control byte other than a line feed
# (C0, DEL, or a C1 control in UTF-8).
no_raw_controls() {  # what
  python3 - "$1" out.txt err.txt <<'PY' || fail=1
import re, sys
for f in sys.argv[2:]:
    data = open(f, "rb").read()
    if re.search(rb"[\x00-\x09\x0b-\x1f\x7f]|\xc2[\x80-\x9f]", data):
        print("control_bytes: FAIL: %s: raw control bytes in %s: %r" % (sys.argv[1], f, data[:300]))
        sys.exit(1)
PY
}
has() {  # text wanted what
  grep -qF -- "$2" <<< "$1" || bad "$3: '$2' missing in: $1"
}
# The JSON document on out.txt holds the given text exactly under key path.
json_text() {  # what expression text
  python3 - out.txt "$2" "$3" <<'PY' || bad "$1: not exact in --json"
import json, sys
d = json.loads(open(sys.argv[1], encoding="utf-8").read())
sys.exit(0 if eval(sys.argv[2]) == sys.argv[3] else 1)
PY
}

name=$'evil\e[2K\rok\a.txt'
shown='evil\x1B[2K\x0Dok\x07.txt'
mkdir d
printf 'data\n' > "d/$name"
run create -q -o c.lzh d
[ "$rc" = 0 ] || bad "create: exit code $rc ($err)"

run list c.lzh
no_raw_controls "list"
has "$out" "d/$shown" "list"
run list --json c.lzh
json_text "list --json" "d['members'][1]['name']" "d/$name"

run extract c.lzh -o x
no_raw_controls "extract"
has "$out" "d/$shown" "extract"
[ "$(cat "x/d/$name")" = data ] || bad "extract did not write the file by its exact name"
run extract c.lzh -o x
no_raw_controls "extract's refusal"
has "$err" "'x/d/$shown' exists (use --overwrite)" "extract's refusal"
# The member's last data byte changed: a CRC mismatch names the member.
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(-2, 2); b = f.read(1); f.seek(-2, 2); f.write(bytes([b[0] ^ 1]))' c.lzh
run test c.lzh
no_raw_controls "test of a damaged member"
has "$err" "member d/$shown: data CRC" "test of a damaged member"

if [ -n "$stub" ]; then
  cp "$stub" stub.exe
  command=$'evil.exe\e[2K\rsetup.exe'
  title=$'T\e]0;pwned\a'
  printf 'line one\r\n\e[31mline two\r\n' > notice.txt
  run create -q --stub stub.exe -o c.exe --title "$title" --message $'a\rb' --run "$command" \
    --notice notice.txt d
  [ "$rc" = 0 ] || bad "create c.exe: exit code $rc ($err)"
  run info c.exe
  no_raw_controls "info"
  for line in 'auto-run:        evil.exe\x1B[2K\x0Dsetup.exe' 'title:           T\x1B]0;pwned\x07' \
              'message:         a\x0Db' 'notice:          line one' '                 \x1B[31mline two'; do
    has "$out" "$line" "info"
  done
  run info --json c.exe
  json_text "info --json autoRun" "d['autoRun']" "$command"
  json_text "info --json title" "d['title']" "$title"
  json_text "info --json notice" "d['notice']['text']" $'line one\r\n\e[31mline two\r\n'
fi

finish "control bytes shown escaped, kept exactly in --json"
