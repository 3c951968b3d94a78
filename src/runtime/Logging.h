// The diagnostic statement forms of the installer:
//   LOG_TRACE(traceLevel, fileLevel, format, ...)  the trace logger, then the file logger
//   LOG_CONSOLE(level, format, ...)                the console logger
//   LOG_FILE(level, format, ...)                   the file logger
// Levels: 0 information, 1 warning, 2 error. The format is a wide printf format ("%ls" for
// wide strings, "%lld" for 64-bit integers). LOG_CONSOLE and LOG_FILE, and the file half of
// LOG_TRACE, add the statement's source file and line to the line.
//
// Contract: usable from any thread; a statement never throws and never reports an error.
// Each argument is evaluated exactly once, also in LOG_TRACE, which hands the same values to
// both loggers. Arguments must be plain values (numbers, pointers, C strings): pass
// std::wstring as .c_str().
#pragma once

#include "runtime/Loggers.h"

namespace logging_detail {

template <typename... Args>
void TraceAndFile(int traceLevel, int fileLevel, int line, const wchar_t* file,
                  const wchar_t* format, Args... args) {
  TraceLogger::Instance().Log(traceLevel, format, args...);
  FileLogger::Instance().LogAt(fileLevel, line, file, format, args...);
}

}  // namespace logging_detail

#define KELTO_LOG_SOURCE_FILE (L"" __FILE__)

#define LOG_TRACE(traceLevel, fileLevel, ...)                                                  \
  ::logging_detail::TraceAndFile((traceLevel), (fileLevel), __LINE__, KELTO_LOG_SOURCE_FILE, \
                                 __VA_ARGS__)
#define LOG_CONSOLE(level, ...) \
  ::ConsoleLogger::Instance().LogAt((level), __LINE__, KELTO_LOG_SOURCE_FILE, __VA_ARGS__)
#define LOG_FILE(level, ...) \
  ::FileLogger::Instance().LogAt((level), __LINE__, KELTO_LOG_SOURCE_FILE, __VA_ARGS__)
