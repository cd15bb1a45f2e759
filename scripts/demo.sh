#!/usr/bin/env bash
# Packs the bundled example into dist/quorvel-demo.exe and runs it under Wine:
# in a real window when a display is there, otherwise on a private Xvfb
# display with a driver that presses the buttons, saves pictures of each step
# into dist/screenshots/ and lists what was extracted.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

stage=build/demo-stage
rm -rf "$stage"
mkdir -p "$stage"
cp -p examples/demo/readme.txt build/win64/demo/hello.exe "$stage/"
build/native/quorvel-pack create --quiet -o dist/quorvel-demo.exe \
  --stub dist/quorvel-sfx-x86_64.exe --method lh7 \
  --title "Quorvel demo" --folder 'C:\Quorvel demo' \
  --notice examples/demo/notice.txt --run hello.exe "$stage"/*
echo "made dist/quorvel-demo.exe ($(stat -c %s dist/quorvel-demo.exe) bytes):"
build/native/quorvel-pack list dist/quorvel-demo.exe

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "running dist/quorvel-demo.exe on $DISPLAY"
  # A real display has a window manager: let it frame and move the windows
  # (the tests' private displays have none, and turn this off).
  scripts/wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d Y /f >/dev/null 2>&1 || true
  scripts/wine-run.sh dist/quorvel-demo.exe
  exit 0
fi

source scripts/xvfb.sh
start_wine_display
prefix="${QUORVEL_WINEPREFIX:-$here/build/wineprefix}"
target="$prefix/drive_c/quorvel-demo"
rm -rf "$target" build/demo-shots
mkdir -p build/demo-shots
echo "no display: running the demo on Xvfb $DISPLAY, pressing Extract by itself"
scripts/wine-run.sh build/win64/demo_driver.exe "Z:$here/dist/quorvel-demo.exe" 'C:\quorvel-demo' \
  "Z:$here/build/demo-shots"
mkdir -p dist/screenshots
for bmp in build/demo-shots/*.bmp; do
  [ -e "$bmp" ] || continue
  png="dist/screenshots/$(basename "${bmp%.bmp}").png"
  convert "$bmp" "$png" && echo "screenshot: $png"
done
echo "extracted into C:\\quorvel-demo ($target):"
(cd "$target" && ls -l)
