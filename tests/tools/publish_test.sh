#!/bin/sh
# The studio's publishing steps with a throwaway key and certificate: a manifest signed for a
# package verifies, and fails once a value or the package changes; the installer signed by
# `make sign-release` with a certificate made here passes osslsigncode's check.
set -eu
src="$1" exe="$2" tool="$1/tools/publish/kelto_publish.py"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$tool" keygen --key k.pem >k.pub
head -c 70000 /dev/urandom >pkg.exe
python3 "$tool" sign --key k.pem --package pkg.exe --url http://127.0.0.1:9/p.exe --version 1 \
  --valid-days 2 --out m.txt
python3 "$tool" verify --public-key "$(cat k.pub)" --manifest m.txt --package pkg.exe >/dev/null
refused() { if python3 "$tool" verify --public-key "$(cat k.pub)" "$@" >/dev/null; then exit 1; fi; }
sed 's/^Version=1/Version=2/' m.txt >forged.txt
refused --manifest forged.txt
echo x >>pkg.exe
refused --manifest m.txt --package pkg.exe
openssl req -x509 -newkey rsa:2048 -nodes -keyout c.key -out c.pem -days 2 \
  -subj "/CN=Kelto test studio" 2>/dev/null
cp "$exe" KeltoSetup.exe
make -s -C "$src" sign-release RELEASE_EXE="$work/KeltoSetup.exe" CERT="$work/c.pem" KEY="$work/c.key"
osslsigncode verify -in KeltoSetup.exe -CAfile c.pem >/dev/null
