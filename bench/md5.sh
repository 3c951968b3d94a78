#!/usr/bin/env bash
# MD5 of a 1 GiB file: the installer's MD5 (under Wine) against md5sum, on the same file in
# the same run, page cache warm for both. Each side runs three times and keeps its best time.
# Usage: bench/md5.sh <windows build dir>; run by tools/bench.sh inside the harness.
set -euo pipefail
win_dir="$(cd "$1" && pwd)"
program="$win_dir/bench/md5_bench.exe"
file="$win_dir/md5-bench-1gib.bin"
trap 'rm -f "$file" "$file.chunk"' EXIT

# 1 GiB of incompressible bytes, made quickly from one random MiB.
head -c $((1 << 20)) /dev/urandom >"$file.chunk"
for _ in $(seq 1024); do cat "$file.chunk"; done >"$file"
rm -f "$file.chunk"
cat "$file" >/dev/null

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
best() { printf '%s\n' "$@" | sort -g | head -n 1; }

reference_times=() ours=() ours_wall=()
for _ in 1 2 3; do
  t0=$(now)
  reference=$(md5sum "$file" | cut -d' ' -f1)
  t1=$(now)
  reference_times+=("$(calc "$t1 - $t0")")

  t0=$(now)
  read -r digest seconds < <("$win_dir/wine-run.sh" "$program" "Z:${file//\//\\}" | tr -d '\r')
  t1=$(now)
  ours+=("$seconds")
  ours_wall+=("$(calc "$t1 - $t0")")
  if [ "$digest" != "$reference" ]; then
    echo "md5 bench: digests differ: ours $digest, md5sum $reference" >&2
    exit 1
  fi
done

ref=$(best "${reference_times[@]}")
our=$(best "${ours[@]}")
wall=$(best "${ours_wall[@]}")
mib=1024
printf 'BENCH md5_1gib_throughput_ratio %.3f ratio\n' "$(calc "$ref / $our")"
printf 'BENCH md5_1gib_md5sum_throughput %.1f MB/s\n' "$(calc "$mib * 1.048576 / $ref")"
printf 'BENCH md5_1gib_kelto_throughput %.1f MB/s\n' "$(calc "$mib * 1.048576 / $our")"
# The same with Wine's start-up of the program counted against it.
printf 'BENCH md5_1gib_wall_ratio_with_wine_start %.3f ratio\n' "$(calc "$ref / $wall")"
