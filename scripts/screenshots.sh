#!/usr/bin/env bash
# Takes pictures of every page of the forms at 96 and 144 DPI under Wine and
# Xvfb (into build/mingw64/screenshots/), and puts the 96 DPI main window into
# docs/ for the README.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
nice bash "$root/scripts/build.sh" mingw64 vgwl_wine_tests VelmoraGWLite
ctest --test-dir "$root/build/mingw64" -R '^wine\.(session\.(start|stop)|LayoutAtEveryDpi)$' \
    --output-on-failure
shots="$root/build/mingw64/screenshots"
cp "$shots/preferences-96dpi.png" "$root/docs/main-window.png"
echo "screenshots: pictures in $shots; docs/main-window.png updated"
