#!/usr/bin/env bash
# The project's one test command: installs what is missing, builds the dependencies (cached),
# builds the project and runs every test under Wine on a private Xvfb display.
#   bash scripts/test.sh [extra ctest arguments]
#
# Two builds of the same sources: build/i686 is the shipped 32-bit target; build/x86_64 runs the
# test suite case by case. Where the kernel runs 32-bit code natively, the 32-bit build runs the
# suite case by case too; where 32-bit code only runs under CPU emulation (a process start then
# costs most of a minute), each 32-bit test executable runs once, whole, beside the 64-bit suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}

bash "$root/scripts/install-packages.sh"
i386=$(bash "$root/scripts/enable-i386.sh")

configure() { # arch per-case
  local arch=$1 per_case=$2 prefix
  prefix=$(bash "$root/scripts/build-deps.sh" "$arch" | tail -n1)
  cmake -S "$root" -B "$out/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
    -DTOLLVANE_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=${TOLLVANE_BUILD_TYPE:-RelWithDebInfo} \
    -DTOLLVANE_TEST_PER_CASE="$per_case" >/dev/null
  cmake --build "$out/$arch" -j "$(nproc)"
}

if [ "$i386" = native ]; then
  configure i686 ON
else
  configure i686 OFF
  configure x86_64 ON
fi

jobs=${TOLLVANE_TEST_JOBS:-$(nproc)}
# Every case carries a time limit of its own (tests/CMakeLists.txt); this one is for anything
# registered without one.
limit=(--timeout 600)

source "$root/scripts/test-env.sh" "$out"
trap test_env_stop EXIT
test_env_start

if [ "$i386" = native ]; then
  status=0
  (cd "$out/i686" && ctest --output-on-failure --repeat until-pass:2 "${limit[@]}" -j "$jobs" "$@") || status=1
  exit $status
fi

status=0
log32=$(mktemp); log64=$(mktemp)
pid32=
if [ -n "${TOLLVANE_SKIP_32:-}" ]; then
  echo "32-bit test run skipped (TOLLVANE_SKIP_32)" >"$log32"
elif [ "$i386" = emulated ]; then
  # On a display and a Wine prefix of its own, so that it never shares them with a case of the
  # 64-bit run that needs them alone. Each emulated process keeps a core busy: at most half the
  # cores, beside the 64-bit run.
  test_env_second_desktop
  (cd "$out/i686" && DISPLAY=$SECOND_DISPLAY WINEPREFIX=$SECOND_WINEPREFIX TOLLVANE_WINEPREFIX=$SECOND_WINEPREFIX \
    ctest --output-on-failure "${limit[@]}" -j $(( jobs > 3 ? jobs / 2 : 1 )) "$@" >"$log32" 2>&1) &
  pid32=$!
else
  echo "32-bit programs cannot run on this machine: the 32-bit build is compiled, not run" >"$log32"
fi
# A case that fails is run once more: a few tests drive the one shared cursor of the display with
# real system input, and another test's window can get in their way; a real fault fails twice.
(cd "$out/x86_64" && ctest --output-on-failure --repeat until-pass:2 "${limit[@]}" -j "$jobs" "$@" \
  >"$log64" 2>&1) || status=1
if [ -n "$pid32" ]; then wait "$pid32" || status=1; fi
echo "== 32-bit build: one process per test executable (32-bit code runs under emulation here) =="
cat "$log32"
echo "== 64-bit build: one process per test case =="
cat "$log64"
rm -f "$log32" "$log64"
exit $status
