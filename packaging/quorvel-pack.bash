# Bash completion for quorvel-pack(1): commands, each command's options, the
# values of --stub, --method and --language, and files or folders where a path goes.
_quorvel_pack() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  if [ "$COMP_CWORD" -eq 1 ]; then
    mapfile -t COMPREPLY < <(compgen -W "create list test extract info --help --version" -- "$cur")
    return
  fi
  local command=${COMP_WORDS[1]} options
  case $command in
    create) options="-o --output --stub --method --title --label --folder --message --run
                     --overwrite --restore-attributes --temp --language --notice --archive --exact-times
                     --follow-links -q --quiet" ;;
    list | info) options="--json" ;;
    test) options="" ;;
    extract) options="-o --output --overwrite --follow-links --same-owner -q --quiet" ;;
    *) return ;;
  esac
  options+=" -h --help --version"
  local want=files
  case $prev in
    --stub) mapfile -t COMPREPLY < <(compgen -W "x86_64 i686" -- "$cur") ;;
    --method) mapfile -t COMPREPLY < <(compgen -W "lh0 lh5 lh6 lh7" -- "$cur"); return ;;
    --language) mapfile -t COMPREPLY < <(compgen -W "auto ja en" -- "$cur"); return ;;
    --title | --label | --message | --run | --folder) return ;;
    -o | --output) [ "$command" = extract ] && want=folders ;;
    *)
      if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
      fi ;;
  esac
  compopt -o filenames 2>/dev/null
  local found
  if [ $want = folders ]; then
    mapfile -t found < <(compgen -d -- "$cur")
  else
    mapfile -t found < <(compgen -f -- "$cur")
  fi
  COMPREPLY+=("${found[@]}")
}
complete -F _quorvel_pack quorvel-pack
