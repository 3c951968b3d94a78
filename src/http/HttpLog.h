// LOG_CONSOLE_FILE(level, format, ...): one statement that goes to the console logger and to
// the file logger, as the engine reports most of its events to both. Same contract as the
// forms of runtime/Logging.h: any thread, never throws, each argument evaluated once.
#pragma once

#include "runtime/Logging.h"

namespace logging_detail {

template <typename... Args>
void ConsoleAndFile(int level, int line, const wchar_t* file, const wchar_t* format,
                    Args... args) {
  ConsoleLogger::Instance().LogAt(level, line, file, format, args...);
  FileLogger::Instance().LogAt(level, line, file, format, args...);
}

}  // namespace logging_detail

#define LOG_CONSOLE_FILE(level, ...) \
  ::logging_detail::ConsoleAndFile((level), __LINE__, KELTO_LOG_SOURCE_FILE, __VA_ARGS__)
