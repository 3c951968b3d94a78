#!/usr/bin/env bash
# Runs every test: the native suite under the sanitizers, then the Windows suite under Wine.
# Called by `make test` inside the isolated network namespace. Exits non-zero on any failure.
set -uo pipefail
native_dir="$1" win_dir="$2"
here="$(cd "$(dirname "$0")" && pwd)"
jobs="${KELTO_TEST_JOBS:-$(nproc)}"

status=0
echo "== native tests (AddressSanitizer, UndefinedBehaviorSanitizer) =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$native_dir" --output-on-failure -j "$jobs" || status=1

echo "== Windows tests (Wine) =="
source "$here/harness.sh"
kelto_harness_up "$win_dir" || exit 1
# A test that fails is run once more: a few times in a thousand, Wine itself ends a finished
# program abnormally (an ld.so assertion at exit, or a start that fails under load). A test
# that fails twice fails the run; every first failure stays visible in the output.
ctest --test-dir "$win_dir" --output-on-failure -j "$jobs" --repeat until-pass:2 || status=1
kelto_harness_down

if [ $status = 0 ]; then echo "make test: all passed"; else echo "make test: FAILED" >&2; fi
exit $status
