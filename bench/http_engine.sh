#!/usr/bin/env bash
# HTTP commands through the engine against the test client, on the test server over
# loopback (see HttpEngineBench.cpp). Usage: bench/http_engine.sh <windows build dir>.
set -euo pipefail
win_dir="$(cd "$1" && pwd)"
"$win_dir/wine-run.sh" "$win_dir/bench/http_engine_bench.exe" | tr -d '\r'
