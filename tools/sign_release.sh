#!/usr/bin/env bash
# Signs the installer with the studio's code-signing certificate (Authenticode), so that
# Windows names the studio when the player runs it and SmartScreen can build its reputation.
#   tools/sign_release.sh <exe> <certificate.pem> <key.pem> [<timestamp url>]
# The signed program replaces <exe>; `osslsigncode verify` checks it afterwards. Called by
# `make sign-release CERT=... KEY=...`. A timestamp (from the authority's server) keeps the
# signature valid after the certificate expires: give its address for a real release.
set -euo pipefail
exe="$1" cert="$2" key="$3" timestamp="${4:-}"
[ -f "$exe" ] || { echo "sign-release: $exe does not exist: build the release first" >&2; exit 1; }
signed="$(mktemp "${exe}.signing.XXXXXX")"
trap 'rm -f "$signed"' EXIT
args=(sign -certs "$cert" -key "$key" -h sha256 -n "凯途星联" -in "$exe" -out "$signed")
[ -n "$timestamp" ] && args+=(-ts "$timestamp")
rm -f "$signed"
osslsigncode "${args[@]}" >/dev/null
mv "$signed" "$exe"
trap - EXIT
echo "sign-release: signed $exe"
