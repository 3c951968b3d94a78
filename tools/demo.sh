#!/usr/bin/env bash
# `make demo`: the installer's main job under Wine against the local demo update server.
# The server serves the demo game's package "qvinstaller.exe" and its manifest on the build's
# primary manifest address (127.0.0.1:18601, free inside the isolated namespace), slowed down
# so that the progress can be watched. First the update module alone downloads the package
# (KeltoUpdateCheck.exe, printing each report). Then the installer itself runs:
#  - with a working display (DISPLAY set and reachable), its window opens there for the
#    player to use;
#  - without one, on the harness's private display, the demo drives it itself with xdotool: it
#    opens the folder page and quits, then makes a one-click install, saving a screenshot of
#    each page and box in <build>/demo/.
# Either way it prints where the game was installed and how the launcher was started.
set -uo pipefail
win_dir="$1"
here="$(cd "$(dirname "$0")" && pwd)"
win_dir="$(cd "$win_dir" && pwd)"
shots="$win_dir/demo"
source "$here/harness.sh"

# Decided before the harness replaces DISPLAY with its own.
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  export KELTO_DISPLAY="$DISPLAY"
  mode=player
else
  unset KELTO_DISPLAY
  mode=driven
fi
kelto_harness_up "$win_dir" || exit 1

demo=$(mktemp -d "$win_dir/demo.XXXXXX")
server_pid=""
installer_pid=""
# Replaces the harness's own exit trap, so it brings the harness down itself.
demo_down() {
  [ -n "$installer_pid" ] && kill "$installer_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$demo"
  kelto_harness_down
}
trap demo_down EXIT
fail() { echo "demo: $*" >&2; exit 1; }

mkdir -p "$demo/root" "$demo/dl" "$demo/kit/bin"
package="$demo/root/qvinstaller.exe"
cp "$win_dir/demo_game/qvinstaller.exe" "$package"
printf '[Install]\r\nUrl=http://127.0.0.1:18601/qvinstaller.exe\r\nmurl=\r\nSize=%s\r\nMd5=%s\r\nVersion=demo-1\r\n' \
  "$(stat -c %s "$package")" "$(md5sum "$package" | cut -d' ' -f1)" >"$demo/root/qvinstall.txt"
echo 'path=/qvinstaller.exe&drip=8388608' >"$demo/rules"
python3 "$here/../tests/support/test_server.py" --root "$demo/root" --port 18601 \
  --port-file "$demo/port" --rules "$demo/rules" &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$demo/port" ] && break; sleep 0.05; done
[ -s "$demo/port" ] || fail "the demo update server did not start"

dl="Z:${demo//\//\\}\\dl"
echo "demo: the update module downloads the package into $dl"
"$win_dir/wine-run.sh" "$win_dir/bin/KeltoUpdateCheck.exe" "$dl" | tr -d '\r'
echo "demo: KeltoUpdateCheck exited with code ${PIPESTATUS[0]}"

# The installer runs from a folder of its own, as a player's download would.
exe="$demo/kit/bin/KeltoSetup.exe"
cp "$win_dir/bin/KeltoSetup.exe" "$exe"
drive_d="$WINEPREFIX/dosdevices/d:"
game_dir="凯途网络/凯途星联"
touch "$demo/started.marker"

start_installer() {
  wine "$exe" "$@" </dev/null >/dev/null 2>&1 &
  installer_pid=$!
}
# Waits for the installer to end (at most $1 seconds when given); prints its exit code.
wait_installer() {
  local code tries=$(( ${1:-0} * 10 ))
  if [ $tries -gt 0 ]; then
    while kill -0 "$installer_pid" 2>/dev/null && [ $tries -gt 0 ]; do
      sleep 0.1; tries=$((tries - 1))
    done
    kill -0 "$installer_pid" 2>/dev/null && fail "the installer did not end"
  fi
  wait "$installer_pid"
  code=$?
  installer_pid=""
  echo "demo: the installer exited with code $code"
}

# The visible window titled exactly $1, waited for up to 30 s.
window_titled() {
  timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1 2>/dev/null; }
shot() {
  sleep 0.5
  import -window "$1" "$shots/$2.png" 2>/dev/null && echo "demo: screenshot $shots/$2.png"
}
# Waits up to $2 seconds for the file $1 to exist.
wait_for_file() {
  local tries=$(( $2 * 10 ))
  while [ ! -e "$1" ] && [ $tries -gt 0 ]; do sleep 0.1; tries=$((tries - 1)); done
  [ -e "$1" ]
}

if [ "$mode" = player ]; then
  echo "demo: the installer opens on $DISPLAY; install the game (the launcher gets game number 30)"
  start_installer -i 30
  wait_installer
else
  rm -rf "$shots" && mkdir -p "$shots"
  title="安装凯途星联"
  echo "demo: no display here: the demo drives the installer on a private X display"
  # The start page, the folder page, and quitting.
  start_installer -i 30
  win=$(window_titled "$title") || true
  [ -n "$win" ] || fail "the install window did not open"
  shot "$win" 1-start-page
  click "$win" 476 328                           # "自定义安装"
  shot "$win" 2-folder-page
  click "$win" 525 11                            # the close button
  box=$(window_titled "退出安装") || true
  [ -n "$box" ] || fail "no quit confirmation"
  shot "$box" 3-quit-box
  click "$box" 160 94                            # "确定"
  wait_installer 30

  # The one-click install.
  start_installer -i 30
  win=$(window_titled "$title") || true
  [ -n "$win" ] || fail "the install window did not open"
  click "$win" 270 250                           # "一键安装"
  if wait_for_file "$drive_d/$game_dir/qvinstaller_demo-1.tmp" 30; then
    sleep 1
    shot "$win" 4-downloading
  else
    echo "demo: the download was over before its screenshot"
  fi
  wait_for_file "$drive_d/$game_dir/KeltoLauncher.exe" 60 || fail "the package did not run"
  sleep 2
  shot "$win" 5-installing
  wait_installer 120
fi

# The player may have chosen any folder on C:, D: or F:.
record=$(find "$WINEPREFIX"/dosdevices/{c,d,f}:/ -name KeltoLauncher.started.txt \
  -newer "$demo/started.marker" 2>/dev/null | head -n 1)
[ -n "$record" ] || { wait_for_file "$drive_d/$game_dir/KeltoLauncher.started.txt" 10 &&
                      record="$drive_d/$game_dir/KeltoLauncher.started.txt"; }
if [ -z "$record" ]; then
  echo "demo: no game was installed (no launcher started)"
  exit 0
fi
folder=$(tr -d '\r' <"$record" | sed -n 's/^cmdline=\(.*\)\\KeltoLauncher\.exe .*/\1/p')
echo "demo: the game was installed in $folder"
echo "demo: the launcher started with: $(tr -d '\r' <"$record" | sed -n 's/^cmdline=//p')"
echo "demo: game number $(tr -d '\r' <"$record" | sed -n 's/^id=//p')"
