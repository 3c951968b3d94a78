#include "updater/ManifestReader.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "http/HttpResult.h"
#include "runtime/FileEx.h"

namespace {

// Write access, other writers denied, not inherited, created or truncated, binary.
constexpr unsigned kTempFileFlags = CFileEx::OpenWrite | CFileEx::ShareDenyWrite |
                                    CFileEx::NoInherit | CFileEx::Create | CFileEx::Binary;
static_assert(kTempFileFlags == 0x90A1, "the temporary manifest's open flags");

// CFileEx writes at most 4 GiB - 1 at a time.
constexpr size_t kWriteChunk = 1u << 30;

std::wstring ReadValue(const std::wstring& path, const wchar_t* key) {
  std::vector<wchar_t> buffer(UpdateManifest::kValueBufferChars, L'\0');
  const DWORD length = ::GetPrivateProfileStringW(UpdateManifest::kSection, key, L"",
                                                  buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path.c_str());
  return std::wstring(buffer.data(), std::min<size_t>(length, buffer.size() - 1));
}

}  // namespace

bool ReadManifest(const std::wstring& tempPath, const std::wstring& text,
                  UpdateManifest* manifest, int* type, int* code) {
  // 1. The temporary copy.
  CFileEx file;
  CFileExException error;
  if (!file.Open(tempPath, kTempFileFlags, &error)) {
    *type = http_result::kSystem;
    *code = error.osError;
    return false;
  }
  // 2. Its bytes: the mark, then the text in UTF-16LE.
  const std::string bytes = manifest_file::Bytes(text);
  try {
    file.Seek(0, CFileEx::Begin);
    for (size_t done = 0; done < bytes.size();) {
      const size_t chunk = std::min(bytes.size() - done, kWriteChunk);
      file.Write(bytes.data() + done, static_cast<uint32_t>(chunk));
      done += chunk;
    }
    file.Flush();
    file.Close();
  } catch (const CFileExException& failure) {
    file.Abort();
    *type = http_result::kSystem;
    *code = failure.osError;
    return false;
  }
  // 3. The values, in this order: these very strings are what a signature is checked over
  //    and what the download and the install step go on to use.
  manifest->packageUrl = ReadValue(tempPath, UpdateManifest::kUrlKey);
  manifest->mirrorUrls = ReadValue(tempPath, UpdateManifest::kMirrorKey);
  manifest->sizeText = ReadValue(tempPath, UpdateManifest::kSizeKey);
  manifest->packageDigest = ReadValue(tempPath, UpdateManifest::kDigestKey);
  manifest->packageVersion = ReadValue(tempPath, UpdateManifest::kVersionKey);
  manifest->packageSha256 = ReadValue(tempPath, UpdateManifest::kSha256Key);
  manifest->parallelText = ReadValue(tempPath, UpdateManifest::kParallelKey);
  manifest->expiresText = ReadValue(tempPath, UpdateManifest::kExpiresKey);
  manifest->signatureText = ReadValue(tempPath, UpdateManifest::kSignatureKey);
  // 4.
  return true;
}
