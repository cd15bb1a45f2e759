#!/usr/bin/env bash
# Pictures of the stub's dialogs:
#   docs/screenshots/*.png  the README's: the demo's notice, main, options and
#                           overwrite dialogs in Wine's virtual desktop, which
#                           draws frames and title bars, each cut to its window;
#                           en-*.png the same on a Western Windows
#   dist/screenshots/*.png  every dialog, from the end-to-end test that walks
#                           through them, on the bare display
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
source scripts/xvfb.sh
start_wine_display

stage=build/readme-pictures
destination='Quorvel demo'
drive_c="${QUORVEL_WINEPREFIX:-$here/build/wineprefix}/drive_c"
rm -rf "$stage" "$drive_c/$destination"
# Wine draws the caption buttons with Marlett (package fonts-wine), which this
# Wine looks for where it is not installed; the prefix's own font folder works.
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$drive_c/windows/Fonts/marlett.ttf" ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$drive_c/windows/Fonts/"
fi
mkdir -p "$stage/files" "$stage/bmp" docs/screenshots
cp examples/demo/readme.txt build/win64/demo/hello.exe "$stage/files/"
touch -d '2025-04-01 09:00 UTC' "$stage"/files/*
build/native/quorvel-pack create --quiet -o "$stage/demo.exe" --stub dist/quorvel-sfx-x86_64.exe \
  --title "Quorvel demo" --folder "C:\\$destination" --notice examples/demo/notice.txt \
  --run hello.exe "$stage"/files/*
scripts/wine-run.sh explorer /desktop=quorvel,800x600 build/win64/readme_pictures.exe \
  "Z:$here/$stage/demo.exe" "C:\\$destination" "Z:$here/$stage/bmp"
rm -rf "$drive_c/$destination"
# The same dialogs on a Western Windows (code page 1252, English interface).
mkdir -p "$stage/bmp-en"
QUORVEL_WINE_LOCALE=C.UTF-8 scripts/wine-run.sh explorer /desktop=quorvel,800x600 \
  build/win64/readme_pictures.exe "Z:$here/$stage/demo.exe" "C:\\$destination" "Z:$here/$stage/bmp-en"
rm -rf "$drive_c/$destination"
for name in notice main options overwrite; do
  # No time chunks: the same pictures give the same bytes.
  convert "$stage/bmp/$name.bmp" -strip -define png:exclude-chunks=date,time \
    "docs/screenshots/$name.png"
  convert "$stage/bmp-en/$name.bmp" -strip -define png:exclude-chunks=date,time \
    "docs/screenshots/en-$name.png"
  echo "docs/screenshots/$name.png docs/screenshots/en-$name.png"
done

rm -rf build/win64/screenshots
scripts/wine-run.sh build/win64/win_e2e_tests.exe \
  --gtest_filter='EndToEnd.ScreenshotsOfEveryDialog:Variants/FolderChooser.*'
mkdir -p dist/screenshots
for bmp in build/win64/screenshots/*.bmp; do
  png="dist/screenshots/$(basename "${bmp%.bmp}").png"
  convert "$bmp" -trim +repage "$png" && echo "$png"
done
