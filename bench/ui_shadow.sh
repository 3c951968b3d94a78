#!/usr/bin/env bash
# The shadow's drawing time for the 540x355 dialog, against clearing its bitmap.
set -euo pipefail
win_dir="$1"
"$win_dir/wine-run.sh" "$win_dir/bench/ui_shadow_bench.exe"
