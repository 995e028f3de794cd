#!/usr/bin/env bash
# The main job: a whole update of a sample café installation against the local stand-in of the
# update service, with the updater's window. Screenshots go to <build>/demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLLVANE_BUILD_DIR:-$root/build}
i386=$(bash "$root/scripts/enable-i386.sh" 2>/dev/null || echo emulated)
arch=x86_64; [ "$i386" = native ] && arch=i686
bin=$out/$arch
if [ ! -f "$bin/tests/Core.exe" ] || [ ! -f "$bin/tests/core_dat.exe" ]; then
  TOLLVANE_SKIP_32=1 bash "$root/scripts/test.sh" -R '^CmdLineParser' >/dev/null
fi
cmake --build "$bin" -j4 >/dev/null

have_display=${DISPLAY:-}
source "$root/scripts/test-env.sh" "$out"
[ -n "$have_display" ] && export TOLLVANE_KEEP_DISPLAY=1
trap test_env_stop EXIT
test_env_start
[ -n "$have_display" ] && export DISPLAY=$have_display
run() { "$root/scripts/wine-run.sh" "$@"; }

demo=$out/demo; rm -rf "$demo"; mkdir -p "$demo/cafe/data" "$demo/cafe/app"
cafe=$demo/cafe
# The tests' build of the updater: the shipped one does not report its status text to a file.
cp "$bin/tests/Core.exe" "$cafe/Core.exe"
cp "$bin/tests/standin_console.exe" "$cafe/Pellmora.exe"
printf 'old settings' >"$cafe/app/settings.dat"
printf 'same text\r\n' >"$cafe/readme.txt"
(cd "$cafe" && run "$bin/tests/core_dat.exe" write 'data\core.dat' 1.0.0 100)

# The release: version 2.0.0 (code 200), one file changed, one new; the console named by the list.
spec='{"netbarid":"777","release":{"version":"2.0.0","version_code":"200","mainserver":"Pellmora.exe",
 "appfiles":["Pellmora.exe"],"files":{"readme.txt":"same text\r\n","app\\settings.dat":"new settings",
 "app\\new.dat":"a file of the new version"}}}'
curl -s --noproxy '*' -d "$spec" "$TOLLVANE_STANDIN/_standin/scenario" >/dev/null
(cd "$cafe" && run ./Pellmora.exe &) ; sleep 2

echo "Running Core.exe -u 777 in $cafe"
(cd "$cafe" && TOLLVANE_TEST_STATUS_FILE="$demo/status.txt" run ./Core.exe -u 777) & core=$!
sleep 6; import -window root "$demo/during.png" 2>/dev/null || true
for _ in $(seq 1 120); do
  grep -q . "$demo/status.txt" 2>/dev/null && ! grep -q '\.\.\.' "$demo/status.txt" && break
  sleep 1
done
sleep 1; import -window root "$demo/after.png" 2>/dev/null || true
echo "Outcome shown: $(cat "$demo/status.txt" 2>/dev/null)"
# Done: end the updater (the process this script started) and the restarted console stand-in.
kill "$core" 2>/dev/null || true
touch "$cafe/Pellmora.exe.quit"

echo "Changed:"
echo "  app/settings.dat: $(cat "$cafe/app/settings.dat") (backup: $(cat "$cafe/upgradebak/app/settings.dat" 2>/dev/null))"
echo "  app/new.dat: $(cat "$cafe/app/new.dat" 2>/dev/null)"
echo "  version recorded in data\\core.dat: $(cd "$cafe" && run "$bin/tests/core_dat.exe" read 'data\core.dat' | tr -d '\r')"
echo "  console started by the updater: $(grep -c . "$cafe/Pellmora.exe.log" 2>/dev/null) time(s) in all"
echo "Screenshots: $demo/during.png $demo/after.png"
