#!/usr/bin/env bash
# Builds everything and runs all tests: the portable library natively under
# the sanitizers, and the Windows program, its libraries and whole-program
# tests under Wine. One ctest run covers both tiers, so its summary closes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
bash "$root/scripts/build.sh" native
bash "$root/scripts/build.sh" mingw32
bash "$root/scripts/build.sh" mingw64
cat >"$root/build/CTestTestfile.cmake" <<'CT'
# Both test tiers in one run.
subdirs("native")
subdirs("mingw64")
CT
exec ctest --test-dir "$root/build" --output-on-failure -j2 "$@"
