#!/usr/bin/env bash
# Looking up the player's proxy: with a configuration script, with settings only, and from
# the cache (see ProxyBench.cpp). Usage: bench/proxy.sh <windows build dir>.
set -euo pipefail
win_dir="$(cd "$1" && pwd)"
"$win_dir/wine-run.sh" "$win_dir/bench/proxy_bench.exe" | tr -d '\r'
