#include "updater/ManifestTrust.h"

#include <cstring>

namespace manifest_trust {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The DER SubjectPublicKeyInfo of a P-256 key holds this prefix (the algorithm, the curve and
// the bit string's head with the uncompressed-point marker 04), then X and Y.
constexpr uint8_t kSpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                   0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                   0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    // UTF-16 surrogate pairs (Windows); a lone surrogate is no character.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        static_cast<uint32_t>(text[i + 1]) >= 0xDC00 &&
        static_cast<uint32_t>(text[i + 1]) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

int Base64Value(char c) {
  const char* at = std::strchr(kAlphabet, c);
  return (c != '\0' && at) ? static_cast<int>(at - kAlphabet) : -1;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// `count` decimal digits of `text` from `at`.
bool Digits(const std::wstring& text, size_t at, size_t count, int* value) {
  *value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    *value = *value * 10 + (text[i] - L'0');
  }
  return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

std::string SignedText(const UpdateManifest& manifest) {
  const std::pair<const wchar_t*, const std::wstring*> values[] = {
      {UpdateManifest::kUrlKey, &manifest.packageUrl},
      {UpdateManifest::kMirrorKey, &manifest.mirrorUrls},
      {UpdateManifest::kSizeKey, &manifest.sizeText},
      {UpdateManifest::kDigestKey, &manifest.packageDigest},
      {UpdateManifest::kSha256Key, &manifest.packageSha256},
      {UpdateManifest::kVersionKey, &manifest.packageVersion},
      {UpdateManifest::kExpiresKey, &manifest.expiresText},
  };
  std::string text = "kelto-manifest-v1\n";
  for (const auto& value : values) {
    const std::string bytes = ToUtf8(*value.second);
    text += ToUtf8(value.first) + "=" + std::to_string(bytes.size()) + ":" + bytes + "\n";
  }
  return text;
}

bool DecodeBase64(const std::string& text, std::string* bytes) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(static_cast<wchar_t>(text[first]))) ++first;
  while (last > first && IsBlank(static_cast<wchar_t>(text[last - 1]))) --last;
  const size_t length = last - first;
  if (length == 0 || length % 4 != 0) return false;
  bytes->clear();
  for (size_t i = first; i < last; i += 4) {
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + static_cast<size_t>(k)];
      // Padding only at the very end, in the last one or two places.
      if (c == '=' && i + 4 == last && k >= 2) {
        v[k] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return false;
      v[k] = Base64Value(c);
      if (v[k] < 0) return false;
    }
    const uint32_t group = (static_cast<uint32_t>(v[0]) << 18) |
                           (static_cast<uint32_t>(v[1]) << 12) |
                           (static_cast<uint32_t>(v[2]) << 6) | static_cast<uint32_t>(v[3]);
    bytes->push_back(static_cast<char>((group >> 16) & 0xFF));
    if (padding < 2) bytes->push_back(static_cast<char>((group >> 8) & 0xFF));
    if (padding < 1) bytes->push_back(static_cast<char>(group & 0xFF));
  }
  return true;
}

std::string EncodeBase64(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    if (left > 1) group |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    if (left > 2) group |= static_cast<uint8_t>(bytes[i + 2]);
    text.push_back(kAlphabet[(group >> 18) & 0x3F]);
    text.push_back(kAlphabet[(group >> 12) & 0x3F]);
    text.push_back(left > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    text.push_back(left > 2 ? kAlphabet[group & 0x3F] : '=');
  }
  return text;
}

bool ParsePublicKey(const std::string& base64, PublicKey* key) {
  std::string der;
  if (!DecodeBase64(base64, &der)) return false;
  if (der.size() != sizeof(kSpkiPrefix) + key->size()) return false;
  if (std::memcmp(der.data(), kSpkiPrefix, sizeof(kSpkiPrefix)) != 0) return false;
  std::memcpy(key->data(), der.data() + sizeof(kSpkiPrefix), key->size());
  return true;
}

bool ParseSignature(const std::wstring& base64, Signature* signature) {
  std::string narrow;
  for (wchar_t c : base64) {
    if (c > 0x7F) return false;
    narrow.push_back(static_cast<char>(c));
  }
  std::string bytes;
  if (!DecodeBase64(narrow, &bytes) || bytes.size() != signature->size()) return false;
  std::memcpy(signature->data(), bytes.data(), signature->size());
  return true;
}

bool ParseExpiry(const std::wstring& text, int64_t* unixSeconds) {
  // 2027-01-31T00:00:00Z
  if (text.size() != 20 || text[4] != L'-' || text[7] != L'-' || text[10] != L'T' ||
      text[13] != L':' || text[16] != L':' || text[19] != L'Z') {
    return false;
  }
  int year, month, day, hour, minute, second;
  if (!Digits(text, 0, 4, &year) || !Digits(text, 5, 2, &month) || !Digits(text, 8, 2, &day) ||
      !Digits(text, 11, 2, &hour) || !Digits(text, 14, 2, &minute) ||
      !Digits(text, 17, 2, &second)) {
    return false;
  }
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1970 || month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 ||
      second > 59) {
    return false;
  }
  if (day > kMonthDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0)) return false;
  *unixSeconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

bool ParseSha256(const std::wstring& hex, std::array<uint8_t, 32>* digest) {
  if (hex.size() != 64) return false;
  for (size_t i = 0; i < 64; ++i) {
    const wchar_t c = hex[i];
    int v;
    if (c >= L'0' && c <= L'9') {
      v = c - L'0';
    } else if (c >= L'a' && c <= L'f') {
      v = c - L'a' + 10;
    } else if (c >= L'A' && c <= L'F') {
      v = c - L'A' + 10;
    } else {
      return false;
    }
    uint8_t& byte = (*digest)[i / 2];
    byte = static_cast<uint8_t>(i % 2 == 0 ? v << 4 : (byte | v));
  }
  return true;
}

const wchar_t* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kUnsigned:
      return L"the manifest is unsigned (this build carries no manifest key)";
    case Verdict::kTrusted:
      return L"the manifest's signature is valid";
    case Verdict::kNoSignature:
      return L"the manifest carries no signature";
    case Verdict::kBadSignature:
      return L"the manifest's signature does not match its values";
    case Verdict::kNoSha256:
      return L"the signed manifest names no SHA-256 of the package";
    case Verdict::kBadExpiry:
      return L"the manifest's expiry time is malformed";
    case Verdict::kExpired:
      return L"the manifest has expired";
    case Verdict::kBadKey:
      return L"this build's manifest key cannot be read";
  }
  return L"?";
}

Verdict Judge(const std::string& keyText, const UpdateManifest& manifest,
              int64_t nowUnixSeconds, Verifier verify) {
  if (keyText.empty()) return Verdict::kUnsigned;
  PublicKey key;
  if (!ParsePublicKey(keyText, &key)) return Verdict::kBadKey;
  if (manifest.signatureText.empty()) return Verdict::kNoSignature;
  Signature signature;
  if (!ParseSignature(manifest.signatureText, &signature) ||
      !verify(key, SignedText(manifest), signature)) {
    return Verdict::kBadSignature;
  }
  std::array<uint8_t, 32> sha256;
  if (!ParseSha256(manifest.packageSha256, &sha256)) return Verdict::kNoSha256;
  // The expiry is the studio's choice; one that is given must be read and in the future.
  if (manifest.expiresText.empty()) return Verdict::kTrusted;
  int64_t expiry = 0;
  if (!ParseExpiry(manifest.expiresText, &expiry)) return Verdict::kBadExpiry;
  if (nowUnixSeconds >= expiry) return Verdict::kExpired;
  return Verdict::kTrusted;
}

}  // namespace manifest_trust
