// UpdateManifest: the values of the update manifest, the INI text that the update servers
// serve as "/qvinstall.txt" (section "Install"), and the platform-free rules around them: how
// the size text reads, what the temporary INI copy of the manifest holds and where it lies.
// ManifestReader.h reads a manifest through that copy with the system's profile reader.
//
// Contract: plain values and pure functions; any thread. Nothing here touches files or throws.
// Values are kept as the manifest gives them (cut to kMaxValueChars by the reader); a manifest
// that names no address of the package, neither in "Url" nor in "murl", names no package
// (HasPackage), and the update module refuses to start a download for it with the
// application code kNoPackageAddress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct UpdateManifest {
  static constexpr const wchar_t* kSection = L"Install";
  static constexpr const wchar_t* kUrlKey = L"Url";
  static constexpr const wchar_t* kMirrorKey = L"murl";
  static constexpr const wchar_t* kSizeKey = L"Size";
  static constexpr const wchar_t* kDigestKey = L"Md5";
  static constexpr const wchar_t* kVersionKey = L"Version";
  // Values of signed manifests (ManifestTrust.h), which installers of before ignore.
  static constexpr const wchar_t* kSha256Key = L"Sha256";
  static constexpr const wchar_t* kExpiresKey = L"Expires";
  static constexpr const wchar_t* kSignatureKey = L"Signature";
  // How many connections a large package may be fetched over at once ("1": one stream).
  static constexpr const wchar_t* kParallelKey = L"Parallel";
  // A value is read into a buffer of 2048 characters, so at most 2047 of them arrive.
  static constexpr size_t kValueBufferChars = 2048;
  static constexpr size_t kMaxValueChars = kValueBufferChars - 1;
  // Error type 3 (application): the manifest names no package address, as when a server
  // answers with an empty text or a notice instead of the manifest. (A web page in its
  // place never gets here: the fetch fails with HTTP status 511.)
  static constexpr int32_t kNoPackageAddress = 2101;

  // The expected package size from `sizeText`: its leading decimal digits (no sign, no
  // blanks), 0 when there are none; a number beyond 64 bits stays at the largest value.
  // 0 means that the download checks no size.
  uint64_t ExpectedSize() const { return ParseSize(sizeText); }
  // Where the package is downloaded from, in order: "Url", then the mirrors of "murl" (as
  // the download takes them: DownloadRules.h). A manifest may name mirrors only.
  std::vector<std::wstring> PackageUrls() const;
  bool HasPackage() const { return !PackageUrls().empty(); }

  static uint64_t ParseSize(const std::wstring& text);
  // The connections for the package: the manifest's "Parallel" when it gives a number from 1
  // up, never more than `deployed` (the build's setting), else `deployed`.
  int ParallelRanges(int deployed) const;

  std::wstring packageUrl;      // "Url": primary address of the package
  std::wstring mirrorUrls;      // "murl": backup addresses, ";"-separated
  std::wstring sizeText;        // "Size": bytes, decimal text
  std::wstring packageDigest;   // "Md5": hexadecimal MD5 digest of the package
  std::wstring packageVersion;  // "Version": goes into the partial file's name
  std::wstring packageSha256;   // "Sha256": hexadecimal SHA-256 of the package
  std::wstring expiresText;     // "Expires": UTC time after which the manifest is refused
  std::wstring signatureText;   // "Signature": base64 of the studio's signature
  std::wstring parallelText;    // "Parallel": connections for the package, decimal text
};

namespace manifest_file {

// "%s\\xwinstall_%d.ini": the temporary INI copy of the manifest in `downloadDir`, named
// after the low 32 bits of the calendar time in seconds (signed). Never cut short.
std::wstring TempPath(const std::wstring& downloadDir, int32_t seconds);

// What the temporary copy holds: the byte-order mark FF FE, then the manifest text as
// UTF-16LE code units, no terminator. A byte-order mark that the text itself starts with
// (a manifest saved as UTF-8 with a mark) is dropped: behind the file's own mark it would
// glue itself to the first line and hide the section header from the profile reader.
std::string Bytes(const std::wstring& text);

}  // namespace manifest_file
