#!/usr/bin/env bash
# Runs a command in a network namespace of its own where only loopback is up, so that nothing
# it starts can send a packet anywhere else. Root gets a plain network namespace; other users
# get one inside a user namespace. A private mount namespace comes with it, so that the test
# harness can mount the Wine test drives (tools/harness.sh) without touching the machine's.
set -euo pipefail
if [ "${KELTO_ISOLATED:-}" = 1 ]; then exec "$@"; fi
export KELTO_ISOLATED=1
if [ "$(id -u)" = 0 ]; then
  exec unshare --net --mount -- bash -c 'ip link set lo up && exec "$@"' isolated "$@"
else
  exec unshare --user --map-root-user --net --mount -- bash -c 'ip link set lo up && exec "$@"' isolated "$@"
fi
