#!/usr/bin/env bash
# The web view's document pipeline on a generated 1 MB activities page (thousands of table rows
# with images, classes and links): hubbub's parse into libdom alone against the view's parse +
# cascade + layout + first paint (goal: at most 2.5 x the parse alone), and one DOM change laid
# out incrementally against a full layout of the same page (goal: at most 0.05). Prints the
# medians of the runs, and the build they come from. Ends with bench/webview-stall.sh when present.
#   bash bench/webview.sh [runs]       (TOLLVANE_BUILD_DIR: build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
runs=${1:-7}

source "$root/bench/bench-build.sh"
bench_build webview_bench
echo "$bench_note"

source "$root/scripts/test-env.sh" "$out"
test_env_start
results=$(mktemp)
trap 'test_env_stop; rm -f "$results"' EXIT
"$root/scripts/wine-run.sh" "$bench_dir/bench/webview_bench.exe" "$runs" >"$results"
python3 - "$results" "$bench_arch" <<'PY'
import statistics, sys
rows = [[float(x) for x in line.split()[1:]] for line in open(sys.argv[1]) if line.strip()]
med = lambda i: statistics.median(r[i] for r in rows)
print(f"{len(rows)} runs ({sys.argv[2]}); medians in milliseconds")
print(f"parse alone (hubbub into libdom)     {med(0):9.1f}")
print(f"parse + style + layout + first paint {med(1):9.1f}   (style {med(2):.1f}, layout {med(3):.1f}, paint {med(4):.1f})")
print(f"pipeline / parse alone: {statistics.median(r[1] / r[0] for r in rows):.2f} (goal: at most 2.5)")
print(f"one DOM change {med(5):.2f}, full layout {med(6):.1f}; "
      f"change / full layout: {statistics.median(r[5] / r[6] for r in rows):.3f} (goal: at most 0.05)")
PY
if [ -f "$root/bench/webview-stall.sh" ]; then
  bash "$root/bench/webview-stall.sh"
fi
