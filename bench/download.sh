#!/usr/bin/env bash
# A 1 GiB download over loopback from the test server (tests/support/test_server.py): the
# engine's file download against curl.exe built from the same libcurl, in the same run under
# the same Wine (see DownloadBench.cpp). Usage: bench/download.sh <windows build dir>.
set -uo pipefail
win_dir="$(cd "$1" && pwd)"
"$win_dir/wine-run.sh" "$win_dir/bench/download_bench.exe" | tr -d '\r'
status=${PIPESTATUS[0]}
# The program deletes its served file and its copies; should it have died, they go here.
rm -rf "$win_dir"/wineprefix/drive_c/users/*/Temp/kelto-*-bench-download*
exit "$status"
