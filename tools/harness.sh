# Sourced by the scripts that run Windows programs (tests, demo, benchmarks) inside the
# isolated namespace: starts a private X display when needed and this build's Wine server.
# kelto_harness_up <windows build dir>; kelto_harness_down (also run on exit).

_kelto_xvfb_pid=""

kelto_start_display() {
  # Xvfb's socket belongs to the network namespace: a display from outside is not reachable
  # here, so the harness always starts its own and lets Xvfb pick a free number.
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x800x24 >"$fd_file" 2>/dev/null &
  _kelto_xvfb_pid=$!
  local n=""
  for _ in $(seq 1 100); do
    n=$(head -n 1 "$fd_file" 2>/dev/null || true)
    [ -n "$n" ] && break
    sleep 0.05
  done
  rm -f "$fd_file"
  if [ -z "$n" ]; then echo "harness: Xvfb did not start" >&2; return 1; fi
  export DISPLAY=":$n"
}

kelto_harness_up() {
  local win_dir="$1"
  export WINEPREFIX="$(cd "$win_dir" && pwd)/wineprefix"
  export KELTO_WINEPREFIX="$WINEPREFIX"
  source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
  kelto_start_display
  # A server started outside this namespace would open sockets out there: end it first.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  kelto_wine_ready
  kelto_wine_start_server
  export KELTO_WINE_SERVER_UP=1
  trap kelto_harness_down EXIT
}

kelto_harness_down() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k </dev/null >/dev/null 2>&1 || true; fi
  if [ -n "$_kelto_xvfb_pid" ]; then kill "$_kelto_xvfb_pid" 2>/dev/null || true; _kelto_xvfb_pid=""; fi
}
