#!/usr/bin/env bash
# Makes the many-files benchmark archive: FILES small text files (about 100
# bytes each, default 50,000) spread over FOLDERS folders (default 100), packed
# by jlha with -lh7- and level-2 headers. The same arguments give the same files.
# Usage: scripts/make-many-files.sh OUT.lzh [FILES [FOLDERS]]
#   then: scripts/bench-pass.sh --archive OUT.lzh --runs 3
set -euo pipefail
out=$(realpath "${1:?usage: make-many-files.sh OUT.lzh [FILES [FOLDERS]]}")
files=${2:-50000}
folders=${3:-100}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
python3 - "$stage/many" "$files" "$folders" <<'EOF'
import os, random, sys
root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
words = ("archive member folder header window decoder table stream length offset "
         "record value block piece status cancel extract progress volume").split()
rng = random.Random(14)
for f in range(folders):
    os.makedirs(os.path.join(root, "folder%03d" % f))
for i in range(files):
    line = "file %d:" % i
    while len(line) < 90 + rng.randrange(20):
        line += " " + rng.choice(words)
    path = os.path.join(root, "folder%03d" % (i % folders), "file%05d.txt" % i)
    with open(path, "w") as out:
        out.write(line + "\n")
    os.utime(path, (1700000000 + i, 1700000000 + i))
EOF
rm -f "$out"
(cd "$stage" && jlha c2o7q "$out" many >/dev/null)
echo "$out: $(stat -c %s "$out") bytes, $files files in $folders folders"
