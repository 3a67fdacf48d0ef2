#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the
# program need and is not there yet. Quiet and quick when all is present.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

check() {  # check PACKAGE [COMMAND]
    local pkg=$1 cmd=${2:-}
    if [ -n "$cmd" ]; then
        have_cmd "$cmd" || need+=("$pkg")
    else
        have_pkg "$pkg" || need+=("$pkg")
    fi
}

check cmake cmake
check ninja-build ninja
check g++ g++
check python3 python3
check g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++-posix
check g++-mingw-w64-i686-posix i686-w64-mingw32-g++-posix
check wine64
check wine wine
# Wine's own fonts: "MS Sans Serif", Tahoma and the title bar's glyphs,
# with the metrics the forms were laid out for.
check fonts-wine
check xvfb Xvfb
check x11-utils xwininfo
check googletest
check nlohmann-json3-dev
# The bridge's protocol is fuzzed with libFuzzer, which comes with clang.
check clang-14 clang++-14
check libclang-rt-14-dev
check pulseaudio pulseaudio
check pulseaudio-utils parecord
check sox sox
check fp-utils chmcmd
check nsis makensis
# Locale sources: a test compiles a Russian locale for Wine's code page 1251.
check locales
# The browser test: Chromium driven from Node over the DevTools pipe.
check chromium chromium
check nodejs node
# The browser test's second browser: Firefox ESR driven over WebDriver BiDi.
check firefox-esr firefox-esr

if [ ${#need[@]} -eq 0 ]; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: missing packages: ${need[*]}; run as root to install them" >&2
    exit 1
fi
echo "bootstrap: installing ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
