# Sourced: whether the 32-bit stub can run here. Wine runs 32-bit Windows
# programs where the kernel runs 32-bit x86 programs and the wine32:i386
# package is installed. The kernel is asked by running a tiny static 32-bit
# program, never by its name: a 64-bit kernel may lack IA-32 support.

quorvel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# True when a tiny static 32-bit x86 program runs and returns its exit code.
runs_32bit_programs() {
  local dir code=0
  mkdir -p "$quorvel_root/build"
  dir=$(mktemp -d "$quorvel_root/build/probe-i386.XXXXXX") || return 1
  printf '%s\n' 'void _start(void) {' \
    '  __asm__ volatile("movl $1, %eax\n\tmovl $42, %ebx\n\tint $0x80");' '}' >"$dir/probe.c"
  if clang -m32 -nostdlib -static -o "$dir/probe" "$dir/probe.c" >/dev/null 2>&1; then
    "$dir/probe" >/dev/null 2>&1 || code=$?
  fi
  rm -rf "$dir"
  [ "$code" -eq 42 ]
}

# True when Wine can run the 32-bit stub here. The answer is kept in
# QUORVEL_WINE32 ("yes", or "no: " and the reason) for the scripts started later.
wine_runs_32bit() {
  if [ -z "${QUORVEL_WINE32:-}" ]; then
    if ! runs_32bit_programs; then
      QUORVEL_WINE32="no: this machine cannot run 32-bit programs"
    elif [ ! -x /usr/lib/wine/wine ]; then
      QUORVEL_WINE32="no: 32-bit Wine (wine32:i386) is not installed; scripts/setup.sh installs it"
    else
      QUORVEL_WINE32=yes
    fi
    export QUORVEL_WINE32
  fi
  [ "$QUORVEL_WINE32" = yes ]
}

# True when running "$@" under Wine needs 32-bit Wine: the program is a 32-bit
# image, or it runs the 32-bit stub (QUORVEL_STUB=i686, the end-to-end tests).
needs_wine32() {
  [ "${QUORVEL_STUB:-}" = i686 ] && return 0
  [ -f "${1:-}" ] || return 1
  local lfanew
  lfanew=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$lfanew" ] || return 1
  # IMAGE_FILE_MACHINE_I386 in the COFF header behind the "PE\0\0" signature.
  [ "$(od -An -tx2 -j$((lfanew + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')" = 014c ]
}
