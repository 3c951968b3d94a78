// BaseLogger: the common part of the process-wide loggers (TraceLogger, FileLogger,
// ConsoleLogger): composition of a line and its hand-over to the logger's sink.
//
// Contract: Log and LogAt may be called from any thread. Each logger serialises the
// composition and output of a line under its own critical section, so lines of one logger
// never interleave; Output runs inside that lock. A logger writes only while a configuration
// is attached (Attach, or a derived class's Open) and its sink is ready; otherwise a
// statement costs one lock entry and one enable test and allocates nothing. The logger owns
// its configuration record. Write errors of the sinks are ignored; nothing is reported to the
// caller and nothing throws.
#pragma once

#include <memory>
#include <string>

#include "runtime/CriticalSection.h"
#include "runtime/LogLine.h"

class BaseLogger {
 public:
  virtual ~BaseLogger();

  // `format` is a wide printf format followed by its arguments ("%ls" for wide strings).
  virtual void Log(int level, const wchar_t* format, ...);
  // As Log, with the statement's source location in the line.
  virtual void LogAt(int level, int line, const wchar_t* file, const wchar_t* format, ...);

  // Whether a statement would write at all.
  virtual bool IsEnabled() = 0;

  // Attaches a copy of `config`, replacing any earlier one; Detach removes it, which turns
  // the logger off.
  void Attach(const LoggerConfig& config);
  void Detach();

  BaseLogger(const BaseLogger&) = delete;
  BaseLogger& operator=(const BaseLogger&) = delete;

 protected:
  BaseLogger();

  // Hands one finished line to the sink; called under the lock.
  virtual void Output(const std::wstring& line) = 0;

  bool HasConfig() const { return config_ != nullptr; }
  CCriticalSection& lock() { return lock_; }

 private:
  void Write(int level, int line, const wchar_t* file, const wchar_t* format, va_list args);

  std::unique_ptr<LoggerConfig> config_;
  CCriticalSection lock_;
};
