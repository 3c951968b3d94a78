// ManifestTrust: the platform-free half of signed manifests: the exact bytes a studio's
// signature covers, the public key and signature texts, the expiry time, and the verdict on a
// manifest as the installer has read it.
//
// A signed manifest carries three more values in its "Install" section, which installers of
// before ignore: "Sha256" (the package's SHA-256, hexadecimal), "Expires" (UTC,
// "YYYY-MM-DDTHH:MM:SSZ") and "Signature" (base64 of the 64-byte ECDSA P-256 signature r||s
// over the SHA-256 of SignedText). SignedText is built from the values exactly as the
// installer read them, each with its length (an absent value counts as empty): whatever a manifest does with line endings,
// byte-order marks, repeated keys or sections, the values the installer goes on to use are
// the values the signature was checked over.
//
// Contract: pure functions of their arguments; any thread; nothing throws. Parsers refuse
// what is not exactly their format (false), and never read past their input.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "updater/UpdateManifest.h"

namespace manifest_trust {

using PublicKey = std::array<uint8_t, 64>;  // the curve point's X then Y, big-endian
using Signature = std::array<uint8_t, 64>;  // r then s, big-endian

// The bytes the signature covers: "kelto-manifest-v1\n", then for each of Url, murl, Size,
// Md5, Sha256, Version and Expires a line "<key>=<UTF-8 length>:<UTF-8 value>\n".
std::string SignedText(const UpdateManifest& manifest);

// Standard base64 (with padding; blanks around it allowed). False for anything else.
bool DecodeBase64(const std::string& text, std::string* bytes);
std::string EncodeBase64(const std::string& bytes);

// A P-256 public key from the base64 text of its DER SubjectPublicKeyInfo (what
// "openssl ec -pubout -outform DER | base64" prints, the body of a PEM public key).
bool ParsePublicKey(const std::string& base64, PublicKey* key);
bool ParseSignature(const std::wstring& base64, Signature* signature);

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since 1970 (UTC). False for any other form or an
// impossible date.
bool ParseExpiry(const std::wstring& text, int64_t* unixSeconds);

// 64 hexadecimal digits (either case) as a 32-byte digest.
bool ParseSha256(const std::wstring& hex, std::array<uint8_t, 32>* digest);

enum class Verdict {
  kUnsigned,      // no key in this build: the manifest is taken as before
  kTrusted,       // the signature checks out, the manifest has not expired
  kNoSignature,   // a key is configured and the manifest carries no signature
  kBadSignature,  // the signature text is malformed or does not match
  kNoSha256,      // signed manifests must name the package's SHA-256
  kBadExpiry,     // "Expires" given but malformed
  kExpired,
  kBadKey,        // the build's key text cannot be read (a deployment mistake)
};

// What the log says of a verdict, in English.
const wchar_t* VerdictText(Verdict verdict);

// Checks an ECDSA P-256 signature over the SHA-256 of `signedText`; the platform's crypto.
using Verifier = bool (*)(const PublicKey& key, const std::string& signedText,
                          const Signature& signature);

// The verdict on a manifest read with the build's key text at the time `nowUnixSeconds`.
// With no key (`keyText` empty) it is kUnsigned whatever the manifest holds; otherwise the
// key, then the signature (through `verify`), then the SHA-256 and the expiry (when one is
// given) must pass.
Verdict Judge(const std::string& keyText, const UpdateManifest& manifest,
              int64_t nowUnixSeconds, Verifier verify);

}  // namespace manifest_trust
