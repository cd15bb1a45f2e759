#!/usr/bin/env bash
# Archives written by quorvel-pack must be read by independent extractors:
# lhasa, 7-Zip and jlha test and extract every kind of member the packer
# writes, with each method, and produce the same bytes as the packed files and
# as our own extract command.
#   interop.sh PATH/TO/quorvel-pack [STUB.exe]
set -euo pipefail
pack=$(realpath "$1")
stub=
if [ -f "${2:-}" ]; then stub=$(realpath "$2"); fi
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"
fail=0
note() { echo "interop: $*"; }
bad() { echo "interop: FAIL: $*"; fail=1; }

# The fixture tree: every edge the writer has.
mkdir -p in/tree/sub/deeper in/tree/empty-folder in/tree/ソフト
: > in/tree/empty-file
printf 'x' > in/tree/one-byte
head -c 65536 /dev/urandom > in/tree/sub/exactly-64k
head -c 65537 /dev/urandom > in/tree/sub/one-past-64k
head -c 300000 /dev/zero > in/tree/sub/all-zero
python3 - <<'PY'
import random
random.seed(7)
with open('in/tree/sub/deeper/repeated', 'w') as f:
    f.write('structured line of text 0123456789\n' * 7000)
# Text-like data with a skewed alphabet, long enough for several blocks.
words = [''.join(random.choice('etaoinshrdlucmfwyp') for _ in range(random.randint(2, 9)))
         for _ in range(3000)]
with open('in/tree/sub/text', 'w') as f:
    f.write(' '.join(random.choice(words) for _ in range(120000)))
# Text, random bytes and text again: the encoder ends blocks where the
# statistics change, wherever that falls.
with open('in/tree/sub/text-noise-text', 'wb') as f:
    f.write(' '.join(random.choice(words) for _ in range(9000)).encode())
    f.write(random.randbytes(50001))
    f.write(' '.join(random.choice(words) for _ in range(9000)).encode())
PY
# Incompressible data: blocks of nearly the 65535 symbols their count holds.
head -c 400000 /dev/urandom > in/tree/sub/random-400k
# Repeats at exactly each method's dictionary size (8, 32 and 64 KiB), the
# farthest a match may reach: other readers keep no more history than that.
for k in 8 32 64; do
  python3 -c "
import random, sys
random.seed($k)
block = bytes(random.getrandbits(8) for _ in range($k * 1024))
sys.stdout.buffer.write(block + block + block[:100])" > in/tree/sub/window-$k
done
# Second bytes 0x5C in code page 932: 表 (95 5C), ソ (83 5C), 能 (94 5C).
printf 'dbcs\n' > "in/tree/表示.txt"
printf 'dbcs in a folder\n' > "in/tree/ソフト/能力.txt"
# Top-level members whose header would be exactly 256 bytes long: 26 fixed
# + 5 CRC + (3 + name) file name = 256 for a 222-byte name, and with the 27
# bytes of the file times header for a 195-byte one (whose time needs it).
long=$(printf 'n%.0s' $(seq 222))
printf 'header length test\n' > "in/$long"
long_timed=$(printf 't%.0s' $(seq 195))
printf 'header length test with times\n' > "in/$long_timed"
touch -d '2100-01-01 00:00:00 UTC' "in/$long_timed"
# Times: most say their second in the fixed part's time stamp alone; before
# 1970, after 2038-01-19 03:14:07 and after 2106 (past the unsigned field
# too) they need the file times header. A fraction of a second is kept with
# --exact-times only.
mkdir -p in/tree/times
for t in in-range:'2020-05-06 07:08:09 UTC' fraction:'2021-01-02 03:04:05.75 UTC' \
         last-signed:'2038-01-19 03:14:07 UTC' first-negative:'2038-01-19 03:14:08 UTC' \
         before-1970:'1965-04-05 06:07:08 UTC' after-2106:'2110-01-02 03:04:05 UTC'; do
  printf '%s\n' "${t%%:*}" > "in/tree/times/${t%%:*}"
  touch -d "${t#*:}" "in/tree/times/${t%%:*}"
done
tops=(tree "$long" "$long_timed")

# lhasa writes names as the archive holds them, in code page 932; turn them
# into UTF-8 before comparing. Names that are UTF-8 already stay.
to_utf8() {
  python3 - "$1" <<'PY'
import os, sys
root = os.fsencode(sys.argv[1])
for top, dirs, files in os.walk(root, topdown=False):
    for name in dirs + files:
        try:
            name.decode('utf-8')
            continue
        except UnicodeDecodeError:
            pass
        os.rename(os.path.join(top, name), os.path.join(top, name.decode('cp932').encode('utf-8')))
PY
}

# sha256sum marks a line whose name needs escaping with a leading backslash.
contents() { (cd "$1" && find . -type f -exec sha256sum {} + | cut -d' ' -f1 | sed 's/^\\//' | sort); }

for method in lh0 lh5 lh6 lh7; do
  out=$method.lzh
  (cd in && "$pack" create -q --method $method -o "../$out" "${tops[@]}") || { bad "$method: create failed"; continue; }
  lhasa -t "$out" > /dev/null 2>&1 || bad "$method: lhasa -t"
  7zz t "$out" > /dev/null 2>&1 || bad "$method: 7zz t"
  for tool in lhasa 7zz jlha own; do
    rm -rf x && mkdir x
    case $tool in
      lhasa) (cd x && lhasa -xq "../$out") > /dev/null 2>&1 || bad "$method: lhasa extract" ;;
      7zz) 7zz x -ox "$out" > /dev/null 2>&1 || bad "$method: 7zz extract" ;;
      jlha) (cd x && jlha xq "../$out") > /dev/null 2>&1 || bad "$method: jlha extract" ;;
      own)
        if "$pack" --help | grep -q ' extract '; then
          "$pack" extract "$out" -o x > /dev/null || bad "$method: own extract"
        else
          continue
        fi ;;
    esac
    if [ $tool = 7zz ] || [ $tool = jlha ]; then
      # 7-Zip on Linux takes every 0x5C byte of a name for a separator, also
      # the second byte of a double-byte character, so it puts such members
      # into folders of its own making; jlha writes names in its own
      # encoding: compare their bytes, not their names.
      [ "$(contents in)" = "$(contents x)" ] || bad "$method: $tool extracted other bytes"
      continue
    fi
    to_utf8 x
    diff -r in x > /dev/null || bad "$method: $tool extracted other bytes or names"
  done
  note "$method: $(stat -c %s "$out") bytes"
done

# The headers of the long-named members were lengthened, never left at 256.
for name in "$long" "$long_timed"; do
  lhasa -l lh7.lzh | grep -q "$name" || bad "the 256-byte header member ${name:0:1}... is missing"
done

# The same input gives the same bytes.
(cd in && "$pack" create -q -o ../again.lzh "${tops[@]}")
cmp -s lh7.lzh again.lzh || bad "output is not reproducible"

# Which members carry the file times header (0x41), and the times readers
# restore from each archive.
(cd in && "$pack" create -q --exact-times -o ../exact.lzh "${tops[@]}")
members_timed() {  # archive: each member's name after 1 when it has a 0x41 header, else 0
  python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
off = 0
while d[off]:
    size, packed = struct.unpack_from('<HxxxxxI', d, off)
    if d[off + 20] != 2:
        sys.exit(f"a header of level {d[off + 20]}")
    at, types, name = off + 24, [], b''
    while (ext := struct.unpack_from('<H', d, at)[0]):
        types.append(d[at + 2])
        if d[at + 2] == 1:
            name = d[at + 3:at + 2 + ext - 2]
        at += ext
    print(int(0x41 in types), name.decode('cp932'))
    off += size + packed
PY
}
want_timed=$(printf '%s\n' "$long_timed" after-2106 before-1970 first-negative | sort)
got_timed=$(members_timed lh7.lzh | sed -n 's/^1 //p' | sort)
[ "$got_timed" = "$want_timed" ] || bad "members with a file times header: $(tr '\n' ' ' <<< "$got_timed")"
members_timed exact.lzh | grep -q '^0' && bad "--exact-times: not every member carries the file times header"
for tool in lhasa 7zz jlha; do
  case $tool in
    lhasa) lhasa -t exact.lzh > /dev/null 2>&1 || bad "--exact-times: lhasa -t" ;;
    7zz) 7zz t exact.lzh > /dev/null 2>&1 || bad "--exact-times: 7zz t" ;;
    jlha) jlha t exact.lzh > /dev/null 2>&1 || bad "--exact-times: jlha t" ;;
  esac
done
times_of() {  # folder: each file of times/ with its modification time, UTC
  (cd "$1/tree/times" && for f in *; do printf '%s %s\n' "$f" "$(TZ=UTC stat -c %y "$f")"; done)
}
for case in own:lh7.lzh own-exact:exact.lzh lhasa:lh7.lzh 7zz:lh7.lzh; do
  tool=${case%%:*} archive=${case#*:}
  rm -rf x && mkdir x
  case $tool in
    own*) "$pack" extract "$archive" -o x > /dev/null || bad "$case: extract" ;;
    lhasa) (cd x && lhasa -xq "../$archive") > /dev/null 2>&1 || bad "$case: extract" ;;
    7zz) 7zz x -ox "$archive" > /dev/null 2>&1 || bad "$case: extract" ;;
  esac
  # Our extract: every time, exact with --exact-times and else to the
  # second. The others read the time stamp as unsigned: right to 2106.
  case $tool in
    own-exact) want=$(times_of in) ;;
    own) want=$(times_of in | sed -E 's/\.[0-9]+/.000000000/') ;;
    *) want=$(times_of in | grep -vE '^(after-2106|before-1970) ' | sed -E 's/\.[0-9]+/.000000000/') ;;
  esac
  got=$(times_of x)
  [ "$tool" = own ] || [ "$tool" = own-exact ] || got=$(grep -vE '^(after-2106|before-1970) ' <<< "$got")
  [ "$got" = "$want" ] || bad "$case: times $(diff <(echo "$want") <(echo "$got") | grep '^>' | tr '\n' ' ')"
done

# Members large enough to be read, compressed and written a piece at a time
# (from 1.5 MiB on, in pieces of 1 MiB): text with random bytes across the
# first piece's end, and random bytes that would grow, taken back and stored.
# Every reader gets their bytes back; a self-extracting file keeps its image
# checksum right after the headers were written again.
mkdir -p big
python3 - <<'PY'
import random
random.seed(14)
words = [''.join(random.choice('etaoinshrdlucmfwyp') for _ in range(random.randint(2, 9)))
         for _ in range(3000)]
text = ' '.join(random.choice(words) for _ in range(700000)).encode()[:3600000]
mib = 1 << 20
with open('big/text', 'wb') as f:
    f.write(text[:mib - 150000] + random.randbytes(300000) + text[mib - 150000:])
with open('big/random', 'wb') as f:
    f.write(random.randbytes(mib * 3 // 2 + 1))
PY
pe_checksum_ok() {  # file: the image checksum field holds the file's checksum
  python3 - "$1" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
length = len(d)
at = struct.unpack_from('<I', d, 0x3C)[0] + 24 + 64  # PE signature, file header
stored = struct.unpack_from('<I', d, at)[0]
d[at:at + 4] = bytes(4)
if length % 2:
    d.append(0)
# 16-bit words added with the carry folded back in, plus the file's length.
s = sum(struct.unpack(f'<{len(d) // 2}H', d))
while s >> 16:
    s = (s & 0xFFFF) + (s >> 16)
sys.exit(0 if stored == s + length else 1)
PY
}
for method in lh5 lh7; do
  out=big-$method.lzh
  "$pack" create -q --method $method -o $out big || { bad "big $method: create failed"; continue; }
  "$pack" list $out | grep -q "^-$method- .* big/text$" || bad "big $method: the text is not compressed"
  "$pack" list $out | grep -q "^-lh0- .* big/random$" || bad "big $method: the random bytes are not stored"
  "$pack" test $out > /dev/null || bad "big $method: quorvel-pack test"
  lhasa -t $out > /dev/null 2>&1 || bad "big $method: lhasa -t"
  jlha t $out > /dev/null 2>&1 || bad "big $method: jlha t"
  for tool in lhasa jlha own; do
    rm -rf x && mkdir x
    case $tool in
      lhasa) (cd x && lhasa -xq "../$out") > /dev/null 2>&1 ;;
      jlha) (cd x && jlha xq "../$out") > /dev/null 2>&1 ;;
      own) "$pack" extract -q $out -o x ;;
    esac || bad "big $method: $tool extract"
    diff -r big x/big > /dev/null || bad "big $method: $tool extracted other bytes"
  done
  if [ -n "$stub" ]; then
    "$pack" create -q --stub "$stub" --method $method -o big-$method.exe big || bad "big $method: create .exe"
    pe_checksum_ok big-$method.exe || bad "big $method: the image checksum does not match the file"
    "$pack" test big-$method.exe > /dev/null || bad "big $method: quorvel-pack test of the .exe"
  fi
done

# Refusals: a non-zero exit, one line naming the file or option, no output.
refused() {  # expected-text, arguments...
  local want=$1
  shift
  if (cd in && "$pack" create -q "$@" 2> ../refusal.txt); then bad "accepted: $*"; return; fi
  [ "$(wc -l < refusal.txt)" = 1 ] || bad "not one line for: $* ($(cat refusal.txt))"
  grep -qF -- "$want" refusal.txt || bad "message for '$*' does not name '$want': $(cat refusal.txt)"
  [ ! -e refused.lzh ] && [ ! -e refused.exe ] || bad "output left behind by: $*"
}
refused "no-such-path" -o ../refused.lzh tree no-such-path
refused "--title" -o ../refused.lzh --title x tree
refused "--method" -o ../refused.lzh --method lh9 tree
refused "--stub" -o ../refused.exe --stub ../missing-stub.exe tree
mkdir -p in2 && printf 'x' > "in2/$(printf 'caf\xe9')"  # Latin-1, not UTF-8
refused 'caf\xE9' -o ../refused.lzh ../in2

[ $fail -eq 0 ] && note "all readers agree"
exit $fail
