#!/usr/bin/env bash
# A new Wine session for the setup tests whose desktop is run by a shell
# (Wine's explorer as a desktop of its own), as a logged-on user's is:
#   shell-session.sh STATE_DIR
set -euo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
state=${1:?usage: shell-session.sh STATE_DIR}
bash "$scripts/wine-session.sh" stop "$state" && rm -rf "$state"
bash "$scripts/wine-session.sh" start "$state"
bash "$scripts/wine-run.sh" "$state" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
bash "$scripts/wine-run.sh" "$state" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f </dev/null >/dev/null 2>&1
# The desktop is made when the session starts.
bash "$scripts/wine-session.sh" stop "$state" && bash "$scripts/wine-session.sh" start "$state"
