#!/usr/bin/env bash
# Skin foundations: layout parsing, image-string drawing, first load and the software blend.
set -euo pipefail
win_dir="$(cd "$1" && pwd)"
"$win_dir/wine-run.sh" "$win_dir/bench/ui_skin_bench.exe"
