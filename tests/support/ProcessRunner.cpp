#include "support/ProcessRunner.h"

#include <vector>

namespace testing_support {

namespace {

HANDLE Launch(const std::wstring& commandLine, const std::wstring& workingDir) {
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(0);
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi)) {
    return nullptr;
  }
  ::CloseHandle(pi.hThread);
  return pi.hProcess;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs,
                         const std::wstring& workingDir) {
  ProcessResult result;
  const DWORD start = ::GetTickCount();
  HANDLE process = Launch(commandLine, workingDir);
  if (!process) return result;
  result.started = true;
  if (::WaitForSingleObject(process, timeoutMs) == WAIT_TIMEOUT) {
    result.timedOut = true;
    ::TerminateProcess(process, 0xDEAD);
    ::WaitForSingleObject(process, 5000);
  }
  ::GetExitCodeProcess(process, &result.exitCode);
  result.elapsedMs = ::GetTickCount() - start;
  ::CloseHandle(process);
  return result;
}

RunningProcess::RunningProcess(const std::wstring& commandLine)
    : process_(Launch(commandLine, std::wstring())) {}

RunningProcess::~RunningProcess() {
  if (process_) {
    if (IsRunning()) Terminate();
    ::CloseHandle(process_);
  }
}

bool RunningProcess::IsRunning() const {
  return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool RunningProcess::Wait(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_) return false;
  if (::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) ::GetExitCodeProcess(process_, exitCode);
  return true;
}

void RunningProcess::Terminate() {
  if (process_) {
    ::TerminateProcess(process_, 0xDEAD);
    ::WaitForSingleObject(process_, 5000);
  }
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace testing_support
