// Fuzzes what the update module makes of a manifest's values: whatever the version holds, the
// partial file is one file of bounded name in the package's folder; the size text and the
// temporary copy's bytes never fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

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
  Check(name.size() <= 12 + package_files::kMaxVersionChars + 4);
  Check(package_files::HasExtension(part, package_files::kPartSuffix));

  const std::string bytes = manifest_file::Bytes(text);
  Check(bytes.size() >= 2 && bytes.size() <= 2 + text.size() * 2);
  (void)UpdateManifest::ParseSize(text);
  return 0;
}
