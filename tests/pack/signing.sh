#!/usr/bin/env bash
# A finished self-extracting file can be signed: osslsigncode signs it with a
# throw-away self-signed certificate, the signature verifies, info sees it,
# and the archive inside still reads, since it ends with its end byte before the certificate
# table. A stub that already carries a certificate is refused.
#   signing.sh PATH/TO/quorvel-pack STUB.exe
set -euo pipefail
pack=$(realpath "$1")
stub=${2:-}
if [ -z "$stub" ] || [ ! -f "$stub" ]; then
  echo "signing: no built stub at '${stub}'; build the win64 tree or make dist"
  exit 77
fi
stub=$(realpath "$stub")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail=0
bad() { echo "signing: FAIL: $*"; fail=1; }

mkdir -p in/docs
printf 'read me\n' > in/docs/readme.txt
head -c 100000 /dev/urandom > in/payload.bin
"$pack" create -q --stub "$stub" --title 'Signed test' --overwrite -o plain.exe in

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Quorvel test signer" > /dev/null 2>&1
osslsigncode sign -certs cert.pem -key key.pem -n "Quorvel test" -in plain.exe -out signed.exe \
  > /dev/null || bad "osslsigncode could not sign the file"
osslsigncode verify -CAfile cert.pem signed.exe > verify.log 2>&1 || bad "signature does not verify"
grep -q "Signature verification: ok" verify.log || bad "signature verification not ok"

# Signing rewrites only header fields (checksum, certificate directory): the
# configuration block and the archive up to its end byte stay as written.
size=$(stat -c %s plain.exe)
stubsize=$(stat -c %s "$stub")
cmp -s <(tail -c +$((stubsize + 1)) plain.exe) <(head -c "$size" signed.exe | tail -c +$((stubsize + 1))) ||
  bad "signing changed the archive"
cmp -s <(head -c 1229 plain.exe | tail -c 717) <(head -c 1229 signed.exe | tail -c 717) ||
  bad "signing changed the configuration block"

# info tells a signed file from an unsigned one.
"$pack" info plain.exe | grep -qx 'signature:       none' || bad "info sees a signature on plain.exe"
"$pack" info signed.exe | grep -q '^signature:       Authenticode signature attached, [0-9]* bytes at offset' ||
  bad "info does not see the signature: $("$pack" info signed.exe | grep signature)"
"$pack" info --json signed.exe | python3 -c '
import json, sys
s = json.load(sys.stdin)["signature"]
sys.exit(0 if s["authenticode"] and s["certificateTable"]["type"] == 2 else 1)' ||
  bad "info --json does not see the signature"

if "$pack" --help | grep -q ' test '; then
  "$pack" test signed.exe > /dev/null || bad "quorvel-pack test fails on the signed file"
fi
if "$pack" --help | grep -q ' extract '; then
  mkdir x && "$pack" extract signed.exe -o x > /dev/null && diff -r in x/in > /dev/null ||
    bad "the signed file does not extract to the packed files"
fi
7zz t signed.exe > /dev/null 2>&1 || bad "7zz t fails on the signed file"

# A signed stub is refused: the archive must come before any certificate.
if "$pack" create -q --stub signed.exe -o twice.exe in 2> refuse.log; then
  bad "a signed stub was accepted"
fi
grep -q "certificate" refuse.log || bad "the refusal does not say why: $(cat refuse.log)"
[ ! -e twice.exe ] || bad "a refused create left an output file"

# So is a stub with data behind its image.
cp "$stub" padded-stub.exe && printf 'trailing' >> padded-stub.exe
if "$pack" create -q --stub padded-stub.exe -o padded.exe in 2> refuse2.log; then
  bad "a stub with data behind its image was accepted"
fi
grep -q "behind its image" refuse2.log || bad "the refusal does not say why: $(cat refuse2.log)"

[ $fail -eq 0 ] && echo "signing: signed file verifies and reads"
exit $fail
