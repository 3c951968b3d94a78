#!/usr/bin/env bash
# The installer must be a 64-bit GUI program under 1.5 MiB that carries its manifest
# (administrator rights, common controls 6, per-monitor DPI awareness), version information
# and skin archive, and that loads no more than the least set of Windows' own DLLs at start.
set -u
objdump="$1" exe="$2"
fail=0
headers=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }

grep -q 'file format pei-x86-64' <<<"$headers" || { echo "not a PE32+ x86-64 image"; fail=1; }
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers" || { echo "not a Windows GUI program"; fail=1; }

# The DLLs mapped before the first instruction run are what the bare start costs; every other
# one, Windows' own too, is linked for loading at its first call (the common controls alone
# took 15-35 ms).
at_start='^(kernel32|user32|gdi32|advapi32|msvcrt)\.dll$'
while read -r dll; do
  if ! grep -Eqi "$at_start" <<<"$dll"; then
    echo "loads $dll at start: link it through its delay-load library"; fail=1
  fi
done < <(grep 'DLL Name:' <<<"$headers" | awk '{print $3}')

sections=$("$objdump" -s -j .rsrc "$exe" 2>/dev/null | tr -d '\n')
strings_out=$(strings -a -el "$exe"; strings -a "$exe")
grep -q 'requireAdministrator' <<<"$strings_out" || { echo "manifest lacks requireAdministrator"; fail=1; }
grep -q 'Microsoft.Windows.Common-Controls' <<<"$strings_out" || { echo "manifest lacks common controls 6"; fail=1; }
grep -q 'PerMonitorV2' <<<"$strings_out" || { echo "manifest lacks per-monitor DPI awareness"; fail=1; }
size=$(stat -c %s "$exe")
[ "$size" -lt 1572864 ] || { echo "$size bytes: over 1.5 MiB"; fail=1; }
grep -q 'ZIPRES' <<<"$strings_out" || { echo "no ZIPRES resource"; fail=1; }
grep -q 'FileVersion' <<<"$strings_out" || { echo "no version information"; fail=1; }
[ -n "$sections" ] || { echo "no resource section"; fail=1; }
[ $fail = 0 ] && echo "ok: $(grep 'DLL Name:' <<<"$headers" | awk '{print $3}' | tr '\n' ' ')"
exit $fail
