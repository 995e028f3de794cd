# Sourced: the environment the tests run in (Wine prefix in the build tree, persistent wineserver,
# a private Xvfb display). test_env_start / test_env_stop.
_build=$1
export TOLLVANE_WINEPREFIX=$_build/wineprefix
export WINEPREFIX=$TOLLVANE_WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

test_env_start() {
  if [ -z "${TOLLVANE_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    local fdfile; fdfile=$(mktemp)
    Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fdfile" 2>/dev/null &
    _xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
  fi
  bash "$_root/scripts/wine-prefix.sh" >/dev/null
}

test_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${_xvfb_pid:-}" ] && kill "$_xvfb_pid" 2>/dev/null || true
}
