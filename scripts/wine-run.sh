#!/usr/bin/env bash
# Runs a Windows program under Wine the way the tests expect: a private prefix, quiet Wine,
# the simplified-Chinese ANSI code page (936), and the display the test command started.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs every test executable through it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-${TOLLVANE_WINEPREFIX:?TOLLVANE_WINEPREFIX or WINEPREFIX must be set}}
export WINEDEBUG=${WINEDEBUG:--all}
lc=${TOLLVANE_LC_ALL:-zh_CN.UTF-8}  # given to Wine only: the host need not have the locale
# winedbg disabled: a crashing program ends at once instead of waiting in Wine's crash debugger.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
"$here/wine-prefix.sh" >/dev/null
# The PE header's machine field picks the loader: 0x8664 runs on wine64 directly.
loader=wine
pe=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ' || true)
if [ -n "$pe" ] && [ "$(od -An -t x2 -j $((pe + 4)) -N 2 "$1" | tr -d ' ')" = 8664 ] && [ -x /usr/lib/wine/wine64 ]; then
  loader=/usr/lib/wine/wine64
fi
# Wine's background processes (the desktop window's explorer.exe, services) outlive the program
# and inherit its standard handles; ctest would wait for them to close its pipes. So the program
# writes to files, which are copied to our output once it has ended.
out=$(mktemp); err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
# ctest ends a test that overruns its time limit by killing this script: the program goes with it
# (the parent-death signal), and on TERM or INT it is ended first.
set +e
setpriv --pdeathsig KILL env LC_ALL="$lc" "$loader" "$@" >"$out" 2>"$err" </dev/null &
child=$!
trap 'kill -KILL "$child" 2>/dev/null' TERM INT
wait "$child"
rc=$?
set -e
cat "$out"; cat "$err" >&2
exit $rc
