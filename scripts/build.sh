#!/usr/bin/env bash
# Configures and builds one tree:  build.sh native|mingw64|mingw32 [TARGET...]
#   native   the portable library and its tests, under ASan and UBSan
#   mingw64  the product (into dist/), the Windows tests
#   mingw32  the 32-bit build, compiled only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: build.sh native|mingw64|mingw32 [TARGET...]}
shift
case "$kind" in
native) args=(-DVGWL_SANITIZE=ON) ;;
mingw64) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake") ;;
mingw32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake") ;;
*) echo "build.sh: unknown kind $kind" >&2; exit 2 ;;
esac
tree="$root/build/$kind"
# A fresh clone has no build/ yet: the configure log goes beside the tree.
mkdir -p "$root/build"
if [ ! -f "$tree/build.ninja" ]; then
    cmake -S "$root" -B "$tree" -G Ninja "${args[@]}" >"$root/build/$kind.configure.log" 2>&1 || {
        cat "$root/build/$kind.configure.log" >&2
        exit 1
    }
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$tree" "${targets[@]}"
