// PackageFiles: the names of the update module's files in its download folder: the package
// "qvinstaller.exe" and the partial file it is downloaded into, named after the package's
// version so that a partial file of another version is never resumed.
//
// Contract: pure functions of their arguments; any thread; nothing throws. The version comes
// from the network: whatever it holds, the partial file lies in the package's folder, under
// one name of bounded length made of characters that Windows file names accept.
#pragma once

#include <cstddef>
#include <string>

namespace package_files {

constexpr const wchar_t* kPackageName = L"qvinstaller.exe";
// The partial file's suffix, and the one of the second partial file that a download starts
// over into when the first is held by another program.
constexpr const wchar_t* kPartSuffix = L".tmp";
constexpr const wchar_t* kRestartSuffix = L".tmptmp";
// Versions are short ("1.0.3.27"); more than this is not a version.
constexpr size_t kMaxVersionChars = 64;
// Hexadecimal digits of the version's digest in the name of a version that is not kept as
// it is.
constexpr size_t kVersionDigestChars = 8;

// "%s\\%s" of the download folder and "qvinstaller.exe".
std::wstring PackagePath(const std::wstring& downloadDir);

// The version as it may stand inside a file name, one name per exact version. A version of
// digits, small letters, ".", "-" and "_", at most kMaxVersionChars long, stands as it is.
// Any other is cut to kMaxVersionChars characters (never inside a surrogate pair), its
// control characters and \ / : * ? " < > | become "_", and "~" with the first
// kVersionDigestChars digits of its MD5 digest follows: "1/2" is "1_2~<digits>", never "1_2".
// ".." thus stays a harmless part of the name: no separator remains around it.
std::wstring FileNameVersion(const std::wstring& version);

// "%s_%s%s" of `packageFile` cut before the last "." of its file name (the whole path when
// the name has none), the file-name form of `version`, and `suffix`:
// "...\\qvinstaller_1.0.3.tmp".
std::wstring PartPath(const std::wstring& packageFile, const std::wstring& version,
                      const std::wstring& suffix);

// Whether the text from the last "." of `path` is exactly `extension` (".tmp" is not the
// extension of "x.tmptmp").
bool HasExtension(const std::wstring& path, const std::wstring& extension);

}  // namespace package_files
