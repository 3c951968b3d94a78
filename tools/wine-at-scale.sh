#!/usr/bin/env bash
# Runs one Windows program under this build's Wine at another display scale, inside the
# harness. Wine reads the dots per inch (HKCU\Control Panel\Desktop LogPixels) as each program
# starts, from the registry its server keeps for the whole prefix: set there, the value would
# reach every other program of a parallel test run. So the program gets a prefix of its own, a
# copy of the build's made afresh (its system files linked, not copied: a tenth of a second)
# with the test drives' links as they are now, and its own server, ended afterwards.
# Usage: tools/wine-at-scale.sh <dpi> <program> [arguments...]; the program's exit code.
set -uo pipefail
dpi="$1"
shift
base="${KELTO_WINEPREFIX:?wine-at-scale: run it inside the harness}"
export WINEPREFIX="$base-${dpi}dpi"
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# A server left by an interrupted run would keep the old copy's registry.
[ -d "$WINEPREFIX" ] && wineserver -k </dev/null >/dev/null 2>&1
rm -rf "$WINEPREFIX"
cp -al "$base" "$WINEPREFIX" || exit 1
# The server writes its registry files anew: each prefix needs its own.
for file in "$base"/*.reg; do
  cp --remove-destination "$file" "$WINEPREFIX/" || exit 1
done
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
  </dev/null >/dev/null 2>&1 || { echo "wine-at-scale: cannot set $dpi dpi" >&2; exit 1; }
wine "$@"
status=$?
wineserver -k </dev/null >/dev/null 2>&1
rm -rf "$WINEPREFIX"
exit $status
