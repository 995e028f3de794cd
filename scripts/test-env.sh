# Sourced: the environment the tests run in (Wine prefix in the build tree, persistent wineserver,
# a private Xvfb display, the update-service stand-in reached through the proxy variables).
# test_env_start / test_env_stop.
_build=$1
export TOLLVANE_WINEPREFIX=$_build/wineprefix
export WINEPREFIX=$TOLLVANE_WINEPREFIX
export WINEDEBUG=-all
# No crash debugger: a crashing test program ends at once with its own report (winedbg would wait).
export WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d'
_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
_xvfb_pids=()

# Starts a private Xvfb display; its name in _xvfb_display.
_xvfb_start() {
  local fdfile; fdfile=$(mktemp)
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fdfile" 2>/dev/null &
  _xvfb_pids+=($!)
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
  _xvfb_display=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}

# Makes the prefix ready (see wine-prefix.sh) with the tests' drive T:, a drive whose root is an
# empty folder (the updater refuses to run from a drive root).
_prefix_start() {
  WINEPREFIX=$1 bash "$_root/scripts/wine-prefix.sh" >/dev/null
  mkdir -p "$_build/driveroot"
  ln -sfn "$_build/driveroot" "$1/dosdevices/t:"
}

test_env_start() {
  if [ -z "${TOLLVANE_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    _xvfb_start
    export DISPLAY=$_xvfb_display
  fi
  _prefix_start "$WINEPREFIX"
  export TOLLVANE_ROOT_DRIVE=T:
  _standin_start
}

# A second display with a Wine prefix of its own (and so a wineserver, a cursor and a foreground
# window of its own), for a test run beside the main one: the cases that need the display alone
# run alone on theirs. Sets SECOND_DISPLAY and SECOND_WINEPREFIX.
test_env_second_desktop() {
  _xvfb_start
  SECOND_DISPLAY=$_xvfb_display
  SECOND_WINEPREFIX=$_build/wineprefix-second
  _prefix_start "$SECOND_WINEPREFIX"
}

# The stand-in of the vendor's update service on a free loopback port. Programs under test reach
# it as their HTTP/HTTPS proxy, whatever host names they were built with; tests register their
# scenarios and read its request log through TOLLVANE_STANDIN.
_standin_start() {
  local portfile port=""
  mkdir -p "$_build/standin"
  portfile="$_build/standin/port.$$"
  rm -f "$portfile"
  python3 "$_root/tests/standin/standin.py" --port 0 --port-file "$portfile" --cert-dir "$_build/standin" \
    --log "$_build/standin/requests.log" \
    >"$_build/standin/standin.log" 2>&1 &
  _standin_pid=$!
  for _ in $(seq 300); do [ -s "$portfile" ] && break; sleep 0.05; done
  port=$(cat "$portfile" 2>/dev/null || true)
  rm -f "$portfile"
  if [ -z "$port" ]; then
    echo "test-env: the update-service stand-in did not start (see $_build/standin/standin.log)" >&2
    return 1
  fi
  export http_proxy="http://127.0.0.1:$port" https_proxy="http://127.0.0.1:$port"
  export HTTP_PROXY="$http_proxy" HTTPS_PROXY="$https_proxy"
  export NO_PROXY="" no_proxy=""
  export TOLLVANE_STANDIN="http://127.0.0.1:$port"
}

# The Wine processes of the tests' prefix that are not Wine's own background services: whatever
# a test left running. One "pid name" line each.
_leftover_wine_processes() {
  local pid env name
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    env=$( { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null) || continue
    grep -qxF "WINEPREFIX=$WINEPREFIX" <<<"$env" || continue
    name=$( { tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null | sed 's/ *$//')
    # A Wine process shows its Windows command line; Xvfb and the stand-in share the environment.
    [[ "${name,,}" =~ ^([a-z]:\\|[^\ ]*\.exe(\ |$)) ]] || continue
    case "$name" in
      *wineserver*|*explorer.exe*|*services.exe*|*winedevice.exe*|*plugplay.exe*|*svchost.exe*|\
      *rpcss.exe*|*conhost.exe*|*wineboot*) continue ;;
    esac
    echo "$pid $name"
  done
}

test_env_stop() {
  local left prefix pid
  for prefix in "$WINEPREFIX" ${SECOND_WINEPREFIX:+"$SECOND_WINEPREFIX"}; do
    left=$(WINEPREFIX=$prefix _leftover_wine_processes)
    if [ -n "$left" ]; then
      echo "test-env: ended Wine processes that the tests left running:" >&2
      sed 's/^/  /' <<<"$left" >&2
    fi
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  done
  for pid in "${_xvfb_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  _xvfb_pids=()
  if [ -n "${_standin_pid:-}" ]; then
    kill "$_standin_pid" 2>/dev/null || true
    wait "$_standin_pid" 2>/dev/null || true
    _standin_pid=
  fi
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY no_proxy TOLLVANE_STANDIN
}
