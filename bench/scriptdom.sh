#!/usr/bin/env bash
# Scripts' DOM cost: 3,000 innerHTML appends on one element against one innerHTML set of the same
# markup, grown by the same string concatenations (goal: the appends at most 2 x the single set;
# -1 means a run did not reach its end within the script's budget), with 3,000 appendChild,
# 3,000 querySelector and 3,000 one-span innerHTML sets beside them.
# Prints the medians of the runs and the build they come from.
#   bash bench/scriptdom.sh [runs]       (TOLLVANE_BUILD_DIR: build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
runs=${1:-7}

source "$root/bench/bench-build.sh"
bench_build scriptdom_bench
echo "$bench_note"

source "$root/scripts/test-env.sh" "$out"
test_env_start
results=$(mktemp)
trap 'test_env_stop; rm -f "$results"' EXIT
"$root/scripts/wine-run.sh" "$bench_dir/bench/scriptdom_bench.exe" "$runs" >"$results"
python3 - "$results" "$bench_arch" <<'PY'
import statistics, sys
rows = [[float(x) for x in line.split()[1:]] for line in open(sys.argv[1]) if line.strip()]
med = lambda i: statistics.median(r[i] for r in rows)
print(f"{len(rows)} runs ({sys.argv[2]}); medians in milliseconds")
print(f"3,000 innerHTML appends      {med(0):9.1f}")
print(f"one innerHTML set (reference){med(1):9.1f}")
print(f"appends / one set: {med(0) / med(1):.2f} (goal: at most 2)" if med(1) > 0 else "reference did not finish")
print(f"3,000 appendChild            {med(2):9.1f}")
print(f"3,000 querySelector          {med(3):9.1f}")
print(f"3,000 one-span innerHTML sets {med(4):9.1f}")
PY
