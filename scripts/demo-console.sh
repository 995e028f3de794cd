#!/usr/bin/env bash
# The console end to end: Pellmora logs in to the local stand-in of the café service with a sample
# café, one account-opening request arrives through the service page, and the identity record
# reaches a sample "QCODE_DIALOG_AGENT" window, which prints it. The installation and the
# screenshots go to <build>/demo/console/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
i386=$(bash "$root/scripts/enable-i386.sh" 2>/dev/null || echo emulated)
arch=x86_64; [ "$i386" = native ] && arch=i686
bin=$out/$arch
if [ ! -f "$bin/tests/console_demo.exe" ]; then
  TOLLVANE_SKIP_32=1 bash "$root/scripts/test.sh" -R '^IdCardRecord' >/dev/null
fi
cmake --build "$bin" -j4 >/dev/null

have_display=${DISPLAY:-}
source "$root/scripts/test-env.sh" "$out"
[ -n "$have_display" ] && export TOLLVANE_KEEP_DISPLAY=1
trap test_env_stop EXIT
test_env_start
[ -n "$have_display" ] && export DISPLAY=$have_display

demo=$out/demo/console; rm -rf "$demo"; mkdir -p "$demo"
echo "Running Pellmora.exe from $demo/cafe"
status=0
# The console's own diagnostics (its requests, verbose) go to a log beside the screenshots.
(cd "$demo" && "$root/scripts/wine-run.sh" "$bin/tests/console_demo.exe" 2>"$demo/console.log") || status=$?

shots=()
for name in login frame_customer qr_window; do
  [ -f "$demo/$name.bmp" ] || continue
  if convert "$demo/$name.bmp" "$demo/$name.png" 2>/dev/null; then
    rm -f "$demo/$name.bmp"; shots+=("$demo/$name.png")
  else
    shots+=("$demo/$name.bmp")
  fi
done
echo "Screenshots: ${shots[*]:-none}"
exit $status
