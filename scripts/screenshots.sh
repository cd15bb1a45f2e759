#!/usr/bin/env bash
# Takes a picture of every dialog (the end-to-end test that walks through
# them) and writes them as PNG files into dist/screenshots/.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
source scripts/xvfb.sh
start_wine_display
rm -rf build/win64/screenshots
scripts/wine-run.sh build/win64/win_e2e_tests.exe \
  --gtest_filter='EndToEnd.ScreenshotsOfEveryDialog:Variants/FolderChooser.*'
mkdir -p dist/screenshots
for bmp in build/win64/screenshots/*.bmp; do
  png="dist/screenshots/$(basename "${bmp%.bmp}").png"
  convert "$bmp" -trim +repage "$png" && echo "$png"
done
