// Test helper: starts real Windows processes (and, under Wine, Unix programs) and waits for
// them.
//
// Contract: called from a test's thread; closes every handle it opens before returning, or
// in the destructor of RunningProcess. Failures come back in the result, never as
// exceptions.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

struct ProcessResult {
  bool started = false;
  bool timedOut = false;
  DWORD exitCode = 0;
  std::string output;  // RunProcessWithOutput only
};

// Runs `commandLine` (application path first, quoted as needed) and waits up to `timeoutMs`;
// a process still running then is terminated and reported as timed out.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs,
                         const std::wstring& workingDir = std::wstring());

// Like RunProcess, with the process's standard output and error collected, as bytes, in
// `output` (they go to a file, where a console program's output is fully buffered unless it
// flushes).
ProcessResult RunProcessWithOutput(const std::wstring& commandLine, DWORD timeoutMs);

// Starts `commandLine` and leaves it to run on its own; false when it cannot start. Wine's
// handle of a Unix program does not reliably signal its end, so callers await what it does.
bool StartDetached(const std::wstring& commandLine);

class RunningProcess {
 public:
  explicit RunningProcess(const std::wstring& commandLine);
  ~RunningProcess();
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return process_ ? ::GetProcessId(process_) : 0; }
  bool IsRunning() const;
  // Waits up to timeoutMs; false when still running.
  bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
  void Terminate();

 private:
  HANDLE process_ = nullptr;
};

// "<path>" with quotes, for building command lines.
std::wstring Quoted(const std::wstring& path);

}  // namespace testing_support
