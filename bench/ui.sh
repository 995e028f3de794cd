#!/usr/bin/env bash
# Cost of skinned windows as they grow: generated skins of 1,000, 10,000 and 50,000 controls are
# built through the dialog builder from markup text, registered by name, laid out and painted into
# a DIB under Wine, each measurement in a process of its own, the sizes taking turns in every
# round. Prints the median time per control of each step, the ratio
# per-control(50,000)/per-control(1,000) (flat cost: near 1) and the ratio of a full framework
# paint of the 10,000-control window to the same rectangles, borders and texts painted with direct
# GDI calls in the same process; beside it the same direct paint with its backgrounds stretched from
# one opaque pixel, the fill that keeps the alpha byte which the framework needs for layered windows.
#   bash bench/ui.sh [runs]            (TOLLVANE_BUILD_DIR: build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
# Nine runs: the 1,000-control steps last a fraction of a millisecond, and with five runs their
# medians (the ratios' denominators) still move with the machine's load.
runs=${1:-9}

source "$root/bench/bench-build.sh"
bench_build ui_bench
echo "$bench_note"

source "$root/scripts/test-env.sh" "$out"
test_env_start
results=$(mktemp)
trap 'test_env_stop; rm -f "$results"' EXIT
for ((r = 0; r < runs; ++r)); do
  for n in 1000 10000 50000; do
    "$root/scripts/wine-run.sh" "$bench_dir/bench/ui_bench.exe" "$n" >>"$results"
  done
done
python3 - "$results" "$runs" "$bench_arch" <<'EOF'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    f = line.split()
    rows.setdefault(int(f[0]), []).append([float(x) for x in f[1:]])
med = statistics.median
col = lambda n, i: med([r[i] for r in rows[n]])
total = {n: med([sum(r[:4]) for r in rows[n]]) for n in rows}
print(f"{sys.argv[2]} runs ({sys.argv[3]}); medians in microseconds per control")
print(f"{'controls':>8} {'build':>9} {'names':>9} {'layout':>9} {'paint':>9} {'total':>9} {'teardown':>9} {'direct-GDI':>10}")
for n in sorted(rows):
    print(f"{n:8d} {col(n,0):9.3f} {col(n,1):9.3f} {col(n,2):9.3f} {col(n,3):9.3f} {total[n]:9.3f} {col(n,5):9.3f} {col(n,4):10.3f}")
lo, hi = min(rows), max(rows)
parts = ", ".join(f"{name} {col(hi, i) / col(lo, i):.2f}" for i, name in enumerate(["build", "names", "layout", "paint"]))
print(f"per-control ratio {hi}/{lo}: {parts}, total {total[hi] / total[lo]:.2f} (goal: within 1.5)")
paint = med([r[3] / r[4] for r in rows[10000]])
print(f"full paint of 10000 controls: framework {col(10000, 3) * 10:.2f} ms, direct GDI {col(10000, 4) * 10:.2f} ms; "
      f"framework / direct GDI: median {paint:.2f} (goal: at most 1.5)")
alpha = med([r[6] / r[4] for r in rows[10000]])
print(f"direct GDI filling from one opaque pixel (alpha byte kept, as the framework must for layered windows): "
      f"{col(10000, 6) * 10:.2f} ms, {alpha:.2f} x the FillRect paint: the floor that fill sets")
EOF
