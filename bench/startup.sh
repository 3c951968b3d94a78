#!/usr/bin/env bash
# The installer's cold start to its first painted frame, against a bare Win32 window that
# paints one 540x355 bitmap, in the same run under the same Wine; and the installer's size.
# Each program starts 21 times, alternating, half a second apart. Reported: the medians, their
# ratio, and the median of the 21 ratios of each installer start to the bare start just before
# it (a steadier figure when the machine's load drifts during the run).
# Usage: bench/startup.sh <windows build dir>; run by tools/bench.sh inside the harness.
set -uo pipefail
win_dir="$(cd "$1" && pwd)"
probe="$win_dir/bench/first_paint_bench.exe"
bare="$win_dir/bench/bare_window_bench.exe"
installer="$win_dir/bin/KeltoSetup.exe"

# A probe's answer: milliseconds, or "fail" (or nothing, when it could not run).
is_ms() { [[ $1 =~ ^[0-9]+(\.[0-9]+)?$ ]]; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

ours=() reference=() pairs=()
for _ in $(seq 1 21); do
  # The probe point lies inside the banner of the installer and inside the bare bitmap.
  # The ended program's windows and X resources are released before the next start.
  sleep 0.5
  r=$("$win_dir/wine-run.sh" "$probe" 270 100 "$bare" | tr -d '\r')
  is_ms "$r" && reference+=("$r")
  sleep 0.5
  o=$("$win_dir/wine-run.sh" "$probe" 270 100 "$installer" | tr -d '\r')
  is_ms "$o" && ours+=("$o")
  if is_ms "$r" && is_ms "$o"; then
    pairs+=("$(awk "BEGIN { printf \"%.4f\", $o / $r }")")
  fi
done
if [ ${#pairs[@]} -eq 0 ]; then
  echo "startup bench: a program never painted (installer ${#ours[@]}, bare ${#reference[@]} of 21)" >&2
  exit 1
fi
o=$(median "${ours[@]}")
r=$(median "${reference[@]}")
echo "BENCH installer_first_paint_ms $o ms"
echo "BENCH bare_window_first_paint_ms $r ms"
echo "BENCH installer_first_paint_per_bare_window $(awk "BEGIN { printf \"%.3f\", $o / $r }") ratio"
echo "BENCH installer_first_paint_per_bare_window_pairwise $(median "${pairs[@]}" | awk '{ printf "%.3f", $1 }') ratio"

size=$(stat -c %s "$installer")
bare_size=$(stat -c %s "$bare")
echo "BENCH installer_exe_size_mib $(awk "BEGIN { printf \"%.3f\", $size / 1048576 }") MiB"
echo "BENCH installer_exe_size_per_1_5_mib_target $(awk "BEGIN { printf \"%.3f\", $size / (1.5 * 1048576) }") ratio"
echo "BENCH bare_window_exe_size_mib $(awk "BEGIN { printf \"%.3f\", $bare_size / 1048576 }") MiB"
