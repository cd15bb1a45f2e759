#!/usr/bin/env bash
# The Debian package as a user gets it: unpacked into a throw-away root, its
# files are where they belong; the installed quorvel-pack finds both stubs
# under ../share/quorvel and packs a self-extracting file that lists, tests
# and extracts to what was packed; its Depends name the package of every
# shared library the program links; lintian finds no error.
#   deb_package.sh quorvel_VERSION_amd64.deb VERSION
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
deb=$(built deb_package "$1" "make package builds it")
version=$2
pack_test deb_package

[ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = "Package: quorvel Version: $version Architecture: amd64 " ] ||
  bad "control: $(dpkg-deb -f "$deb" Package Version Architecture)"
dpkg-deb -x "$deb" root
for f in usr/bin/quorvel-pack usr/share/quorvel/quorvel-sfx-x86_64.exe usr/share/quorvel/quorvel-sfx-i686.exe \
         usr/share/man/man1/quorvel-pack.1.gz usr/share/bash-completion/completions/quorvel-pack \
         usr/share/doc/quorvel/copyright usr/share/doc/quorvel/changelog.gz; do
  [ -f "root/$f" ] || bad "the package lacks /$f"
done
pack=root/usr/bin/quorvel-pack
[ "$("$pack" --version)" = "quorvel-pack $version" ] || bad "--version says: $("$pack" --version)"
zcat root/usr/share/man/man1/quorvel-pack.1.gz | grep -q "^\.TH QUORVEL-PACK 1 \"\" \"Quorvel $version\"" ||
  bad "the man page does not carry the version"

grep -q '^License: Zlib$' root/usr/share/doc/quorvel/copyright || bad "the copyright file names no zlib licence"

# Depends: every shared library the program needs, by the package that ships it.
depends=$(dpkg-deb -f "$deb" Depends | sed 's/ ([^)]*)//g; s/, /\n/g')
for path in $(ldd "$pack" | awk '$2 == "=>" && $3 ~ /^\// { print $3 }'); do
  owner=
  for candidate in "$path" "/usr$path" "$(realpath "$path")"; do
    owner=$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1) && [ -n "$owner" ] && break
  done
  [ -n "$owner" ] || { bad "no package ships $path"; continue; }
  grep -qxF "$owner" <<< "$depends" || bad "Depends ($(tr '\n' ' ' <<< "$depends")) lacks $owner for $path"
done

# The installed program packs with the installed stubs.
mkdir -p src/docs
printf 'read me\n' > src/docs/readme.txt
seq 1 20000 > src/numbers.txt
for arch in x86_64 i686; do
  "$pack" create -q --stub $arch --title "Installed $arch" -o "$arch.exe" src || bad "create --stub $arch"
  cmp -s <(head -c 512 "$arch.exe") <(head -c 512 "root/usr/share/quorvel/quorvel-sfx-$arch.exe") ||
    bad "$arch.exe does not start with the installed $arch stub"
  "$pack" info "$arch.exe" | grep -q "^stub: *$arch " || bad "info $arch.exe: $("$pack" info "$arch.exe" | grep stub)"
  "$pack" test "$arch.exe" > /dev/null || bad "test $arch.exe"
  "$pack" extract -q "$arch.exe" -o "out-$arch" && diff -r src "out-$arch/src" > /dev/null ||
    bad "$arch.exe does not extract to what was packed"
done
"$pack" list x86_64.exe | grep -q ' src/numbers.txt$' || bad "list x86_64.exe lacks src/numbers.txt"
# Without the share folder the stubs are not found, and create says where it looked.
mkdir -p alone/bin && cp "$pack" alone/bin/
rc=0
alone/bin/quorvel-pack create -q -o lost.exe src 2> err.txt || rc=$?
[ "$rc" = 1 ] && grep -q "../share/quorvel" err.txt || bad "a program without its stubs: rc $rc, $(cat err.txt)"

if ! command -v lintian > /dev/null; then
  bad "lintian is missing: run scripts/setup.sh"
else
  lintian --fail-on error "$deb" > lintian.log 2>&1 || bad "lintian: $(grep -v 'root privileges' lintian.log)"
fi

finish "$(basename "$deb") installs and packs; lintian finds no error"
