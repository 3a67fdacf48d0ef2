#!/usr/bin/env bash
# Builds and runs the benchmarks: the native white list bench, the browser
# extension's cost in Chromium (bench/browser), and, under Wine, the
# notification bench, the browser bridge's bench and the start-up and
# footprint bench of the
# installed program against two bare programs. Each prints figures and ratios
# against a baseline measured in the same run. Arguments go to the start-up
# bench (for a quick look: --rounds 1 --idle 5 --soak 1000).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
# Optimised and without the sanitizers of the test tree.
tree="$root/build/bench-native"
cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$tree" --target vgwl_bench_whitelist >/dev/null
"$tree/bench/vgwl_bench_whitelist"
echo
node "$root/bench/browser/page-load.mjs"
bash "$root/scripts/build.sh" mingw64 vgwl_bench_notify vgwl_bench_whitelist_page vgwl_bench_startup \
    vgwl_bench_bridge >/dev/null
state="$root/build/bench-wine"
bash "$root/scripts/wine-session.sh" start "$state"
trap 'bash "$root/scripts/wine-session.sh" stop "$state"' EXIT
wine_path() { printf 'Z:%s' "${1//\//\\}"; }
bench="$root/build/mingw64/bench"
echo
bash "$root/scripts/wine-run.sh" "$state" "$bench/vgwl_bench_notify.exe"
echo
bash "$root/scripts/wine-run.sh" "$state" "$bench/vgwl_bench_whitelist_page.exe"
echo
bash "$root/scripts/wine-run.sh" "$state" "$bench/vgwl_bench_bridge.exe" \
    "$(wine_path "$root/dist/vgwlhost.exe")" "$(wine_path "$bench/vgwl_bare_console.exe")"
echo
echo "Machine load before the start-up bench: $(uptime)"
bash "$root/scripts/wine-run.sh" "$state" "$bench/vgwl_bench_startup.exe" \
    "$(wine_path "$root/dist/VelmoraGWLite.exe")" "$(wine_path "$bench/vgwl_bare_tray.exe")" \
    "$(wine_path "$bench/vgwl_bare_form.exe")" "$@"
echo "Machine load after the start-up bench: $(uptime)"
