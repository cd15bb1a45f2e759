#!/usr/bin/env bash
# The progress bar of create and extract: drawn on standard error when it is
# a terminal (here the pseudo-terminal of `script`), with bytes, percent and
# rate, and never into a pipe, a file or under --quiet; a failure's message
# gets a line of its own, not the tail of the bar's.
#   progress.sh PATH/TO/quorvel-pack
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
pack_test progress "$1"

# Runs a shell command line on a terminal; what the terminal showed goes to
# tty.log, carriage returns and all.
on_terminal() {
  script -qec "$1" /dev/null < /dev/null > tty.log 2>&1 || true
}
# The terminal's lines as a person sees them: each line's text after its last
# carriage return (what was drawn over is gone).
seen() { sed 's/.*\r\(.\)/\1/; s/\r$//' tty.log; }

mkdir -p tree/sub
head -c 3000000 /dev/urandom > tree/random.bin
seq 1 300000 > tree/sub/numbers.txt
printf 'small\n' > tree/sub/small.txt
total=$(cat tree/random.bin tree/sub/numbers.txt tree/sub/small.txt | wc -c)

# create on a terminal: the bar, ending at 100 % of all the bytes.
on_terminal "'$pack' create -o a.lzh tree"
grep -q $'\r\\[' tty.log || bad "create on a terminal drew no bar: $(cat -A tty.log | head -c 300)"
grep -qE $'\\[#{24}\\] 100%  [0-9.]+ [KM]iB of [0-9.]+ [KM]iB  [0-9.]+ [KMG]?i?B/s' tty.log ||
  bad "create's bar has no bytes, percent or rate: $(cat -A tty.log | head -c 300)"
[ "$(seen | tail -n 1)" = "quorvel-pack create: wrote a.lzh (5 members)" ] ||
  bad "create's summary is not a line of its own: $(seen | tail -n 1)"

# Not on a terminal: standard error holds the summary alone.
"$pack" create -o b.lzh tree 2> err.txt
[ "$(cat err.txt)" = "quorvel-pack create: wrote b.lzh (5 members)" ] ||
  bad "create into a file wrote more than its summary: $(cat -A err.txt)"
# --quiet on a terminal: nothing at all.
on_terminal "'$pack' create --quiet -o c.lzh tree"
[ ! -s tty.log ] || bad "create --quiet on a terminal showed: $(cat -A tty.log | head -c 300)"

# extract on a terminal with the names sent to a file: the bar is on the
# terminal, the names in the file without a trace of it.
on_terminal "'$pack' extract a.lzh -o out > names.txt"
grep -qE $'\\] 100%  .* of .*B/s' tty.log || bad "extract on a terminal drew no bar: $(cat -A tty.log | head -c 300)"
grep -q "of $(awk -v n="$total" 'BEGIN { printf "%.2f MiB", n / 1048576 }')" tty.log ||
  bad "extract's total is not the size of the members: $(cat -A tty.log | head -c 300)"
printf 'tree/random.bin\ntree/sub/numbers.txt\ntree/sub/small.txt\n3 files extracted into out\n' > want.txt
cmp -s names.txt want.txt || bad "extract's names are not plain lines: $(cat -A names.txt)"
# Names and bar on one terminal: every name on a line of its own.
on_terminal "'$pack' extract --overwrite a.lzh -o out"
seen | grep -qx 'tree/sub/numbers.txt' || bad "a name shares its line with the bar: $(seen | cat -A)"
# Into a pipe, and under --quiet: no bar.
"$pack" extract --overwrite a.lzh -o out 2>&1 >/dev/null | cat > err.txt
[ ! -s err.txt ] || bad "extract into a pipe drew: $(cat -A err.txt)"
on_terminal "'$pack' extract --overwrite --quiet a.lzh -o out"
[ ! -s tty.log ] || bad "extract --quiet on a terminal showed: $(cat -A tty.log | head -c 300)"

# A failure half-way: its message starts its own line and the bar is gone.
cp a.lzh damaged.lzh
size=$(stat -c %s damaged.lzh)
printf '\x55\x55\x55\x55' | dd of=damaged.lzh bs=1 seek=$((size - 200)) conv=notrunc 2>/dev/null
on_terminal "'$pack' extract damaged.lzh -o broken > /dev/null"
last=$(seen | grep -v '^ *$' | tail -n 1)
[[ $last == "quorvel-pack extract: "* ]] || bad "the failure does not start its line: $(cat -A tty.log | tail -c 300)"

finish "a bar on terminals only, with bytes, percent and rate"
