// Fuzzes what the update module makes of a manifest's values: whatever the version holds, the
// partial file is one file of bounded name in the package's folder; the size text, the
// temporary copy's bytes and the signed manifest's texts never fail.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "updater/ManifestTrust.h"
#include "updater/PackageFiles.h"
#include "updater/UpdateManifest.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Two bytes a character, as UTF-16 text arrives from the profile reader.
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  }

  const std::wstring folder = L"D:\\dl\\";
  const std::wstring part =
      package_files::PartPath(folder + package_files::kPackageName, text, package_files::kPartSuffix);
  Check(part.compare(0, folder.size(), folder) == 0);
  const std::wstring name = part.substr(folder.size());
  Check(name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos);
  for (wchar_t c : name) Check(static_cast<unsigned>(c) >= 0x20 && c != 0x7F);
  Check(name.size() <=
        12 + package_files::kMaxVersionChars + 1 + package_files::kVersionDigestChars + 4);
  Check(package_files::HasExtension(part, package_files::kPartSuffix));

  // The signed manifest's texts.
  const std::string raw(reinterpret_cast<const char*>(data), size);
  manifest_trust::Signature signature;
  manifest_trust::PublicKey key;
  std::array<uint8_t, 32> sha256;
  int64_t expiry = 0;
  manifest_trust::ParseSignature(text, &signature);
  manifest_trust::ParsePublicKey(raw, &key);
  manifest_trust::ParseSha256(text, &sha256);
  if (manifest_trust::ParseExpiry(text, &expiry)) Check(expiry >= 0);
  std::string decoded;
  if (manifest_trust::DecodeBase64(raw, &decoded)) {
    Check(manifest_trust::EncodeBase64(decoded).size() <= raw.size());
  }

  const std::string bytes = manifest_file::Bytes(text);
  Check(bytes.size() >= 2 && bytes.size() <= 2 + text.size() * 2);
  (void)UpdateManifest::ParseSize(text);
  return 0;
}
