#!/usr/bin/env bash
# The web view against pages that try to hold up the console: each page is loaded in a view of its
# own process under Wine, through the stand-in as the proxy, and pumped for a few seconds while a
# second thread measures how long a posted message waits for the UI thread. Prints, per page, the
# longest wait (goal: at most 250 ms), the round trips measured and how the load ended, beside a
# plain page as the reference, with the build measured (32- or 64-bit).
#   bash bench/webview-stall.sh [seconds per page]     (TOLLVANE_BUILD_DIR: build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
seconds=${1:-6}

source "$root/bench/bench-build.sh"
bench_build webview_stall_bench
echo "$bench_note"

source "$root/scripts/test-env.sh" "$out"
test_env_start
trap test_env_stop EXIT
host=http://bench.standin.test
pages=(
  "plain page (reference)|$host/web/second.html"
  "busy setInterval x20|$host/web/hostile/busy"
  "catastrophic regex|$host/web/hostile/regex"
  "growing array|$host/web/hostile/grow"
  "20,000 x 20,000 PNG|$host/web/hostile/png"
  "silent server XHR polling|$host/web/hostile/silent"
  "3,000 innerHTML +=|$host/web/hostile/innerhtml"
  "26 nested inline-blocks|$host/web/hostile/inline"
  "40 unclosed buttons|$host/web/hostile/buttons"
  "20 MB page|$host/web/hostile/large"
  "silent server document|$host/web/stall.html"
)
printf '%-28s %12s %8s %12s %s\n' page longest_ms trips load goal
for entry in "${pages[@]}"; do
  name=${entry%%|*}; url=${entry#*|}
  line=$("$root/scripts/wine-run.sh" "$bench_dir/bench/webview_stall_bench.exe" "$url" "$seconds" 2>/dev/null | tail -n1 || true)
  read -r longest trips result <<<"${line:-- - crashed}"
  verdict=-
  if [[ "$longest" =~ ^[0-9]+$ ]]; then
    verdict=$([ "$longest" -le 250 ] && echo "met (<= 250 ms)" || echo "missed (<= 250 ms)")
  fi
  printf '%-28s %12s %8s %12s %s\n' "$name" "$longest" "$trips" "$result" "$verdict"
done
