# Sourced: starts and stops a private Xvfb display for programs that open windows.
start_private_display() {
  local n
  for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      QUORVEL_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do
        # Another run may have taken the same number a moment earlier: then
        # its server owns the socket and ours has exited; try the next one.
        kill -0 "$QUORVEL_XVFB_PID" 2>/dev/null || continue 2
        [ -e "/tmp/.X11-unix/X${n}" ] && return 0
        sleep 0.1
      done
      echo "Xvfb did not start on :$n" >&2
      return 1
    fi
  done
  echo "no free X display number" >&2
  return 1
}

stop_private_display() {
  if [ -n "${QUORVEL_XVFB_PID:-}" ]; then kill "$QUORVEL_XVFB_PID" 2>/dev/null || true; fi
}

# A private display for this script's lifetime, with Wine's prefix started on
# it (its first start takes a while, and must see the display).
start_wine_display() {
  local scripts prefix
  scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  start_private_display || return 1
  trap stop_private_display EXIT
  # The project's prefix made before 32-bit Wine was installed lacks the 32-bit
  # system folder, and Wine does not add it on update: make the prefix anew.
  source "$scripts/wine32.sh"
  prefix="$scripts/../build/wineprefix"
  if [ -z "${QUORVEL_WINEPREFIX:-}" ] && [ -d "$prefix/drive_c" ] &&
     [ ! -e "$prefix/drive_c/windows/syswow64/kernel32.dll" ] && wine_runs_32bit; then
    echo "Wine prefix without its 32-bit part: making build/wineprefix anew"
    WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
  fi
  "$scripts/wine-run.sh" wineboot -i >/dev/null 2>&1 || true
  # Xvfb runs no window manager, and a window that Wine hands to one waits for
  # an answer that never comes: about 2 s for every message box. Windows that
  # Wine manages itself appear at once.
  "$scripts/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1 || true
}
