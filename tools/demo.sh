#!/usr/bin/env bash
# `make demo`: runs the installer's main job under Wine against the local demo update server.
# The server serves the demo game's package "qvinstaller.exe" and its manifest on the build's
# primary manifest address (127.0.0.1:18601, free inside the isolated namespace), slowed down
# so that the progress can be watched. First the update module alone downloads the package
# (KeltoUpdateCheck.exe, printing each report), then the installer runs in hidden mode.
set -uo pipefail
win_dir="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/harness.sh"
kelto_harness_up "$win_dir" || exit 1

demo=$(mktemp -d "$(cd "$win_dir" && pwd)/demo.XXXXXX")
server_pid=""
# Replaces the harness's own exit trap, so it brings the harness down itself.
demo_down() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$demo"
  kelto_harness_down
}
trap demo_down EXIT
mkdir -p "$demo/root" "$demo/dl"
package="$demo/root/qvinstaller.exe"
cp "$win_dir/demo_game/qvinstaller.exe" "$package"
printf '[Install]\r\nUrl=http://127.0.0.1:18601/qvinstaller.exe\r\nmurl=\r\nSize=%s\r\nMd5=%s\r\nVersion=demo-1\r\n' \
  "$(stat -c %s "$package")" "$(md5sum "$package" | cut -d' ' -f1)" >"$demo/root/qvinstall.txt"
echo '[{"path": "/qvinstaller.exe", "drip": 8388608}]' >"$demo/rules.json"
python3 "$here/../tests/support/http_server.py" --root "$demo/root" --port 18601 \
  --port-file "$demo/port" --log "$demo/requests.log" --rules "$demo/rules.json" &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$demo/port" ] && break; sleep 0.05; done
[ -s "$demo/port" ] || { echo "demo: the demo update server did not start" >&2; exit 1; }

dl="Z:${demo//\//\\}\\dl"
echo "demo: the update module downloads the package into $dl"
"$win_dir/wine-run.sh" "$win_dir/bin/KeltoUpdateCheck.exe" "$dl" | tr -d '\r'
echo "demo: KeltoUpdateCheck exited with code ${PIPESTATUS[0]}"

exe="$win_dir/bin/KeltoSetup.exe"
echo "demo: starting $exe in hidden mode"
wine "$exe" -h -i 30
echo "demo: installer exited with code $?"
