#!/usr/bin/env bash
# Builds what the program needs (the program, the component, the browser
# bridge, the vgwlblock tool and the sounds) and starts it under Wine, on
# $DISPLAY when set and on a private Xvfb otherwise. With a display it also
# starts Debian's Chromium with the extension and the bridge, on a small demo
# page (scripts/demo.mjs). Returns when the program ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "run: $*"; }

say "checking the Debian packages (installing what is missing can take several minutes)"
bash "$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
if [ ! -f "$root/build/mingw64/build.ninja" ]; then
    say "configuring the Windows build in build/mingw64 (once, about half a minute)"
fi
targets=(VelmoraGWLite olvrex vgwlhost vgwlblock vgwl_sounds)
if [ -n "${DISPLAY:-}" ]; then
    targets+=(vgwl_extension)
fi
say "building dist/: ${targets[*]}"
# Ninja prints one [done/total] line per step when its output is not a terminal.
nice bash "$root/scripts/build.sh" mingw64 "${targets[@]}"

state="$root/build/run-wine"
if [ ! -f "$state/prefix/.vgwl-ready" ]; then
    say "preparing a private Wine prefix in build/run-wine (once, about a minute)"
fi
bash "$root/scripts/wine-session.sh" start "$state"
demo=
end_all() {
    if [ -n "$demo" ]; then
        kill "$demo" 2>/dev/null || true
        wait "$demo" 2>/dev/null || true
    fi
    bash "$root/scripts/wine-session.sh" stop "$state"
}
trap end_all EXIT
trap 'echo; say "stopping the program and its Wine session"; exit 130' INT TERM

display=${DISPLAY:-}
if [ -f "$state/display" ]; then
    display=$(cat "$state/display")
fi
cat <<EOF
run: starting dist/VelmoraGWLite.exe on display $display
run:   After the splash the program has no window, only a tray icon (a blue
run:   shield). Under Wine without a desktop, the icon sits in the small
run:   "Wine System Tray" window; on a desktop with a tray, in its tray.
run:   Open the preferences window: double-click the tray icon, or
run:   right-click it and choose Preferences.
run:   Simulate a blocked popup (sound and a blinking icon), in a second terminal:
run:     bash scripts/wine-run.sh build/run-wine dist/vgwlblock.exe http://www.example.com/
EOF
if [ ! -f "$root/dist/gwwhitelist.dat" ]; then
    cat <<EOF
run:   (first press Save on the window's White List page once: the component
run:   blocks nothing until a white list has been saved)
EOF
fi
cat <<EOF
run:   End it: right-click the tray icon and choose Exit, or press Ctrl+C here.
EOF
if [ -z "${DISPLAY:-}" ]; then
    say "no DISPLAY is set: the program runs on a private Xvfb display ($display) that"
    say "nobody sees; set DISPLAY to your X display to see and use it"
fi
# In the background with a wait: a signal's trap runs at once during a wait,
# not only after the program has ended; the session's stop then ends it.
status=0
bash "$root/scripts/wine-run.sh" "$state" "$root/dist/VelmoraGWLite.exe" &
program=$!
if [ -n "${DISPLAY:-}" ]; then
    cat <<EOF
run: Chromium opens a demo page (its own profile in build/run-browser) with the
run:   extension, wired to this program. Try:
run:   - wait: every 10 s the page tries a popup by itself; nothing opens, you
run:     hear a sound and the tray icon blinks; the window's counter shows
run:     each one the next time you open the window
run:   - the page's button: its hidden second window is stopped too
run:   - the page's link: it opens, as every click of yours does
run:   - on the window's White List page add 127.0.0.1 and press Save: the
run:     page's next tries open; remove it and Save to block them again
run:   What the page tries and what opens is printed below as "demo:".
EOF
    mkdir -p "$root/build/run-browser"
    node "$root/scripts/demo.mjs" --dist "$root/dist" --state "$state" \
        --work "$root/build/run-browser" &
    demo=$!
fi
wait $program || status=$?
say "the program ended with exit code $status"
exit "$status"
