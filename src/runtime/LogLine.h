// Composition of one diagnostic line: the part of logging that involves no platform call, so
// that its exact output is tested natively as well as under Windows.
//
// Contract: pure functions, callable from any thread; the caller (a logger, under its own
// lock) gathers the facts of the statement in a LogStamp and receives the finished line.
// Fields that cannot be formatted are left out; nothing throws for bad input.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <string>

// The configuration record attached to a logger; a logger without one writes nothing.
struct LoggerConfig {
  static constexpr uint32_t kTimeStamp = 0x2;
  static constexpr uint32_t kProcessId = 0x4;
  static constexpr uint32_t kThreadId = 0x8;

  uint32_t flags = 0;          // other bits are ignored
  bool appendNewline = false;  // end every line with "\r\n"
};

enum LogLevel { kLogInfo = 0, kLogWarn = 1, kLogError = 2 };

// What a statement knows about itself. Only the fields that the configuration's flags ask
// for are read.
struct LogStamp {
  int level = kLogInfo;
  bool hasLocalTime = false;     // the time of day was read; the field is left out if not
  std::tm localTime = {};        // read with kTimeStamp
  unsigned processId = 0;        // read with kProcessId
  unsigned threadId = 0;         // read with kThreadId
  const wchar_t* file = nullptr; // source location; null for statements without one
  int line = 0;
};

// "INFO", "WARN" or "ERRO"; null for any other level.
const wchar_t* LogLevelTag(int level);

// Appends to `line`, in this order and without separators: level tag, time stamp, process
// id, thread id, location, message, line end.
void ComposeLogLine(const LoggerConfig& config, const LogStamp& stamp, const wchar_t* format,
                    va_list args, std::wstring& line);
