#!/usr/bin/env bash
# Benchmark of the skin markup parser against pugixml on one generated ~20 MB skin of 200,000
# elements: both parse the same bytes in one process, built by the same cross toolchain, and the
# program prints the medians of several runs and their ratio.
#   bench/markup.sh [runs] [i686|x86_64]      (default 7 runs, x86_64; the i686 build runs under
#                                              CPU emulation on machines without native 32-bit)
# pugixml comes from Debian's source package as a benchmark-only dependency, into the dependency
# cache; nothing of it enters the repository or the programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
arch=${2:-x86_64}
out=${TOLLVANE_BUILD_DIR:-$root/build}
cache=${TOLLVANE_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tollvane-deps}

bash "$root/scripts/install-packages.sh" >/dev/null
src="$cache/bench-src"
mkdir -p "$src"
if ! ls "$src"/pugixml-*/src/pugixml.cpp >/dev/null 2>&1; then
  (cd "$src" && apt-get source --download-only pugixml >&2 || true)
  orig=$(ls "$src"/pugixml_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)
  [ -n "$orig" ] || { echo "no pugixml source tarball" >&2; exit 1; }
  tar -xf "$orig" -C "$src"
fi
pugi=$(ls -d "$src"/pugixml-*/src | head -n1)

prefix=$(bash "$root/scripts/build-deps.sh" "$arch" | tail -n1)
bdir="$out/bench-$arch"
cmake -S "$root" -B "$bdir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
  -DTOLLVANE_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DTOLLVANE_BENCH_PUGIXML_DIR="$pugi" >/dev/null
cmake --build "$bdir" --target markup_bench -j "$(nproc)" >/dev/null

source "$root/scripts/test-env.sh" "$out"
trap test_env_stop EXIT
test_env_start
"$root/scripts/wine-run.sh" "$bdir/bench/markup_bench.exe" "$runs"
