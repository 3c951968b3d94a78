#!/usr/bin/env bash
# Controls and paint manager: repainting the install window's tree, layout, mouse moves.
set -euo pipefail
win_dir="$(cd "$1" && pwd)"
"$win_dir/wine-run.sh" "$win_dir/bench/ui_controls_bench.exe"
