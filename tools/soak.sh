#!/usr/bin/env bash
# The reliability soak (bench/ReliabilitySoak.cpp) under the test harness: the real installer
# killed at random points of its download and started again, then a matrix of server faults.
# Usage: tools/soak.sh <windows build dir> [--seed N] [--rounds N] [--part all|kills|faults];
# `make soak` runs it inside the isolated namespace (SOAK_ARGS passes the options).
set -uo pipefail
win_dir="$1"
shift
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/harness.sh"
kelto_harness_up "$win_dir" || exit 1
"$win_dir/wine-run.sh" "$win_dir/bench/reliability_soak.exe" "$@" | sed -u 's/\r$//'
exit "${PIPESTATUS[0]}"
