#!/usr/bin/env bash
# Window base: building the install window's tree, opening a message box.
set -euo pipefail
win_dir="$(cd "$1" && pwd)"
"$win_dir/wine-run.sh" "$win_dir/bench/ui_window_bench.exe"
