#!/usr/bin/env bash
# The man page and the bash completion keep up with the program: the page
# renders without a warning and describes every command and every option
# that `--help` shows, in that command's section; the completion offers the
# same commands and options, and the values of --stub and --method.
#   docs.sh PATH/TO/quorvel-pack MANPAGE COMPLETION
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
page=$(realpath "$2")
completion=$(realpath "$3")
pack_test docs "$1"

warnings=$(groff -man -ww -z -K utf8 "$page" 2>&1) || bad "groff fails on the page"
[ -z "$warnings" ] || bad "groff warns: $warnings"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || true
[ -z "$warnings" ] || bad "man warns: $warnings"

# shellcheck source=/dev/null
source "$completion"
# What the completion offers after the given words (the last one being typed).
offers() {
  COMP_WORDS=(quorvel-pack "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _quorvel_pack
  printf '%s\n' "${COMPREPLY[@]}"
}

commands=$("$pack" --help | sed -n 's/^  quorvel-pack \([a-z]\+\).*/\1/p')
[ "$(wc -w <<< "$commands")" -ge 5 ] || bad "--help lists only: $commands"
for command in $commands; do
  section=$(awk -v c="$command" '$0 == ".SS " c { on = 1; next } /^\.S[HS]/ { on = 0 } on' "$page")
  [ -n "$section" ] || bad "the page has no section for $command"
  grep -qx "$command" <<< "$(offers "${command:0:3}")" || bad "the completion does not offer $command"
  options=$("$pack" "$command" --help | { grep -oE -- '(^| |\[)--?[a-z][a-z-]*' || true; } | tr -d ' [' | sort -u)
  for option in $options; do
    grep -qF -- "$(sed 's/-/\\-/g' <<< "$option")" <<< "$section" ||
      bad "the page's section on $command does not describe $option"
    grep -qx -- "$option" <<< "$(offers "$command" -)" || bad "the completion does not offer $command $option"
  done
done
for option in --help --version; do
  grep -qF -- "$(sed 's/-/\\-/g' <<< "$option")" "$page" || bad "the page does not describe $option"
done
[ "$(offers create --method '' | tr '\n' ' ')" = "lh0 lh5 lh6 lh7 " ] ||
  bad "--method offers: $(offers create --method '')"
grep -qx i686 <<< "$(offers create --stub '')" || bad "--stub does not offer i686"
# Exit codes: each one the program uses is described.
for code in 0 1 2; do
  awk '/^\.SH EXIT STATUS/ { on = 1; next } /^\.SH/ { on = 0 } on' "$page" | grep -qx ".B $code" ||
    bad "EXIT STATUS does not describe $code"
done

finish "the man page and the completion cover $(wc -w <<< "$commands") commands"
