#!/usr/bin/env bash
# Installation scan speed: a generated installation (2,000 files, 500 MB) scanned into
# filelist.ini by the engine (under Wine), against md5sum over the same files in the same run.
# Each run: md5sum over every file, a first scan without filelist.ini (every file hashed), and a
# second scan with the cache it wrote (nothing read). Prints each run and the medians of
#   first-scan throughput / md5sum throughput   (1.0: hashes as fast as md5sum)
#   second (cached) scan time / first scan time (lower: the cache saves more)
# Then the steps of a cached scan one by one (reading filelist.ini, the walk, writing it).
# Beside them, the limits the platform sets: md5sum's throughput, the system provider's MD5
# throughput on one thread (memory only, no file reads) and the number of hashing workers.
#   bash bench/scan.sh [runs]          (TOLLVANE_BUILD_DIR: build folder, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
runs=${1:-5}
files=2000
total=$((500 * 1024 * 1024))

source "$root/bench/bench-build.sh"
bench_build scan_bench
echo "$bench_note"

source "$root/scripts/test-env.sh" "$out"
trap 'test_env_stop; rm -rf "$base"' EXIT
test_env_start

base="$WINEPREFIX/drive_c/tollvane-scanbench"
inst="$base/inst"
rm -rf "$base"
# Sizes from a few bytes to several MB (a handful of large files, many small ones), scaled to the
# total; a few empty files; files spread over nested folders.
python3 - "$inst" "$files" "$total" <<'PY'
import os, random, sys
inst, n, total = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(7)
weights = [rng.paretovariate(1.2) for _ in range(n)]
scale = total / sum(weights)
sizes = [int(w * scale) for w in weights]
sizes[0] += total - sum(sizes)
for i in range(0, n, 250):
    sizes[i + 1] = 0
block = os.urandom(1 << 20)
for i, size in enumerate(sizes):
    d = os.path.join(inst, "d%02d" % (i % 23), "s%d" % (i % 7))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%04d.bin" % i), "wb") as f:
        left, off = size, i * 4099 % len(block)
        while left:
            k = min(left, len(block) - off)
            f.write(block[off:off + k]); left -= k; off = 0
PY
echo "installation: $(find "$inst" -type f | wc -l) files, $(du -sm "$inst" | cut -f1) MB"

exe="$bench_dir/bench/scan_bench.exe"
scan() {
  local res
  res=$("$root/scripts/wine-run.sh" "$exe" 'C:\tollvane-scanbench\inst' | tr -d '\r')
  [ "${res%% *}" = ok ] || { echo "scan failed: $res" >&2; exit 1; }
  echo "${res#ok }"
}

provider=$("$root/scripts/wine-run.sh" "$exe" --provider | tr -d '\r')
read -r _ provider_one provider_all workers <<<"$provider"
hash_ratios=(); cache_ratios=(); md5_rates=(); scan_rates=(); list_ratios=()
for i in $(seq "$runs"); do
  rm -f "$inst/filelist.ini"
  t0=$(date +%s.%N)
  find "$inst" -type f -name '*.bin' -print0 | xargs -0 md5sum >/dev/null
  t_md5=$(python3 -c "print($(date +%s.%N) - $t0)")
  read -r t_first n_first h_first workers list_first <<<"$(scan)"
  read -r t_second n_second h_second workers t_list <<<"$(scan)"
  [ "$n_first" = "$files" ] && [ "$n_second" = "$files" ] || { echo "scan listed $n_first/$n_second files" >&2; exit 1; }
  [ "$h_second" = 0 ] || { echo "the cached scan hashed $h_second files" >&2; exit 1; }
  hr=$(python3 -c "print('%.3f' % ($t_md5 / $t_first))")
  cr=$(python3 -c "print('%.4f' % ($t_second / $t_first))")
  hash_ratios+=("$hr"); cache_ratios+=("$cr")
  list_ratios+=("$(python3 -c "print('%.4f' % ($t_list / $t_first))")")
  md5_rates+=("$(python3 -c "print('%.0f' % ($total / 1048576 / $t_md5))")")
  scan_rates+=("$(python3 -c "print('%.0f' % ($total / 1048576 / $t_first))")")
  printf 'run %d: md5sum %.3f s, first scan %.3f s (%s hashed), cached scan %.3f s (%s hashed), listing alone %.3f s; throughput ratio %s, cached/first %s\n' \
    "$i" "$t_md5" "$t_first" "$h_first" "$t_second" "$h_second" "$t_list" "$hr" "$cr"
done
# Where a cached scan spends its time: the steps of one scan timed one by one, on the cache the
# last run left.
load_t=(); walk_t=(); save_t=()
for i in $(seq "$runs"); do
  read -r _ t_load t_walk _ t_save <<<"$("$root/scripts/wine-run.sh" "$exe" --phases 'C:\tollvane-scanbench\inst' | tr -d '\r')"
  load_t+=("$t_load"); walk_t+=("$t_walk"); save_t+=("$t_save")
done
median() { printf '%s\n' "$@" | sort -n | python3 -c 'import sys; v=[float(x) for x in sys.stdin]; print("%.4g" % v[len(v)//2])'; }
echo "median throughput: md5sum $(median "${md5_rates[@]}") MB/s, first scan $(median "${scan_rates[@]}") MB/s on $workers hashing workers;" \
  "the system provider's MD5 alone, in memory: $provider_one MB/s on one thread, $provider_all MB/s on $workers threads"
echo "median first-scan throughput / md5sum throughput over $runs runs: $(median "${hash_ratios[@]}") (1.0: as fast as md5sum)"
echo "median cached-scan time / first-scan time over $runs runs: $(median "${cache_ratios[@]}") (lower: the cache saves more;" \
  "listing the folders alone / first scan: $(median "${list_ratios[@]}"), the floor)"
echo "cached scan, medians: reading filelist.ini $(median "${load_t[@]}") s, walking the folders $(median "${walk_t[@]}") s," \
  "writing filelist.ini $(median "${save_t[@]}") s"
