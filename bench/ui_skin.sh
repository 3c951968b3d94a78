#!/usr/bin/env bash
# Skin foundations: layout parsing, image-string drawing, first load and the software blend.
win_dir="$1"
"$win_dir/wine-run.sh" "$win_dir/bench/ui_skin_bench.exe"
