#!/usr/bin/env bash
# quorvel-pack never writes through a symbolic link that someone else put in
# its way, and never packs what a link points at unannounced:
#   - create beside a link planted at the old fixed temporary name; its
#     output's mode under the umask; nothing left behind when it fails;
#   - extract while another process plants links at every name that might be
#     its temporary file, or swaps a member's folder for a link (the files
#     outside must stay as they were);
#   - extract into a destination that holds a linked folder or a link at a
#     member's own path: refused, naming the link, unless --follow-links;
#   - create of a tree that holds links: skipped with a warning naming each
#     one, or packed with --follow-links (a dangling one then fails).
#   links.sh PATH/TO/quorvel-pack
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
pack_test links "$1"

mkdir -p tree/sub outside
printf 'one\n' > tree/a.txt
printf 'two\n' > tree/sub/b.txt
for i in $(seq 1 200); do printf 'file %s\n' "$i" > "tree/f$i.txt"; done
victim=$work/outside/victim.txt
printf 'victim\n' > "$victim"
# The file outside the destination is still as it was; restored for the next case.
victim_intact() {
  [ "$(cat "$victim")" = victim ] || bad "$1: the file outside was written: $(head -c 40 "$victim")"
  printf 'victim\n' > "$victim"
}
# One line on stderr in the command's shape naming the link, exit code 1.
refused_link() {  # link what
  [ "$rc" = 1 ] || bad "$2: exit code $rc, not 1 ($err)"
  [[ $err == "quorvel-pack extract: '$1'"*"symbolic link"* ]] || bad "$2: says: $err"
  [ "$(grep -c '' <<< "$err")" = 1 ] || bad "$2: not one line: $err"
}

# create: a link planted at the old temporary name is left alone, the output
# gets the mode of a new file under the umask, a failure leaves nothing.
run create -q -o out.lzh tree
ln -s "$victim" planted.lzh.part
for mask in 022 027; do
  rc=0
  (umask $mask && "$pack" create -q -o planted.lzh tree > out.txt 2> err.txt) || rc=$?
  [ "$rc" = 0 ] || bad "create with a link at planted.lzh.part: exit code $rc ($(cat err.txt))"
  [ "$(stat -c %a planted.lzh)" = "$(printf '%o' $((0666 & ~0$mask)))" ] ||
    bad "create under umask $mask made mode $(stat -c %a planted.lzh)"
done
victim_intact "create beside a link at planted.lzh.part"
[ -f planted.lzh ] && [ ! -L planted.lzh ] && cmp -s out.lzh planted.lzh ||
  bad "create did not write planted.lzh as a file of its own"
[ "$(readlink planted.lzh.part)" = "$victim" ] || bad "create changed the link at planted.lzh.part"
before=$(ls -A)
run create -o failed.lzh tree /proc/self/mem
[ "$rc" = 1 ] && [[ $err == *"'mem': cannot read the file"* ]] || bad "create of an unreadable file: $rc $err"
[ "$(ls -A)" = "$before" ] || bad "a failed create left: $(comm -13 <(echo "$before") <(ls -A))"

# extract against a process that, as fast as it can, either ("names")
# plants and removes again links to the file outside at the fixed names an
# extractor might use (so that a test for a free name sees none, then the
# open finds one) and replaces every other name in the destination that is
# no member's by one, or ("folder") swaps the member folder sub for a link to
# the folder outside and back.
cat > racer.py <<'PY'
import os, sys
mode, dest, victim, tree = sys.argv[1:]
members = set(os.listdir(tree)) | {"sub.real"}
fixed = [os.path.join(dest, "~qv%d.tmp" % n) for n in range(2)]
sub, real = os.path.join(dest, "sub"), os.path.join(dest, "sub.real")
def plant(path):
    try:
        os.symlink(victim, path)
    except OSError:
        pass
while mode == "folder":
    try:
        if os.path.islink(sub):
            os.unlink(sub)
            os.rename(real, sub)
        elif os.path.isdir(sub):
            os.rename(sub, real)
            os.symlink(os.path.dirname(victim), sub)
    except OSError:
        pass
while mode == "names":
    for turn in range(20):
        for path in fixed:
            if os.path.islink(path):
                os.unlink(path)
            else:
                plant(path)
    for name in set(os.listdir(dest)) - members:
        path = os.path.join(dest, name)
        if path not in fixed and not os.path.islink(path):
            try:
                os.unlink(path)
            except OSError:
                continue
            plant(path)
PY
mkdir -p tree2/sub race/tree race2/tree2/sub
for i in $(seq 1 100); do printf 'deep %s\n' "$i" > "tree2/sub/d$i.txt"; done
run create -q -o deep.lzh tree2
refusals=0
race() {  # mode archive destination tree
  python3 racer.py "$1" "$3/$4" "$victim" "$4" &
  local racer=$! i links
  for i in $(seq 1 25); do
    run extract -q --overwrite "$2" -o "$3"
    [ "$rc" = 0 ] || refusals=$((refusals + 1))
    [ "$(cat "$victim")" = victim ] && [ "$(ls -A outside)" = victim.txt ] ||
      { bad "extract run $i against racing $1 wrote outside: $(ls -A outside)"; break; }
    links=$(find "$3" -type l -name '*.txt' 2> /dev/null || true)
    [ -z "$links" ] || bad "extract run $i left a link: $links"
  done
  kill "$racer"
  wait "$racer" 2> /dev/null || true
}
race names out.lzh race tree
race folder deep.lzh race2 tree2
victim_intact "extract against racing links"

# A linked folder and a link at a member's own path in the destination.
mkdir -p linked/tree plain/tree
ln -s ../../outside linked/tree/sub
run extract -q out.lzh -o linked
refused_link linked/tree/sub "extract through a linked folder"
[ ! -e outside/b.txt ] || bad "extract wrote through the linked folder"
rm -rf linked/tree/*.txt
run extract -q --follow-links out.lzh -o linked
[ "$rc" = 0 ] && [ "$(cat outside/b.txt)" = two ] || bad "extract --follow-links: $rc $err"
rm -f outside/b.txt
ln -s "$victim" plain/tree/a.txt
run extract -q --overwrite out.lzh -o plain
refused_link plain/tree/a.txt "extract --overwrite onto a link"
victim_intact "extract --overwrite onto a link"
[ -L plain/tree/a.txt ] || bad "the refused link at plain/tree/a.txt was replaced"
run extract -q --overwrite --follow-links out.lzh -o plain
[ "$rc" = 0 ] && [ "$(cat "$victim")" = one ] && [ -L plain/tree/a.txt ] ||
  bad "extract --overwrite --follow-links did not write through plain/tree/a.txt: $rc $err"
printf 'victim\n' > "$victim"
[ -z "$(find linked plain outside -name '~qv*')" ] ||
  bad "extract left temporary files: $(find linked plain outside -name '~qv*')"

# create of a tree with links: to a file outside, to a file inside, to
# nothing; one named on the command line is packed as it always was.
mkdir -p linky/in
printf 'inside\n' > linky/in/x.txt
ln -s ../../outside/victim.txt linky/in/outward
ln -s x.txt linky/in/inward
run create -o linky.lzh linky
[ "$rc" = 0 ] || bad "create of a tree with links: exit code $rc ($err)"
for link in "linky/in/inward' -> 'x.txt" "linky/in/outward' -> '../../outside/victim.txt"; do
  grep -qxF "quorvel-pack create: skipped symbolic link '$link'" <<< "$err" ||
    bad "create does not warn of '$link': $err"
done
run list linky.lzh
! grep -qE 'inward|outward' <<< "$out" || bad "create packed a link: $out"
run create -q --follow-links -o followed.lzh linky
run extract -q followed.lzh -o followed
[ "$rc" = 0 ] && [ "$(cat followed/linky/in/outward)" = victim ] &&
  [ "$(cat followed/linky/in/inward)" = inside ] && [ ! -L followed/linky/in/inward ] ||
  bad "create --follow-links did not pack what the links point at: $rc $err"
run create -q -o named.lzh linky/in/inward
run extract -q named.lzh -o named
[ "$rc" = 0 ] && [ "$(cat named/inward)" = inside ] || bad "a link named on the command line: $rc $err"
ln -s nowhere linky/in/dangling
run create -q --follow-links -o dangling.lzh linky
[ "$rc" = 1 ] && [[ $err == *"'linky/in/dangling'"*"nowhere"* ]] ||
  bad "create --follow-links of a dangling link: $rc $err"
[ ! -e dangling.lzh ] || bad "a failed create --follow-links left its output"

finish "no write through a link; links in a packed tree announced ($refusals of 50 racing extracts refused)"
