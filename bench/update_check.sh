#!/usr/bin/env bash
# The update module's whole job on a 64 MiB package over loopback: KeltoUpdateCheck.exe
# (manifest, download into the partial file, placement as qvinstaller.exe, then the digest
# check) against curl.exe fetching the same file to disk, both under Wine, from the same test
# server in the same run. Each side runs three times and keeps its best time; Wine's start of
# each program is counted on both sides.
# Usage: bench/update_check.sh <windows build dir>; run by tools/bench.sh inside the harness.
set -euo pipefail
win_dir="$(cd "$1" && pwd)"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
tool="$win_dir/bin/KeltoUpdateCheck.exe"
curl_root=$(sed -n 's/^KELTO_CURL_ROOT:PATH=//p' "$win_dir/CMakeCache.txt")
curl_exe="$curl_root/bin/curl.exe"
work=$(mktemp -d "$win_dir/update-check-bench.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

windows_path() { local p="$1"; echo "Z:${p//\//\\}"; }
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
best() { printf '%s\n' "$@" | sort -g | head -n 1; }

mib=64
mkdir -p "$work/root" "$work/dl" "$work/curl"
head -c $((mib << 20)) /dev/urandom >"$work/root/pkg.bin"
digest=$(md5sum "$work/root/pkg.bin" | cut -d' ' -f1)

python3 "$source_dir/tests/support/test_server.py" --root "$work/root" \
  --port-file "$work/port" &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")
base="http://127.0.0.1:$port"
printf '[Install]\r\nUrl=%s/pkg.bin\r\nmurl=\r\nSize=%s\r\nMd5=%s\r\nVersion=bench\r\n' \
  "$base" $((mib << 20)) "$digest" >"$work/root/qvinstall.txt"
# The same package in one stream, to show what the ranges change against this server.
{ cat "$work/root/qvinstall.txt"; printf 'Parallel=1\r\n'; } >"$work/root/qvinstall-1.txt"

ours=() reference=() single=()
for _ in 1 2 3; do
  rm -f "$work/dl/"*
  t0=$(now)
  "$win_dir/wine-run.sh" "$tool" "$(windows_path "$work/dl")" "$base/qvinstall-1.txt" >"$work/out" ||
    { cat "$work/out" >&2; exit 1; }
  single+=("$(calc "$(now) - $t0")")

  rm -f "$work/dl/"*
  t0=$(now)
  "$win_dir/wine-run.sh" "$tool" "$(windows_path "$work/dl")" "$base/qvinstall.txt" >"$work/out" ||
    { cat "$work/out" >&2; exit 1; }
  t1=$(now)
  ours+=("$(calc "$t1 - $t0")")
  grep -q "md5: match" "$work/out" || { echo "update check bench: no digest match" >&2; exit 1; }

  rm -f "$work/curl/"*
  t0=$(now)
  "$win_dir/wine-run.sh" "$curl_exe" -s -o "$(windows_path "$work/curl/pkg.bin")" "$base/pkg.bin"
  t1=$(now)
  reference+=("$(calc "$t1 - $t0")")
  cmp -s "$work/root/pkg.bin" "$work/curl/pkg.bin" || { echo "curl fetched other bytes" >&2; exit 1; }
done

our=$(best "${ours[@]}")
ref=$(best "${reference[@]}")
printf 'BENCH update_check_64mib_seconds %.3f s\n' "$our"
printf 'BENCH update_check_curl_exe_64mib_seconds %.3f s\n' "$ref"
printf 'BENCH update_check_one_stream_64mib_seconds %.3f s\n' "$(best "${single[@]}")"
printf 'BENCH update_check_per_curl_exe_64mib_ratio %.3f ratio\n' "$(calc "$our / $ref")"
