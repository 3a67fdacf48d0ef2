#!/usr/bin/env bash
# Starts or stops the private Wine environment that the Windows tests and the
# program run in:  wine-session.sh start|stop STATE_DIR [substitutes]
#
# start: prepares a private prefix once, starts Xvfb when no display is set,
#        and starts one wineserver detached from the caller's pipes, so that a
#        test runner waiting on a test's output is not held by Wine's helpers.
#        With "substitutes" the prefix goes without Wine's own fonts, as a
#        new user of Debian's Wine has it: the faces the forms ask for are
#        replaced by whatever the system offers.
# stop:  ends that wineserver (and every process of the prefix) and the Xvfb
#        started here; nothing else is touched.
set -euo pipefail

cmd=${1:?usage: wine-session.sh start|stop STATE_DIR}
state=$(realpath -m "${2:?usage: wine-session.sh start|stop STATE_DIR}")
fonts=${3:-wine}
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko install prompts: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_display() {
    # Only the Xvfb this state started, checked by its command line.
    if [ -f "$state/xvfb.pid" ]; then
        local pid
        pid=$(cat "$state/xvfb.pid")
        if [ -n "$pid" ] && grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
        fi
    fi
    rm -f "$state/xvfb.pid" "$state/display"
}

start_display() {
    # A run that was interrupted before its stop leaves its Xvfb behind.
    stop_display
    if [ -n "${DISPLAY:-}" ]; then
        return
    fi
    local fdfile="$state/xvfb.displayfd"
    rm -f "$fdfile"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" </dev/null \
        >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 1 100); do
        if [ -s "$fdfile" ]; then
            echo ":$(tr -d '\n' <"$fdfile")" >"$state/display"
            return
        fi
        sleep 0.1
    done
    echo "wine-session: Xvfb did not start" >&2
    exit 1
}

prepare_prefix() {
    if [ -f "$WINEPREFIX/.vgwl-ready" ]; then
        return
    fi
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
    # A crashing program must fail, not wait headless for a click on the
    # crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1
    # Without a window manager every hide of a top-level window would wait 2 s.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d Y /f \
        </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.vgwl-ready"
}

link_wine_fonts() {
    # Debian's Wine looks for its own fonts (fonts-wine) in a folder it cannot
    # reach, and falls back to other faces with other metrics; linked into the
    # prefix's Fonts folder they are found. Checked at every start, so that a
    # prefix made before the package was installed gets them too.
    local src=/usr/share/wine/fonts dst="$WINEPREFIX/drive_c/windows/Fonts" f
    [ -d "$src" ] && [ -d "$dst" ] || return 0
    if [ "$fonts" = substitutes ]; then
        find "$dst" -maxdepth 1 -type l -lname "$src/*" -delete
        return 0
    fi
    for f in "$src"/*; do
        [ -e "$dst/${f##*/}" ] || [ -L "$dst/${f##*/}" ] || ln -s "$f" "$dst/"
    done
}

case "$cmd" in
start)
    mkdir -p "$state"
    start_display
    if [ -f "$state/display" ]; then
        export DISPLAY
        DISPLAY=$(cat "$state/display")
    fi
    prepare_prefix
    link_wine_fonts
    setsid wineserver -p300 </dev/null >/dev/null 2>&1 || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    ;;
stop)
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    stop_display
    ;;
*)
    echo "usage: wine-session.sh start|stop STATE_DIR" >&2
    exit 2
    ;;
esac
