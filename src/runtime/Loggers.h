// The three process-wide loggers. They share BaseLogger's line composition and differ only in
// where a finished line goes: TraceLogger to the debugger's output channel, FileLogger to a
// UTF-16 log file, ConsoleLogger to the process console.
//
// Contract: each is reached through Instance() (CSingleton) from any thread. All three start
// disabled. A support build turns one on: TraceLogger with Attach, FileLogger with Open (a
// file), ConsoleLogger with Open (the console of the process, or of the parent that started
// it). Open reports whether the sink is ready; errors while writing are ignored.
#pragma once

#include <cstdio>
#include <string>

#include "runtime/BaseLogger.h"
#include "runtime/Singleton.h"

class TraceLogger : public BaseLogger, public CSingleton<TraceLogger> {
 public:
  bool IsEnabled() override;

 protected:
  void Output(const std::wstring& line) override;

 private:
  friend class CSingleton<TraceLogger>;
  TraceLogger() = default;
  ~TraceLogger() override = default;
};

class FileLogger : public BaseLogger, public CSingleton<FileLogger> {
 public:
  bool IsEnabled() override;

  // Opens `path` for appending (created when missing; a new file starts with the UTF-16
  // byte-order mark) and attaches `config`. Any file opened before is closed first. Returns
  // false, leaving the logger disabled, when the file cannot be opened.
  bool Open(const std::wstring& path, const LoggerConfig& config);
  // Closes the file; the logger writes nothing until the next Open.
  void Close();

 protected:
  // Writes the line's UTF-16 code units as they are (no terminator) and flushes, so a line
  // reaches the disk even if the process dies right after it.
  void Output(const std::wstring& line) override;

 private:
  friend class CSingleton<FileLogger>;
  FileLogger() = default;
  ~FileLogger() override;

  std::FILE* stream_ = nullptr;
};

class ConsoleLogger : public BaseLogger, public CSingleton<ConsoleLogger> {
 public:
  bool IsEnabled() override;

  // Makes the console ready: the process's standard output when it is a console, otherwise
  // the console of the parent process, attached to. Attaches `config` and returns true when a
  // console is ready; returns false (the logger stays disabled) otherwise.
  bool Open(const LoggerConfig& config);

 protected:
  void Output(const std::wstring& line) override;

 private:
  friend class CSingleton<ConsoleLogger>;
  ConsoleLogger() = default;
  ~ConsoleLogger() override = default;

  bool consoleReady_ = false;
};
