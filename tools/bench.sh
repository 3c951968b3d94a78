#!/usr/bin/env bash
# Runs the benchmarks of bench/ under Wine; each prints lines "BENCH <name> <value> <unit>".
set -uo pipefail
win_dir="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/harness.sh"
kelto_harness_up "$win_dir" || exit 1
status=0
found=0
for script in "$here"/../bench/*.sh; do
  [ -e "$script" ] || continue
  found=1
  echo "== $(basename "$script") =="
  bash "$script" "$win_dir" || status=1
done
[ $found = 1 ] || echo "bench: no benchmarks yet"
exit $status
