#include "support/ProcessRunner.h"

#include <vector>

#include "support/TestFiles.h"

namespace testing_support {

namespace {

// Starts the process and hands back its handle (null for a Unix program under Wine); with
// `output`, its standard output and error go there (that handle alone is inherited).
bool Launch(const std::wstring& commandLine, const std::wstring& workingDir, HANDLE* process,
            HANDLE output = nullptr) {
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  if (output) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = output;
    si.hStdError = output;
  }
  PROCESS_INFORMATION pi = {};
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(0);
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi)) {
    return false;
  }
  ::CloseHandle(pi.hThread);
  *process = pi.hProcess;
  return true;
}

// Waits for the process (ending it at the limit), fills in the result and closes it.
void Finish(HANDLE process, DWORD timeoutMs, ProcessResult& result) {
  if (::WaitForSingleObject(process, timeoutMs) == WAIT_TIMEOUT) {
    result.timedOut = true;
    ::TerminateProcess(process, 0xDEAD);
    ::WaitForSingleObject(process, 5000);
  }
  ::GetExitCodeProcess(process, &result.exitCode);
  ::CloseHandle(process);
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs,
                         const std::wstring& workingDir) {
  ProcessResult result;
  HANDLE process = nullptr;
  result.started = Launch(commandLine, workingDir, &process);
  if (result.started) Finish(process, timeoutMs, result);
  return result;
}

ProcessResult RunProcessWithOutput(const std::wstring& commandLine, DWORD timeoutMs) {
  ProcessResult result;
  TempFolder folder(L"output");
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE output = ::CreateFileW((folder / L"output").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE process = nullptr;
  result.started =
      output != INVALID_HANDLE_VALUE && Launch(commandLine, std::wstring(), &process, output);
  if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
  if (result.started) Finish(process, timeoutMs, result);
  result.output = ReadBinaryFile(folder / L"output");
  return result;
}

bool StartDetached(const std::wstring& commandLine) {
  HANDLE process = nullptr;
  const bool started = Launch(commandLine, std::wstring(), &process);
  if (process) ::CloseHandle(process);
  return started;
}

RunningProcess::RunningProcess(const std::wstring& commandLine) {
  Launch(commandLine, std::wstring(), &process_);
}

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
