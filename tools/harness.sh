# Sourced by the scripts that run Windows programs (tests, demo, benchmarks) inside the
# isolated namespace: starts a private X display when needed and this build's Wine server.
# kelto_harness_up <windows build dir>; kelto_harness_down (also run on exit). With
# KELTO_DISPLAY set, windows go to that display instead of a private Xvfb.
#
# Test drives. Inside the private mount namespace of tools/run-isolated.sh the harness gives
# Wine three more drives, for tests of where the installer puts the game (drive order D, E, C,
# F, G, free space, writability). C: and Z: stay as Wine made them; G: never exists.
#   D:  a tmpfs of exactly 160 MiB: writable, little space (tests fill it to set its free
#       space to the byte)
#   E:  a read-only bind mount: exists, plenty of space, nothing can be created on it
#   F:  a plain writable folder of the build tree, plenty of space
# KELTO_TEST_DRIVES names them for the tests ("D=small E=readonly F=writable"). Tests that
# change what is on these drives, or that depend on it, take the CTest lock "test_drives".
# Outside such a namespace (nothing may be mounted there) no drive is added.

_kelto_xvfb_pid=""
_kelto_drive_links=()

kelto_start_display() {
  # A display the caller found working (the player's, for the demo) is used as it is.
  if [ -n "${KELTO_DISPLAY:-}" ]; then export DISPLAY="$KELTO_DISPLAY"; return 0; fi
  # Xvfb's abstract socket belongs to the network namespace: a display from outside is
  # generally not reachable here, so the harness starts its own and lets Xvfb pick a free
  # number.
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

_kelto_private_mounts() {
  [ "${KELTO_ISOLATED:-}" = 1 ] && [ "$(readlink /proc/self/ns/mnt)" != "$(readlink /proc/1/ns/mnt)" ]
}

# Mounts and links the test drives; Wine lists a drive only when its link exists before the
# server starts.
kelto_test_drives_up() {
  local win_dir="$1"
  _kelto_private_mounts || return 0
  local root
  root="$(cd "$win_dir" && pwd)/test-drives"
  mkdir -p "$root/d" "$root/e" "$root/f" || return 1
  mountpoint -q "$root/d" || mount -t tmpfs -o size=160m,mode=0777 kelto-test-d "$root/d" || return 1
  if ! mountpoint -q "$root/e"; then
    mount --bind "$root/e" "$root/e" && mount -o remount,bind,ro "$root/e" "$root/e" || return 1
  fi
  local letter
  for letter in d e f; do
    ln -sfn "$root/$letter" "$WINEPREFIX/dosdevices/$letter:" || return 1
    _kelto_drive_links+=("$WINEPREFIX/dosdevices/$letter:")
  done
  export KELTO_TEST_DRIVES="D=small E=readonly F=writable"
}

kelto_test_drives_down() {
  local link
  for link in "${_kelto_drive_links[@]}"; do rm -f "$link"; done
  _kelto_drive_links=()
  unset KELTO_TEST_DRIVES
}

kelto_harness_up() {
  local win_dir="$1"
  export WINEPREFIX="$(cd "$win_dir" && pwd)/wineprefix"
  export KELTO_WINEPREFIX="$WINEPREFIX"
  source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
  kelto_start_display
  # A server started outside this namespace would open sockets out there: end it first.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  # The prefix is made on first use; the server starts only once the drives are linked.
  KELTO_WINE_SERVER_UP=1 kelto_wine_ready || return 1
  kelto_test_drives_up "$win_dir" || echo "harness: cannot set up the test drives" >&2
  kelto_wine_start_server
  kelto_hold_desktop "$win_dir"
  export KELTO_WINE_SERVER_UP=1
  trap kelto_harness_down EXIT
}

# Wine closes its desktop a second after the last program with windows has gone, and a
# program that arrives while it closes can find no desktop at all. One holder program keeps
# it open for the whole run; ending the server ends the holder too. Detached from our output
# like the services, so that no test waits for it.
kelto_hold_desktop() {
  local holder="$1/tools/kelto_desktop_holder.exe"
  [ -f "$holder" ] || return 0
  wine "$holder" </dev/null >/dev/null 2>&1 9>&- &
  disown
}

kelto_harness_down() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k </dev/null >/dev/null 2>&1 || true; fi
  kelto_test_drives_down
  if [ -n "$_kelto_xvfb_pid" ]; then kill "$_kelto_xvfb_pid" 2>/dev/null || true; _kelto_xvfb_pid=""; fi
}
