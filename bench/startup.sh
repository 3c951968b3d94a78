#!/usr/bin/env bash
# The installer's cold start to its first painted frame, against a bare Win32 window that
# paints one 540x355 bitmap, in the same run under the same Wine; and the installer's size.
# Each program starts 7 times, alternating; the medians are compared.
# Usage: bench/startup.sh <windows build dir>; run by tools/bench.sh inside the harness.
set -uo pipefail
win_dir="$(cd "$1" && pwd)"
probe="$win_dir/bench/first_paint_bench.exe"
bare="$win_dir/bench/bare_window_bench.exe"
installer="$win_dir/bin/KeltoSetup.exe"

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

ours=() reference=()
for _ in 1 2 3 4 5 6 7; do
  # The probe point lies inside the banner of the installer and inside the bare bitmap.
  r=$("$win_dir/wine-run.sh" "$probe" 270 100 "$bare" | tr -d '\r')
  [ "$r" != fail ] && reference+=("$r")
  o=$("$win_dir/wine-run.sh" "$probe" 270 100 "$installer" | tr -d '\r')
  [ "$o" != fail ] && ours+=("$o")
done
if [ ${#ours[@]} -eq 0 ] || [ ${#reference[@]} -eq 0 ]; then
  echo "startup bench: a program never painted (installer ${#ours[@]}, bare ${#reference[@]} of 7)" >&2
  exit 1
fi
o=$(median "${ours[@]}")
r=$(median "${reference[@]}")
echo "BENCH installer_first_paint_ms $o ms"
echo "BENCH bare_window_first_paint_ms $r ms"
echo "BENCH installer_first_paint_per_bare_window $(awk "BEGIN { printf \"%.3f\", $o / $r }") ratio"

size=$(stat -c %s "$installer")
bare_size=$(stat -c %s "$bare")
echo "BENCH installer_exe_size_mib $(awk "BEGIN { printf \"%.3f\", $size / 1048576 }") MiB"
echo "BENCH installer_exe_size_per_1_5_mib_target $(awk "BEGIN { printf \"%.3f\", $size / (1.5 * 1048576) }") ratio"
echo "BENCH bare_window_exe_size_mib $(awk "BEGIN { printf \"%.3f\", $bare_size / 1048576 }") MiB"
