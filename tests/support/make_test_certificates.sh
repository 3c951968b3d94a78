#!/bin/sh
# Makes the TLS test certificates in folder $1 (at build time; nothing is kept in the tree):
#   ca.pem                 a test root authority, which the tests add to the Wine prefix's
#                          trusted roots (TestCertificates.h)
#   server.pem server.key  "localhost", signed by that authority: a trusted server
#   rogue.pem rogue.key    "localhost", self-signed: a server no machine trusts
# The key of the authority is thrown away once the server's certificate is signed.
set -eu
dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Kelto Test Root Authority" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
  -keyout "$work/ca.key" -out "$work/ca.pem" >/dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout "$work/server.key" \
  -out "$work/server.csr" >/dev/null 2>&1
printf '%s\n' 'subjectAltName=DNS:localhost' 'basicConstraints=CA:FALSE' \
  'extendedKeyUsage=serverAuth' 'keyUsage=digitalSignature,keyEncipherment' >"$work/server.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -CAcreateserial -days 3650 -extfile "$work/server.ext" -out "$work/server.pem" >/dev/null 2>&1
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj /CN=localhost \
  -addext subjectAltName=DNS:localhost -keyout "$work/rogue.key" -out "$work/rogue.pem" \
  >/dev/null 2>&1
cp "$work/ca.pem" "$work/server.pem" "$work/server.key" "$work/rogue.pem" "$work/rogue.key" "$dir"/
