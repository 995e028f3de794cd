#!/usr/bin/env bash
# Creates the Wine prefix once and keeps a persistent wineserver, so each later program start
# costs about a tenth of a second. A fresh prefix takes minutes to boot where 32-bit code runs
# under emulation, so one pristine prefix per Wine version is kept in the cache and copied.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${TOLLVANE_WINEPREFIX:?}}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
# The marker names the prefix's settings: a prefix made with other settings is made again.
ready=.tollvane-ready-unmanaged
if [ ! -f "$WINEPREFIX/$ready" ]; then
  cache=${TOLLVANE_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tollvane-deps}
  pristine="$cache/wineprefix-$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' _)"
  (
    exec 8>"$pristine.lock"; flock 8
    if [ ! -f "$pristine/$ready" ]; then
      rm -rf "$pristine"
      WINEPREFIX="$pristine" wineboot -i >/dev/null 2>&1 8>&- 9>&-
      # The tests' display has no window manager: a window Wine lets a window manager manage waits
      # a whole second for one each time it is hidden. Wine manages every window itself.
      reg_loader=wine; [ -x /usr/lib/wine/wine64 ] && reg_loader=/usr/lib/wine/wine64
      WINEPREFIX="$pristine" "$reg_loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1 8>&- 9>&-
      WINEPREFIX="$pristine" wineserver -w 8>&- 9>&-
      touch "$pristine/$ready"
    fi
  )
  rm -rf "$WINEPREFIX"
  cp -a "$pristine" "$WINEPREFIX"
fi
# A persistent server (-p on a running one answers 2). When this call started it, start Wine's
# own background processes now, detached from our output: a test's first process would otherwise
# leave them holding the caller's pipes open.
if wineserver -p >/dev/null 2>&1 9>&-; then
  loader=wine; [ -x /usr/lib/wine/wine64 ] && loader=/usr/lib/wine/wine64
  "$loader" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
echo "$WINEPREFIX"
