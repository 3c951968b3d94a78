// CommonText: the platform-free text routines of the installer's common utilities: the size
// text shown to the player, printf-style wide formatting and the path texts that the folder
// and process routines build on.
//
// Contract: pure functions of their arguments; any thread may call them. Nothing here touches
// the file system, so "parent", "inside" and "deletable" are decisions about text only. Bad
// input gives an empty or false result, never an exception (allocation failure aside).
#pragma once

#include <cstdint>
#include <string>

// "999B", "0.98KB", "150.00MB" ...: the unit steps up at 1000 of the current unit while the
// divisor grows by 1024, and TB is the last unit.
std::wstring FormatSize(std::uint64_t bytes);

// printf-style wide formatting into a string of exactly the formatted length. Write "%ls" for
// wide-string arguments and "%lld" for 64-bit ones. A null format, or one the C runtime
// rejects, gives an empty string.
std::wstring FormatString(const wchar_t* format, ...);

// The folder that holds `path` ("/" read as "\\", one trailing "\\" ignored), or empty when
// the path names no folder above itself: ParentDir("C:\\") and ParentDir("game") are empty.
std::wstring ParentDir(const std::wstring& path);

// `folder` + "\\" + `name`, without doubling a separator that `folder` already ends in.
// Callers check `folder` first: an empty one would give a path from the drive's root.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// `path` with every trailing "\\" or "/" removed.
std::wstring TrimTrailingSeparators(const std::wstring& path);

// Whether `path` lies inside `folder`, taken as a whole path: the folder's text followed by a
// separator, comparing A-Z without regard to case (other letters exactly). "D:\\Games\\Kelto"
// contains "d:\\games\\kelto\\bin\\x.exe" but not "D:\\Games\\Kelto2\\x.exe". An empty folder
// contains nothing; a trailing separator on the folder makes no difference.
bool IsPathInFolder(const std::wstring& path, const std::wstring& folder);

// Whether `a` and `b` are the same text when A-Z are compared without regard to case (other
// letters exactly): how digests and file system paths are compared.
bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

// Whether `a` and `b` name the same folder as text: "/" read as "\\", trailing separators
// ignored, A-Z without regard to case. Empty names no folder: false.
bool IsSameFolder(const std::wstring& a, const std::wstring& b);

// Whether a whole folder tree at `folder` may be deleted: an absolute path ("X:\\..." or
// "\\\\server\\share\\...") that names at least one folder below the drive or share root.
// Drive roots, shares and relative paths are refused: deleting those would take far more
// than one program's folder.
bool IsDeletableTree(const std::wstring& folder);
