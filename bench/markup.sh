#!/usr/bin/env bash
# Benchmark of the skin markup parser against pugixml on one generated ~20 MB skin of 200,000
# elements: both parse the same bytes in one process, built by the same cross toolchain with the
# same flags as the programs (the test build's folder), and the program prints the medians of
# several runs, their ratio, and what the conversion to UTF-16 alone costs.
#   bench/markup.sh [runs] [i686|x86_64]      (default 7 runs; the build as bench/bench-build.sh
#                                              picks it, or the one named)
# pugixml comes from Debian's source package as a benchmark-only dependency, into the dependency
# cache; nothing of it enters the repository or the programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
[ -n "${2:-}" ] && export TOLLVANE_BENCH_ARCH=$2
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

source "$root/bench/bench-build.sh"
bench_build markup_bench -- -DTOLLVANE_BENCH_PUGIXML_DIR="$pugi"
echo "$bench_note"

source "$root/scripts/test-env.sh" "$out"
trap test_env_stop EXIT
test_env_start
"$root/scripts/wine-run.sh" "$bench_dir/bench/markup_bench.exe" "$runs"
