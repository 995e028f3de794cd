#!/usr/bin/env bash
# Download speed: a 200 MB file from the update-service stand-in through CDownloader (under Wine)
# against the curl command-line tool fetching the same file through the same proxy, in the same run.
# Prints each run and the median ratio CDownloader time / curl time (1.0: as fast as curl), and
# beside it the same file read through the same proxy by plain Winsock calls under Wine (no HTTP
# library, no file): what the platform's sockets allow a Windows program here.
#   bash bench/download.sh [runs]          (TOLLVANE_BUILD_DIR: build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
runs=${1:-5}
size=$((200 * 1024 * 1024))

source "$root/bench/bench-build.sh"
bench_build download_bench
echo "$bench_note"

source "$root/scripts/test-env.sh" "$out"
trap test_env_stop EXIT
test_env_start

reply=$(curl -sf --noproxy '*' -X POST --data "{\"release\":{\"files\":{\"big.bin\":{\"size\":$size}}}}" \
  "$TOLLVANE_STANDIN/_standin/scenario")
host=$(printf '%s' "$reply" | python3 -c 'import json,sys; print(json.load(sys.stdin)["host"])')
md5=$(printf '%s' "$reply" | python3 -c 'import json,sys; print(json.load(sys.stdin)["files"]["big.bin"])')
url="http://$host/release/big.bin"
dir="$WINEPREFIX/drive_c/tollvane-bench"
mkdir -p "$dir"
exe="$bench_dir/bench/download_bench.exe"

# The first transfer from a fresh stand-in is the slowest of all (curl's run 1 took twice as long
# as its later runs): an untimed warm-up fetch, so that every timed run is alike.
curl -sf -o /dev/null "$url"
ratios=(); socket_ratios=()
for i in $(seq "$runs"); do
  rm -f "$dir/curl.bin" "$dir/engine.bin"
  # Each transfer starts with no dirty pages of the other's 200 MB file still being written back.
  sync
  t_curl=$(curl -sf -o "$dir/curl.bin" -w '%{time_total}' "$url")
  sync
  res=$("$root/scripts/wine-run.sh" "$exe" "$url" 'C:\tollvane-bench\engine.bin' | tr -d '\r')
  [ "${res%% *}" = ok ] || { echo "CDownloader failed: $res" >&2; exit 1; }
  t_engine=${res#* }
  raw=$("$root/scripts/wine-run.sh" "$exe" --socket "$url" | tr -d '\r')
  read -r _ t_socket socket_bytes <<<"$raw"
  [ "$socket_bytes" -ge "$size" ] || { echo "plain socket read $socket_bytes bytes" >&2; exit 1; }
  ratio=$(python3 -c "print('%.3f' % ($t_engine / $t_curl))")
  ratios+=("$ratio")
  socket_ratios+=("$(python3 -c "print('%.3f' % ($t_socket / $t_curl))")")
  printf 'run %d: curl %.3f s (%.0f MB/s), CDownloader %.3f s (%.0f MB/s), plain Winsock under Wine %.3f s (%.0f MB/s), ratio %s\n' \
    "$i" "$t_curl" "$(python3 -c "print($size / 1048576 / $t_curl)")" "$t_engine" "$(python3 -c "print($size / 1048576 / $t_engine)")" \
    "$t_socket" "$(python3 -c "print($size / 1048576 / $t_socket)")" "$ratio"
done
[ "$(md5sum <"$dir/engine.bin" | cut -d' ' -f1)" = "$md5" ] || { echo "CDownloader's file differs" >&2; exit 1; }
[ "$(md5sum <"$dir/curl.bin" | cut -d' ' -f1)" = "$md5" ] || { echo "curl's file differs" >&2; exit 1; }
rm -rf "$dir"
median=$(printf '%s\n' "${ratios[@]}" | sort -n | python3 -c 'import sys; v=[float(x) for x in sys.stdin]; print("%.3f" % v[len(v)//2])')
socket_median=$(printf '%s\n' "${socket_ratios[@]}" | sort -n | python3 -c 'import sys; v=[float(x) for x in sys.stdin]; print("%.3f" % v[len(v)//2])')
echo "median ratio CDownloader/curl over $runs runs: $median (lower is faster);" \
  "plain Winsock reads under Wine / curl: $socket_median, the platform's floor"
