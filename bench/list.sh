#!/usr/bin/env bash
# Cost of a long list: a three-column list of 1,000 and of 10,000 label rows is built through the
# dialog builder from markup text, laid out twice (the second layout with every input unchanged, so
# the rows answer from their stored estimates), painted whole into a DIB under Wine and deleted,
# each measurement in a process of its own, the sizes taking turns in every round. Prints the
# median time per row of each step, the ratio per-row(10,000)/per-row(1,000) (flat cost: near 1)
# and the ratio of the first layout to the unchanged one.
#   bash bench/list.sh [runs]          (TOLLVANE_BUILD_DIR: build folder, default ./build)
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
cmake --build "$out/x86_64" --target list_bench >/dev/null

source "$root/scripts/test-env.sh" "$out"
test_env_start
results=$(mktemp)
trap 'test_env_stop; rm -f "$results"' EXIT
for ((r = 0; r < runs; ++r)); do
  for n in 1000 10000; do
    "$root/scripts/wine-run.sh" "$out/x86_64/bench/list_bench.exe" "$n" >>"$results"
  done
done
python3 - "$results" "$runs" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    f = line.split()
    rows.setdefault(int(f[0]), []).append([float(x) for x in f[1:]])
med = statistics.median
col = lambda n, i: med([r[i] for r in rows[n]])
names = ["build", "layout", "relayout", "paint", "teardown"]
print(f"{sys.argv[2]} runs, 64-bit build; medians in microseconds per row")
print(f"{'rows':>8} " + " ".join(f"{n:>9}" for n in names))
for n in sorted(rows):
    print(f"{n:8d} " + " ".join(f"{col(n, i):9.3f}" for i in range(len(names))))
lo, hi = min(rows), max(rows)
print("per-row ratio %d/%d: " % (hi, lo) + ", ".join(f"{name} {col(hi, i) / col(lo, i):.2f}" for i, name in enumerate(names)))
print("first layout / unchanged layout at %d rows: %.1f" % (hi, med([r[1] / r[2] for r in rows[hi]])))
PY
