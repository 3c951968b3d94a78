#include "platform/CommonUtils.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "runtime/Logging.h"
#include "runtime/MD5.h"
#include "runtime/Win32Handles.h"

namespace {

struct FindHandleTraits {
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};
using ScopedFind = win::ScopedHandleT<HANDLE, FindHandleTraits>;

bool PathExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// CreateProcessW with the installer's fixed settings: no inheritance, no flags, this
// process's environment and directory, default start-up information.
DWORD Launch(const std::wstring& program, const std::wstring& commandLine,
             PROCESS_INFORMATION& info) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  info = PROCESS_INFORMATION{};
  // CreateProcessW may write into the command line, so it gets a copy.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  if (!::CreateProcessW(program.empty() ? nullptr : program.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    const DWORD error = ::GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
  }
  return 0;
}

// Walks a snapshot of every process; `visit` returns false to stop. False when the
// snapshot cannot be taken.
template <typename Visit>
bool ForEachProcess(Visit visit) {
  win::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (!visit(entry)) break;
  }
  return true;
}

}  // namespace

std::wstring ModuleDir() {
  static std::mutex lock;
  static std::wstring cached;
  std::lock_guard<std::mutex> guard(lock);
  if (!cached.empty()) return cached;

  // A path that fills the buffer may have been cut short: grow until it fits.
  std::vector<wchar_t> buffer(512);
  DWORD length = 0;
  for (;;) {
    length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) break;
    if (buffer.size() >= 32768) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
  const std::wstring path(buffer.data(), length);
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return std::wstring();
  cached = path.substr(0, slash);
  return cached;
}

bool DirExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::wstring& folder) {
  if (DirExists(folder)) return true;
  const int ret = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  if (ret == ERROR_SUCCESS) return true;
  LOG_TRACE(2, 2, L"CreateDir：%ls ret：%d", folder.c_str(), ret);
  return false;
}

bool CreateEmptyFile(const std::wstring& path) {
  CreateDir(ParentDir(path));
  win::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid();
}

bool DeleteFileWithRetry(const std::wstring& path, int extraAttempts) {
  if (!PathExists(path)) return true;
  const int attempts = 1 + (extraAttempts > 0 ? extraAttempts : 0);
  // A file that vanished while we tried is gone all the same.
  return RetryWithBackoff(attempts, [&] {
    return ::DeleteFileW(path.c_str()) != FALSE || !PathExists(path);
  });
}

std::int64_t FileSize(const std::wstring& path) {
  // The download writer may hold the file open for writing: share everything.
  win::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) {
    LARGE_INTEGER zero = {}, end = {};
    if (::SetFilePointerEx(file.get(), zero, &end, FILE_END)) return end.QuadPart;
  }
  // A wildcard would let the directory lookup answer for some other file.
  if (path.find_first_of(L"*?") != std::wstring::npos) return -1;
  WIN32_FIND_DATAW data = {};
  ScopedFind found(::FindFirstFileW(path.c_str(), &data));
  if (!found) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring FileDigest(const std::wstring& path) {
  std::FILE* file = ::_wfopen(path.c_str(), L"rb");
  if (!file) return std::wstring();
  MD5 digest(file);  // reads, closes and finalizes
  if (digest.readFailed()) return std::wstring();
  const std::string hex = digest.hex_digest();
  return std::wstring(hex.begin(), hex.end());
}

bool DeleteTree(const std::wstring& folder) {
  if (!IsDeletableTree(folder)) return false;
  const std::wstring root = TrimTrailingSeparators(folder) + L"\\";
  if (!PathExists(root)) return true;

  // 1. Walk the tree without recursion (its depth is the file system's to choose), deleting
  //    files as they come. A link to a folder is removed as a link and never entered, or
  //    the walk would delete whatever it points to, outside this tree.
  std::vector<std::wstring> pending{root};
  std::vector<std::wstring> visited;
  while (!pending.empty()) {
    const std::wstring dir = std::move(pending.back());
    pending.pop_back();
    visited.push_back(dir);
    WIN32_FIND_DATAW data = {};
    ScopedFind found(::FindFirstFileW((dir + L"*.*").c_str(), &data));
    if (!found) continue;
    do {
      if (IsDotEntry(data.cFileName)) continue;
      const std::wstring path = dir + data.cFileName;
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(path.c_str());
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        ::RemoveDirectoryW(path.c_str());
      } else {
        pending.push_back(path + L"\\");
      }
    } while (::FindNextFileW(found.get(), &data));
  }

  // 2. Remove the folders deepest first; every folder was visited after its parent.
  for (std::size_t i = visited.size(); i-- > 1;) ::RemoveDirectoryW(visited[i].c_str());
  return ::RemoveDirectoryW(root.c_str()) != FALSE;
}

bool MoveFileWithRetry(const std::wstring& source, const std::wstring& target) {
  if (!PathExists(source)) return false;
  return RetryWithBackoff(4, [&] {
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  });
}

DWORD StartProcess(const std::wstring& program, const std::wstring& commandLine,
                   PROCESS_INFORMATION* info) {
  PROCESS_INFORMATION started;
  const DWORD error = Launch(program, commandLine, started);
  if (error != 0) return error;
  ::CloseHandle(started.hProcess);
  ::CloseHandle(started.hThread);
  if (info) *info = started;
  return 0;
}

DWORD RunAndWait(const std::wstring& program, const std::wstring& commandLine,
                 const std::function<void()>& started, DWORD checkMs,
                 const std::function<bool(HANDLE process)>& keepWaiting) {
  PROCESS_INFORMATION info;
  const DWORD error = Launch(program, commandLine, info);
  if (error != 0) return error;
  win::ScopedHandle process(info.hProcess);
  win::ScopedHandle thread(info.hThread);
  if (started) started();
  while (::WaitForSingleObject(process.get(), checkMs) == WAIT_TIMEOUT) {
    if (keepWaiting(process.get())) continue;
    ::TerminateProcess(process.get(), ERROR_TIMEOUT);
    ::WaitForSingleObject(process.get(), kTerminateWaitMs);
    return ERROR_TIMEOUT;
  }
  return 0;
}

int KillProcessesByName(const std::wstring& name) {
  // No program is named "": a process still starting up has no name yet and must not be
  // taken for one.
  if (name.empty()) return 0;
  const DWORD self = ::GetCurrentProcessId();
  int count = 0;
  ForEachProcess([&](const PROCESSENTRY32W& entry) {
    if (entry.th32ProcessID == self || name != entry.szExeFile) return true;
    ++count;
    win::ScopedHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
    if (process) ::TerminateProcess(process.get(), 0);
    return true;
  });
  return count;
}

DWORD FindProcessInFolder(const std::wstring& folder) {
  if (TrimTrailingSeparators(folder).empty()) return 0;
  win::ScopedModule psapi(::LoadLibraryW(L"Psapi.dll"));
  if (!psapi) return 0;
  using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  const auto getPath = reinterpret_cast<GetModuleFileNameExFn>(
      reinterpret_cast<void*>(::GetProcAddress(psapi.get(), "GetModuleFileNameExW")));
  if (!getPath) return 0;

  const DWORD self = ::GetCurrentProcessId();
  DWORD match = 0;
  ForEachProcess([&](const PROCESSENTRY32W& entry) {
    if (entry.th32ProcessID == self) return true;
    win::ScopedHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                            entry.th32ProcessID));
    if (!process) return true;
    wchar_t path[1024];
    const DWORD length = getPath(process.get(), nullptr, path, 1024);
    // A path that filled the buffer may be cut short; its folder cannot be judged.
    if (length == 0 || length >= 1024) return true;
    if (!IsPathInFolder(std::wstring(path, length), folder)) return true;
    match = entry.th32ProcessID;
    return false;
  });
  return match;
}

void EnableDebugPrivilege() {
  HANDLE rawToken = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          &rawToken)) {
    return;
  }
  win::ScopedHandle token(rawToken);
  TOKEN_PRIVILEGES privileges = {};
  if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
    return;
  }
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
}
