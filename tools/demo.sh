#!/usr/bin/env bash
# `make demo`: runs the installer's main job under Wine against the local demo update server.
set -uo pipefail
win_dir="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/harness.sh"
kelto_harness_up "$win_dir" || exit 1
exe="$win_dir/bin/KeltoSetup.exe"
echo "demo: starting $exe in hidden mode"
wine "$exe" -h -i 30
echo "demo: installer exited with code $?"
