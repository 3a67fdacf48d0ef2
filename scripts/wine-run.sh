#!/usr/bin/env bash
# Runs one Windows program in the private Wine environment prepared by
# wine-session.sh:  wine-run.sh STATE_DIR PROGRAM [ARGS...]
# Used by ctest as the cross-compiling emulator; the exit code is the program's.
set -euo pipefail
state=$(realpath -m "${1:?usage: wine-run.sh STATE_DIR PROGRAM [ARGS...]}")
shift
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$state/display" ]; then
    DISPLAY=$(cat "$state/display")
    export DISPLAY
fi
if [ ! -f "$WINEPREFIX/.vgwl-ready" ]; then
    echo "wine-run: no prepared prefix in $state; run wine-session.sh start first" >&2
    exit 2
fi
exec wine "$@"
