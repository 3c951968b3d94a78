#!/usr/bin/env bash
# Throughput of the test HTTP server (tests/support/test_server.py) over loopback.
set -euo pipefail
exec python3 "$(dirname "$0")/test_server_throughput.py"
