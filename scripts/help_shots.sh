#!/usr/bin/env bash
# Remakes the pictures of the help file, help/images/*.png, from the program
# itself running under Wine on a private Xvfb display:  help_shots.sh
#
# A copy of dist/ runs with a sample white list and sample settings (every
# switch on, 1234 popups counted, the component registered) in a Wine prefix
# of its own under build/help-shots; tools/HelpShots.cpp opens the windows
# as a user would and takes the pictures. The session is stopped at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/help-shots"
state="$work/wine"
key='HKLM\SOFTWARE\Corvantis\VelmoraLite\Version3\Settings'

bash "$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
nice bash "$root/scripts/build.sh" mingw64 VelmoraGWLite olvrex vgwl_sounds vgwl_helpshots

rm -rf "$work/program" "$work/bmp"
mkdir -p "$work/program" "$work/bmp"
cp -r "$root/dist/." "$work/program/"
rm -f "$work/program/gwwhitelist.dat"
printf '3\r\nexample.com\r\nwww.example.org\r\n192.0.2.10\r\n' >"$work/program/gwwhitelist.dat"

stop() { bash "$root/scripts/wine-session.sh" stop "$state"; }
trap stop EXIT
# Always a private display, never the caller's.
env -u DISPLAY bash "$root/scripts/wine-session.sh" start "$state"
run() { bash "$root/scripts/wine-run.sh" "$state" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

run reg delete "$key" /f >/dev/null 2>&1 || true
for value in VGWPBStatus:1 SoundNotification:1 SoundIndex:0 AnimTrayIcon:1 VGWPBFirst:0 EPWC:1234; do
    run reg add "$key" /v "${value%%:*}" /t REG_DWORD /d "${value#*:}" /f >/dev/null
done
run reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v VelmoraGWLite /f \
    >/dev/null 2>&1 || true

rc=0
run "$root/build/mingw64/tools/helpshots.exe" "$(winpath "$work/program/VelmoraGWLite.exe")" \
    "$(winpath "$work/bmp")" || rc=$?
if [ "$rc" -ne 0 ] && [ "$rc" -ne 3 ]; then
    echo "help_shots: the pictures could not all be taken; help/images is unchanged" >&2
    exit "$rc"
fi
python3 "$root/scripts/bmp_to_png.py" "$root/help/images" "$work"/bmp/*.bmp
if [ "$rc" -eq 3 ]; then
    echo "help_shots: pictures remade, but the window did not show the sample counter" \
        "and white list that the help describes (see above)" >&2
    exit 3
fi
