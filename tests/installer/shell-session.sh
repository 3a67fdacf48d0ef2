#!/usr/bin/env bash
# Starts the setup tests' Wine session from a new prefix whose desktop is run
# by a shell (Wine's explorer as a desktop of its own), as a logged-on user's
# is: the setup starts the program through the shell.
#   shell-session.sh STATE_DIR
set -euo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
state=${1:?usage: shell-session.sh STATE_DIR}
bash "$scripts/wine-session.sh" stop "$state"
rm -rf "$state"
bash "$scripts/wine-session.sh" start "$state"
for args in "Explorer /v Desktop /t REG_SZ /d Default" "Explorer\\Desktops /v Default /t REG_SZ /d 1280x1024"; do
    # shellcheck disable=SC2086
    bash "$scripts/wine-run.sh" "$state" reg add "HKCU\\Software\\Wine\\"${args} /f </dev/null >/dev/null 2>&1
done
# The desktop is made when the session starts.
bash "$scripts/wine-session.sh" stop "$state"
bash "$scripts/wine-session.sh" start "$state"
