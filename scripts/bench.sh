#!/usr/bin/env bash
# Builds and runs the benchmarks: the native white list bench and, under
# Wine, the notification bench. Each prints figures and ratios against a
# baseline measured in the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
# Optimised and without the sanitizers of the test tree.
tree="$root/build/bench-native"
cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$tree" --target vgwl_bench_whitelist >/dev/null
"$tree/bench/vgwl_bench_whitelist"
bash "$root/scripts/build.sh" mingw64 vgwl_bench_notify vgwl_bench_whitelist_page >/dev/null
state="$root/build/bench-wine"
bash "$root/scripts/wine-session.sh" start "$state"
trap 'bash "$root/scripts/wine-session.sh" stop "$state"' EXIT
bash "$root/scripts/wine-run.sh" "$state" "$root/build/mingw64/bench/vgwl_bench_notify.exe"
bash "$root/scripts/wine-run.sh" "$state" "$root/build/mingw64/bench/vgwl_bench_whitelist_page.exe"
