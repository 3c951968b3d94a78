// CommonUtils: the installer's file, folder and process routines, shared by the install
// dialog, the install worker and the update module. The text routines (size text, formatting,
// parent folder) are in CommonText.h, included here, and also build natively.
//
// Contract: free functions, callable from any thread; the only state is the program folder
// that ModuleDir caches (guarded). Results come back as bools, sizes, process identifiers or
// system error codes; nothing throws. Routines that retry sleep on the calling thread, so the
// user-interface thread calls them only where a short wait is acceptable (at most about 0.6 s
// for the 4-attempt forms). All paths are wide Win32 paths.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/CommonText.h"

// Runs `attempt` up to `attempts` times; after failed try k (1-based) it sleeps
// 1 + 100 * (k - 1) ms, except after the last, where waiting would change nothing.
template <typename Attempt>
bool RetryWithBackoff(int attempts, Attempt attempt) {
  for (int k = 1; k <= attempts; ++k) {
    if (attempt()) return true;
    if (k < attempts) ::Sleep(1 + 100 * static_cast<DWORD>(k - 1));
  }
  return false;
}

// Folder of the running program without a trailing "\\" ("D:" for a drive root); empty when
// the system cannot tell (the next call tries again).
std::wstring ModuleDir();

// Whether `path` names an existing folder (a file of that name does not count).
bool DirExists(const std::wstring& path);

// Creates `folder` with every missing parent. True when the folder exists afterwards; a file
// of that name is not a folder and gives false. Failures are logged.
bool CreateDir(const std::wstring& folder);

// Creates (or truncates) `path` as an empty file, creating its folder first when missing.
bool CreateEmptyFile(const std::wstring& path);

// Deletes a file, trying 1 + `extraAttempts` times and waiting 1, 101, 201 ... ms after each
// failed try but the last. True when the file is gone, including when it never existed.
bool DeleteFileWithRetry(const std::wstring& path, int extraAttempts);

// Size of a file in bytes, also while another program holds it open for writing; -1 when it
// cannot be found.
std::int64_t FileSize(const std::wstring& path);

// The MD5 digest of the whole file at `path`, as 32 lower-case hexadecimal digits; empty when
// the file cannot be opened or not be read to its end.
std::wstring FileDigest(const std::wstring& path);

// Deletes the folder tree `folder` (a trailing "\\" is optional): every file that can be
// deleted, every sub-folder, then the folder itself. True when the folder is gone (or never
// existed). Links inside the tree (junctions, symbolic links) are removed as links: what they
// point to is never entered. Drive roots, shares and relative paths are refused (false).
bool DeleteTree(const std::wstring& folder);

// Moves `source` onto `target`, replacing it; up to 4 attempts, waiting 1, 101 and 201 ms
// after the failed ones. False when the source does not exist or every attempt failed.
bool MoveFileWithRetry(const std::wstring& source, const std::wstring& target);

// Starts `program` with `commandLine` (which repeats the program as its first word) and does
// not wait. Returns 0 or the system error code. When `info` is given it receives the process
// information; its handles are already closed, only the identifiers are usable.
DWORD StartProcess(const std::wstring& program, const std::wstring& commandLine,
                   PROCESS_INFORMATION* info = nullptr);

// Like StartProcess, then waits for the process to end. `started`, when given, runs once the
// process exists, before the wait. Every `checkMs` it asks `keepWaiting` (with the process's
// handle) whether to wait on; told no, it ends the process and returns ERROR_TIMEOUT once it
// has gone (or kTerminateWaitMs later).
constexpr DWORD kTerminateWaitMs = 2000;
DWORD RunAndWait(const std::wstring& program, const std::wstring& commandLine,
                 const std::function<void()>& started, DWORD checkMs,
                 const std::function<bool(HANDLE process)>& keepWaiting);

// Ends every other process whose executable file name is exactly `name` (case-sensitive), with
// exit code 0, and returns how many there were. This process is never ended, whatever its
// name; an empty name ends nothing. Returns 0 when the process list cannot be read.
int KillProcessesByName(const std::wstring& name);

// Identifier of a process other than this one whose executable lies inside `folder` (as a whole
// path, see IsPathInFolder), or 0. An empty folder matches nothing.
DWORD FindProcessInFolder(const std::wstring& folder);

// Enables "SeDebugPrivilege" in this process's token, so that processes of other users can be
// opened; quietly does nothing when the token does not allow it.
void EnableDebugPrivilege();
