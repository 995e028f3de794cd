#!/usr/bin/env bash
# How closely the web view lays pages out as a browser does: every page of bench/conformance is
# loaded in Debian's Chromium (headless, 800 x 600) and in our view (bench/WebConformance.cpp under
# Wine, 800 x 600), the same measuring script (bench/conformance/measure.js) records every element's
# getBoundingClientRect() in both, and the boxes are matched by their element path. Prints, per page
# and overall, the share of Chromium's element boxes that our view places with x, y, width and
# height each within 3 pixels, and the build the figures come from. Leaves in
# BUILD/conformance/: each page's two JSON files, NAME.html.diff.txt (the boxes that differ) and
# NAME.png (Chromium's picture left, ours right).
#   bash bench/webview-conformance.sh        (TOLLVANE_BUILD_DIR: build folder, default ./build)
# Chromium is installed with apt-get when it is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
corpus=$root/bench/conformance
tolerance=3

if ! command -v chromium >/dev/null; then
  apt-get update >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y chromium >/dev/null
fi
command -v chromium >/dev/null || { echo "webview-conformance: chromium is not installed" >&2; exit 1; }

source "$root/bench/bench-build.sh"
bench_build webview_conformance
echo "$bench_note"
echo "reference: $(chromium --version 2>/dev/null | head -n1)"

res=$out/conformance
rm -rf "$res"
mkdir -p "$res"
pages=()
for f in "$corpus"/*.html; do pages+=("$(basename "$f")"); done

# The corpus over HTTP on loopback; a page named *-gbk.html is sent as GBK.
portfile=$res/port
python3 - "$corpus" "$portfile" >"$res/server.log" 2>&1 <<'PY' &
import functools, http.server, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def guess_type(self, path):
        if path.endswith('-gbk.html'):
            return 'text/html; charset=gbk'
        if path.endswith('.html'):
            return 'text/html; charset=utf-8'
        return super().guess_type(path)
server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Handler, directory=sys.argv[1]))
open(sys.argv[2], 'w').write(str(server.server_address[1]))
server.serve_forever()
PY
server_pid=$!
env_started=
cleanup() {
  [ -n "$env_started" ] && test_env_stop
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$portfile" ] && break; sleep 0.05; done
[ -s "$portfile" ] || { echo "webview-conformance: the page server did not start (see $res/server.log)" >&2; exit 1; }
base="http://127.0.0.1:$(cat "$portfile")/"

# Chromium: the boxes from the title the measuring script set, read back from the dumped DOM, and
# a screenshot of the same viewport.
# Headless Chromium keeps bars (the flags' infobar) inside its window, so the window is made as much
# taller than 600 as a probe page finds the viewport short of it, and the probe checks the result.
chrome=(chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --disable-infobars
        --virtual-time-budget=5000 --user-data-dir="$res/chromium-profile")
viewport_height() {
  timeout 60 "${chrome[@]}" --window-size=800,"$1" --dump-dom \
    'data:text/html,<title>-</title><script>onload=function(){document.title="vh="+innerHeight}</script>' \
    2>>"$res/chromium.log" | sed -n 's/.*<title>vh=\([0-9]*\)<.*/\1/p'
}
window=600
for _ in 1 2 3; do
  vh=$(viewport_height "$window")
  [ "$vh" = 600 ] && break
  [ -n "$vh" ] && window=$((window + 600 - vh))
done
[ "${vh:-}" = 600 ] || echo "webview-conformance: Chromium's viewport is ${vh:-unknown} pixels high, not 600" >&2
chrome+=(--window-size=800,$window)
for p in "${pages[@]}"; do
  timeout 60 "${chrome[@]}" --dump-dom "$base$p" >"$res/$p.chromium.html" 2>>"$res/chromium.log" || true
  python3 - "$res/$p.chromium.html" "$res/$p.chromium.json" <<'PY'
import html, re, sys
m = re.search(r'<title>(.*?)</title>', open(sys.argv[1], encoding='utf-8', errors='replace').read(), re.S)
if m and m.group(1).startswith('{'):
    open(sys.argv[2], 'w', encoding='utf-8').write(html.unescape(m.group(1)))
PY
  (cd "$res" && timeout 60 "${chrome[@]}" --screenshot="$res/$p.chromium.png" "$base$p" >/dev/null 2>>"$res/chromium.log") || true
done

# Our view, under Wine; it reaches the loopback server directly, not through the tests' proxy.
source "$root/scripts/test-env.sh" "$out"
test_env_start
env_started=1
no_proxy=127.0.0.1 NO_PROXY=127.0.0.1 "$root/scripts/wine-run.sh" "$bench_dir/bench/webview_conformance.exe" \
  "$base" "Z:$res" "${pages[@]}" >"$res/driver.log" 2>&1 || true
test_env_stop
env_started=

for p in "${pages[@]}"; do
  left=$res/$p.chromium.png right=$res/$p.ours.bmp
  [ -f "$left" ] || convert -size 800x600 xc:gray "$left"
  [ -f "$right" ] || convert -size 800x600 xc:gray "$right"
  convert \( "$left" -crop 800x600+0+0 +repage \) "$right" +append "$res/${p%.html}.png" 2>/dev/null || true
done

python3 - "$res" "$tolerance" "$bench_arch" "${pages[@]}" <<'PY'
import json, sys
res, tol, arch, pages = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4:]
def load(path):
    try:
        return json.load(open(path, encoding='utf-8'))
    except (OSError, ValueError):
        return None
total = matched = 0
print(f"boxes within {tol:g} px of Chromium's (x, y, width, height), {arch} build:")
for p in pages:
    ref, ours = load(f"{res}/{p}.chromium.json"), load(f"{res}/{p}.ours.json")
    if ref is None:
        print(f"  {p:28} Chromium gave no boxes (see {res}/chromium.log)")
        continue
    boxes = {b['path']: b for b in (ours or {}).get('boxes', [])}
    good, lines = 0, []
    for b in ref['boxes']:
        o = boxes.get(b['path'])
        if o is None:
            lines.append(f"{b['path']}: missing in our view")
            continue
        d = [o[k] - b[k] for k in ('x', 'y', 'w', 'h')]
        if all(abs(v) <= tol for v in d):
            good += 1
        else:
            lines.append(f"{b['path']}: chromium {b['x']:.1f},{b['y']:.1f} {b['w']:.1f}x{b['h']:.1f}"
                         f"  ours {o['x']:.1f},{o['y']:.1f} {o['w']:.1f}x{o['h']:.1f}")
    n = len(ref['boxes'])
    total += n
    matched += good
    open(f"{res}/{p}.diff.txt", 'w', encoding='utf-8').write('\n'.join(lines) + '\n')
    note = '' if ours is not None else '  (our view gave no boxes)'
    if ref.get('viewport') != [800, 600]:
        note += f"  (Chromium's viewport {ref.get('viewport')})"
    print(f"  {p:28} {good:4}/{n:<4} {100.0 * good / n if n else 0:5.1f} %{note}")
print(f"overall: {matched}/{total} = {100.0 * matched / total if total else 0:.1f} %")
print(f"pictures (Chromium left, ours right) and differing boxes: {res}/NAME.png, NAME.html.diff.txt")
PY
