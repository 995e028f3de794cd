# Sourced by the benchmarks: picks and builds the build they measure, and says which.
# The shipped target is the 32-bit build; it is measured where 32-bit code runs natively
# (scripts/enable-i386.sh says "native"). Elsewhere 32-bit code runs under CPU emulation, whose
# figures say nothing about the programs, and the 64-bit build of the same sources is measured.
# TOLLVANE_BENCH_ARCH=i686|x86_64 forces a build (e.g. the 32-bit one under emulation, knowingly).
#   bench_build TARGET... [-- extra cmake -D arguments]
# sets bench_arch (i686 or x86_64), bench_dir (its build folder) and bench_note (one line to print).
_bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bench_build() {
  local targets=() defs=() i386 prefix
  while [ $# -gt 0 ]; do
    if [ "$1" = -- ]; then shift; defs=("$@"); break; fi
    targets+=("$1"); shift
  done
  i386=$(bash "$_bench_root/scripts/enable-i386.sh")
  if [ -n "${TOLLVANE_BENCH_ARCH:-}" ]; then
    bench_arch=$TOLLVANE_BENCH_ARCH
  elif [ "$i386" = native ]; then
    bench_arch=i686
  else
    bench_arch=x86_64
  fi
  bench_dir=${TOLLVANE_BUILD_DIR:-$_bench_root/build}/$bench_arch
  if [ ! -f "$bench_dir/build.ninja" ] || [ ${#defs[@]} -gt 0 ]; then
    bash "$_bench_root/scripts/install-packages.sh" >/dev/null
    prefix=$(bash "$_bench_root/scripts/build-deps.sh" "$bench_arch" | tail -n1)
    cmake -S "$_bench_root" -B "$bench_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$_bench_root/cmake/toolchain-$bench_arch-mingw.cmake" \
      -DTOLLVANE_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=${TOLLVANE_BUILD_TYPE:-RelWithDebInfo} "${defs[@]}" >/dev/null
  fi
  cmake --build "$bench_dir" --target "${targets[@]}" -j 4 >/dev/null
  local type
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$bench_dir/CMakeCache.txt")
  if [ "$bench_arch" = i686 ]; then
    bench_note="build: 32-bit ($bench_dir, $type), the shipped target; 32-bit code runs $i386 here"
  else
    bench_note="build: 64-bit ($bench_dir, $type); 32-bit code runs $i386 here, so the 64-bit build of the same sources stands in"
  fi
  [ "$bench_arch" = i686 ] && [ "$i386" != native ] && bench_note="$bench_note (figures of the emulator, not of the program)"
  return 0
}
