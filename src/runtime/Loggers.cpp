#include "runtime/Loggers.h"

#include <windows.h>

// ---- TraceLogger

bool TraceLogger::IsEnabled() { return HasConfig(); }

void TraceLogger::Output(const std::wstring& line) {
  if (!IsEnabled()) return;
  ::OutputDebugStringW(line.c_str());
}

// ---- FileLogger

FileLogger::~FileLogger() {
  if (stream_) std::fclose(stream_);
}

bool FileLogger::IsEnabled() { return HasConfig() && stream_ != nullptr; }

bool FileLogger::Open(const std::wstring& path, const LoggerConfig& config) {
  CAutoLock hold(lock());
  Close();
  std::FILE* stream = ::_wfopen(path.c_str(), L"ab");
  if (!stream) {
    Detach();
    return false;
  }
  // A file that already holds lines goes on without a second byte-order mark.
  if (std::fseek(stream, 0, SEEK_END) == 0 && std::ftell(stream) == 0) {
    static const unsigned char kByteOrderMark[] = {0xFF, 0xFE};
    std::fwrite(kByteOrderMark, 1, sizeof kByteOrderMark, stream);
    std::fflush(stream);
  }
  stream_ = stream;
  Attach(config);
  return true;
}

void FileLogger::Close() {
  CAutoLock hold(lock());
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
}

void FileLogger::Output(const std::wstring& line) {
  if (!IsEnabled()) return;
  static_assert(sizeof(wchar_t) == 2, "the log file holds UTF-16 code units");
  std::fwrite(line.data(), sizeof(wchar_t), line.size(), stream_);
  std::fflush(stream_);
}

// ---- ConsoleLogger

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// A GUI program has no console of its own; when started from a command prompt it can write to
// the prompt's console after attaching to it.
bool PrepareConsole() {
  if (IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE))) return true;
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  // The handle becomes the process's standard output and stays open for the process's life.
  HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) {
    ::FreeConsole();
    return false;
  }
  ::SetStdHandle(STD_OUTPUT_HANDLE, console);
  return true;
}

}  // namespace

bool ConsoleLogger::IsEnabled() { return HasConfig() && consoleReady_; }

bool ConsoleLogger::Open(const LoggerConfig& config) {
  CAutoLock hold(lock());
  consoleReady_ = consoleReady_ || PrepareConsole();
  if (consoleReady_) Attach(config);
  return consoleReady_;
}

void ConsoleLogger::Output(const std::wstring& line) {
  if (!IsEnabled()) return;
  DWORD written = 0;
  ::WriteConsoleW(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(),
                  static_cast<DWORD>(line.size()), &written, nullptr);
}
