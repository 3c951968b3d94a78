#!/usr/bin/env python3
"""Publishing a release for the studio: the manifest key, and signed manifests.

  kelto_publish.py keygen --key KEY.pem
      Makes the studio's manifest key pair (ECDSA P-256): the private key into KEY.pem (kept
      by the studio, never published), and prints the public key text for the build's
      SETUP_MANIFEST_PUBLIC_KEY.
  kelto_publish.py public-key --key KEY.pem
      Prints the public key text of an existing key.
  kelto_publish.py sign --key KEY.pem --package qvinstaller.exe --url URL [--mirror URL ...]
                        --version V [--expires YYYY-MM-DDTHH:MM:SSZ | --valid-days N]
                        [--out qvinstall.txt]
      Writes the signed manifest: the package's size, MD5 and SHA-256 computed from the file,
      its addresses and version, the expiry, and the signature over all of them.
  kelto_publish.py verify --public-key TEXT --manifest qvinstall.txt [--package FILE]
      Checks a manifest's signature and expiry against the public key text, and, with
      --package, that the file is the one the manifest names. Exit code 0 when it holds.

The signature covers the values exactly as the installer reads them (src/updater/
ManifestTrust.h): "kelto-manifest-v1\\n", then "<key>=<UTF-8 length>:<value>\\n" for Url,
murl, Size, Md5, Sha256, Version and Expires, signed with ECDSA P-256 over SHA-256; the
manifest carries it as base64 of r||s in "Signature". Installers without a key ignore the
new values. Needs the openssl command (Debian's openssl; on Windows the one of Git for Windows).
"""
import argparse
import base64
import datetime
import hashlib
import os
import subprocess
import sys
import tempfile

SIGNED_KEYS = ["Url", "murl", "Size", "Md5", "Sha256", "Version", "Expires"]
SECTION = "Install"


def fail(message):
    print("kelto_publish: " + message, file=sys.stderr)
    sys.exit(2)


def openssl(args, data=None):
    try:
        done = subprocess.run(["openssl"] + args, input=data, capture_output=True)
    except FileNotFoundError:
        fail("the openssl command is needed")
    return done


def public_key_text(key_file):
    done = openssl(["pkey", "-in", key_file, "-pubout", "-outform", "DER"])
    if done.returncode != 0:
        fail("cannot read the key: " + done.stderr.decode(errors="replace").strip())
    return base64.b64encode(done.stdout).decode()


def signed_text(values):
    text = b"kelto-manifest-v1\n"
    for key in SIGNED_KEYS:
        value = values.get(key, "").encode("utf-8")
        text += key.encode() + b"=" + str(len(value)).encode() + b":" + value + b"\n"
    return text


def der_integer(data, at):
    if data[at] != 0x02:
        raise ValueError("not an integer")
    length = data[at + 1]
    return int.from_bytes(data[at + 2:at + 2 + length], "big"), at + 2 + length


def der_to_raw(der):
    if der[0] != 0x30:
        raise ValueError("not a signature")
    r, at = der_integer(der, 2)
    s, _ = der_integer(der, at)
    return r.to_bytes(32, "big") + s.to_bytes(32, "big")


def raw_to_der(raw):
    def integer(value):
        body = value.lstrip(b"\0") or b"\0"
        if body[0] & 0x80:
            body = b"\0" + body
        return b"\x02" + bytes([len(body)]) + body
    body = integer(raw[:32]) + integer(raw[32:])
    return b"\x30" + bytes([len(body)]) + body


def check_value(key, value):
    if value != value.strip() or any(ord(c) < 0x20 for c in value):
        fail(f"{key}: no blanks around it and no control characters, please")
    if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
        fail(f"{key}: a value in quotes loses them when Windows reads it")
    if len(value) > 2047:
        fail(f"{key}: at most 2047 characters")


def file_digests(path):
    md5, sha256, size = hashlib.md5(), hashlib.sha256(), 0
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            md5.update(block)
            sha256.update(block)
            size += len(block)
    return str(size), md5.hexdigest(), sha256.hexdigest()


def read_manifest(path):
    """The values as Windows' profile reader gives them: the first section named Install
    (case ignored), the first line of each key, blanks and one pair of quotes taken off."""
    with open(path, "rb") as f:
        text = f.read().decode("utf-8-sig", errors="replace")
    values, section = {}, None
    for line in text.replace("\r\n", "\n").replace("\r", "\n").split("\n"):
        stripped = line.strip()
        if stripped.startswith("["):
            name = stripped[1:stripped.index("]")] if "]" in stripped else stripped[1:]
            section = name.strip().lower()
            continue
        if section != SECTION.lower() or "=" not in stripped:
            continue
        key, value = stripped.split("=", 1)
        key, value = key.strip().lower(), value.strip()
        if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
            value = value[1:-1]
        values.setdefault(key, value)
    return {k: values.get(k.lower(), "") for k in SIGNED_KEYS + ["Signature"]}


def command_keygen(args):
    if os.path.exists(args.key):
        fail(args.key + " exists: a studio's key is never replaced by accident")
    old = os.umask(0o077)
    try:
        done = openssl(["genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                        "-out", args.key])
    finally:
        os.umask(old)
    if done.returncode != 0:
        fail("openssl genpkey failed: " + done.stderr.decode(errors="replace").strip())
    print(public_key_text(args.key))


def command_public_key(args):
    print(public_key_text(args.key))


def command_sign(args):
    size, md5, sha256 = file_digests(args.package)
    if args.expires:
        expires = args.expires
    else:
        moment = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(
            days=args.valid_days)
        expires = moment.strftime("%Y-%m-%dT%H:%M:%SZ")
    values = {"Url": args.url, "murl": ";".join(args.mirror), "Size": size, "Md5": md5,
              "Sha256": sha256, "Version": args.version, "Expires": expires}
    for key, value in values.items():
        check_value(key, value)
    if not args.url:
        fail("the package needs an address (--url)")
    done = openssl(["dgst", "-sha256", "-sign", args.key], signed_text(values))
    if done.returncode != 0:
        fail("signing failed: " + done.stderr.decode(errors="replace").strip())
    values["Signature"] = base64.b64encode(der_to_raw(done.stdout)).decode()
    lines = ["[" + SECTION + "]"] + [f"{k}={values[k]}" for k in SIGNED_KEYS + ["Signature"]]
    text = "\r\n".join(lines) + "\r\n"
    if args.out:
        with open(args.out, "w", encoding="utf-8", newline="") as f:
            f.write(text)
    else:
        sys.stdout.write(text)


def command_verify(args):
    values = read_manifest(args.manifest)
    problems = []
    try:
        signature = base64.b64decode(values["Signature"], validate=True)
        if len(signature) != 64:
            raise ValueError("length")
    except ValueError:
        signature = None
        problems.append("no readable signature")
    if signature is not None:
        with tempfile.TemporaryDirectory() as work:
            key_file = os.path.join(work, "key.pem")
            with open(key_file, "w") as f:
                f.write("-----BEGIN PUBLIC KEY-----\n" + args.public_key.strip() +
                        "\n-----END PUBLIC KEY-----\n")
            signature_file = os.path.join(work, "signature.der")
            with open(signature_file, "wb") as f:
                f.write(raw_to_der(signature))
            done = openssl(["dgst", "-sha256", "-verify", key_file, "-signature", signature_file],
                           signed_text(values))
            if done.returncode != 0:
                problems.append("the signature does not match the values (or the key)")
    if not values["Sha256"]:
        problems.append("no Sha256")
    if values["Expires"]:
        try:
            expiry = datetime.datetime.strptime(values["Expires"], "%Y-%m-%dT%H:%M:%SZ")
            if expiry.replace(tzinfo=datetime.timezone.utc) <= datetime.datetime.now(
                    datetime.timezone.utc):
                problems.append("expired at " + values["Expires"])
        except ValueError:
            problems.append("malformed Expires")
    if args.package:
        size, md5, sha256 = file_digests(args.package)
        for key, actual in (("Size", size), ("Md5", md5), ("Sha256", sha256)):
            if values[key] and values[key].lower() != actual:
                problems.append(f"the package's {key} is {actual}, the manifest says {values[key]}")
    for key in SIGNED_KEYS:
        print(f"{key}={values[key]}")
    if problems:
        print("NOT VALID: " + "; ".join(problems))
        sys.exit(1)
    print("valid")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    keygen = commands.add_parser("keygen")
    keygen.add_argument("--key", required=True)
    public = commands.add_parser("public-key")
    public.add_argument("--key", required=True)
    sign = commands.add_parser("sign")
    sign.add_argument("--key", required=True)
    sign.add_argument("--package", required=True)
    sign.add_argument("--url", required=True)
    sign.add_argument("--mirror", action="append", default=[])
    sign.add_argument("--version", required=True)
    sign.add_argument("--expires")
    sign.add_argument("--valid-days", type=int, default=30)
    sign.add_argument("--out")
    verify = commands.add_parser("verify")
    verify.add_argument("--public-key", required=True)
    verify.add_argument("--manifest", required=True)
    verify.add_argument("--package")
    args = parser.parse_args()
    {"keygen": command_keygen, "public-key": command_public_key, "sign": command_sign,
     "verify": command_verify}[args.command](args)


if __name__ == "__main__":
    main()
