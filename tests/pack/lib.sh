# Sourced by the scripts of tests/pack:
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#   pack_test NAME [PATH/TO/quorvel-pack]
# sets `pack` (its full path), `runner` (scripts/wine-run.sh for a Windows
# program, else nothing), `here` (the project) and a work folder that becomes
# the current folder and is removed at the end (kept when KEEP is set); then
#   bad TEXT       reports a failure ("NAME: FAIL: TEXT")
#   run ARGS...    runs the packer: sets rc, out and err (Windows line ends dropped)
#   finish TEXT    ends the script: "NAME: TEXT" and 0 when nothing failed, else 1
# Paths given to the script are taken with realpath before pack_test;
#   built NAME FILE HOW   prints FILE's full path, or skips the test (exit
#                         code 77) when FILE was not built, saying HOW to build it
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

built() {
  if [ ! -f "$2" ]; then
    echo "$1: '$2' is not there; $3" >&2
    exit 77
  fi
  realpath "$2"
}

pack_test() {
  test_name=$1
  pack=
  [ -z "${2:-}" ] || pack=$(realpath "$2")
  runner=()
  [[ $pack == *.exe ]] && runner=("$here/scripts/wine-run.sh")
  work=$(mktemp -d)
  trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
  cd "$work"
  fail=0
}

bad() { echo "$test_name: FAIL: $*"; fail=1; }

run() {
  rc=0
  "${runner[@]}" "$pack" "$@" > out.txt 2> err.txt || rc=$?
  out=$(tr -d '\r' < out.txt)
  err=$(tr -d '\r' < err.txt)
}

finish() {
  [ "$fail" -eq 0 ] && echo "$test_name: $*"
  exit "$fail"
}
