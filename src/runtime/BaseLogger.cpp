#include "runtime/BaseLogger.h"

#include <windows.h>

#include <ctime>

BaseLogger::BaseLogger() = default;

BaseLogger::~BaseLogger() = default;

void BaseLogger::Log(int level, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Write(level, 0, nullptr, format, args);
  va_end(args);
}

void BaseLogger::LogAt(int level, int line, const wchar_t* file, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  // A statement always has a location; an empty one still yields the bracketed field.
  Write(level, line, file ? file : L"", format, args);
  va_end(args);
}

void BaseLogger::Attach(const LoggerConfig& config) {
  CAutoLock hold(lock_);
  config_ = std::make_unique<LoggerConfig>(config);
}

void BaseLogger::Detach() {
  CAutoLock hold(lock_);
  config_.reset();
}

void BaseLogger::Write(int level, int line, const wchar_t* file, const wchar_t* format,
                       va_list args) {
  CAutoLock hold(lock_);
  if (!IsEnabled()) return;

  LogStamp stamp;
  stamp.level = level;
  stamp.file = file;
  stamp.line = line;
  if (config_->flags & LoggerConfig::kTimeStamp) {
    const __time64_t now = ::_time64(nullptr);
    stamp.hasLocalTime = ::_localtime64_s(&stamp.localTime, &now) == 0;
  }
  if (config_->flags & LoggerConfig::kProcessId) stamp.processId = ::GetCurrentProcessId();
  if (config_->flags & LoggerConfig::kThreadId) stamp.threadId = ::GetCurrentThreadId();

  std::wstring text;
  ComposeLogLine(*config_, stamp, format, args, text);
  Output(text);
}
