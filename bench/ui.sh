#!/usr/bin/env bash
# Cost of skinned windows as they grow: generated skins of 1,000, 10,000 and 50,000 controls are
# built through the dialog builder from markup text, registered by name, laid out and painted into
# a DIB under Wine, several runs in one process. Prints the median time per control of each step,
# the ratio per-control(50,000)/per-control(1,000) (flat cost: near 1) and the ratio of a full
# framework paint of the 10,000-control window to the same rectangles, borders and texts painted
# with direct GDI calls in the same run.
#   bash bench/ui.sh [runs]            (TOLLVANE_BUILD_DIR: build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
runs=${1:-5}

if [ ! -f "$out/x86_64/build.ninja" ]; then
  bash "$root/scripts/install-packages.sh"
  prefix=$(bash "$root/scripts/build-deps.sh" x86_64 | tail -n1)
  cmake -S "$root" -B "$out/x86_64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-mingw.cmake" \
    -DTOLLVANE_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$out/x86_64" --target ui_bench >/dev/null

source "$root/scripts/test-env.sh" "$out"
trap test_env_stop EXIT
test_env_start
"$root/scripts/wine-run.sh" "$out/x86_64/bench/ui_bench.exe" "$runs"
