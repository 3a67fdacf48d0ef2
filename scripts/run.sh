#!/usr/bin/env bash
# Builds the program and starts it under Wine, on $DISPLAY when set and on a
# private Xvfb otherwise. Returns when the program ends (tray menu, Exit).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
bash "$root/scripts/build.sh" mingw64 >/dev/null
state="$root/build/run-wine"
if [ -z "${DISPLAY:-}" ]; then
    echo "run: no DISPLAY set; the program runs on a private Xvfb display and is not visible"
fi
bash "$root/scripts/wine-session.sh" start "$state"
trap 'bash "$root/scripts/wine-session.sh" stop "$state"' EXIT
trap 'exit 130' INT TERM
echo "run: starting dist/VelmoraGWLite.exe (end it from its tray menu with Exit, or Ctrl+C)"
status=0
bash "$root/scripts/wine-run.sh" "$state" "$root/dist/VelmoraGWLite.exe" || status=$?
echo "run: the program ended with exit code $status"
exit "$status"
