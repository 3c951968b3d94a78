#include "runtime/LogLine.h"

#include <cwchar>

#include "runtime/WideFormat.h"

namespace {

// Each bracketed field is formatted in a fixed buffer on the stack, so a line costs no heap
// allocation beyond the line itself.
constexpr size_t kFieldBuffer = 64;
constexpr size_t kTimeBuffer = 32;
constexpr size_t kLocationBuffer = 2048;

void AppendField(std::wstring& line, wchar_t* buffer, size_t size, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = wide_format::FormatBoundedV(buffer, size, format, args);
  va_end(args);
  if (n > 0) line.append(buffer, static_cast<size_t>(n));
}

}  // namespace

const wchar_t* LogLevelTag(int level) {
  switch (level) {
    case kLogInfo: return L"INFO";
    case kLogWarn: return L"WARN";
    case kLogError: return L"ERRO";
    default: return nullptr;
  }
}

void ComposeLogLine(const LoggerConfig& config, const LogStamp& stamp, const wchar_t* format,
                    va_list args, std::wstring& line) {
  wchar_t field[kFieldBuffer];
  if (const wchar_t* tag = LogLevelTag(stamp.level)) {
    AppendField(line, field, kFieldBuffer, L"[%4ls]", tag);
  }
  if ((config.flags & LoggerConfig::kTimeStamp) && stamp.hasLocalTime) {
    wchar_t time[kTimeBuffer];
    const size_t n = std::wcsftime(time, kTimeBuffer, L"[%Y-%m-%d %H:%M:%S]", &stamp.localTime);
    if (n > 0) line.append(time, n);
  }
  if (config.flags & LoggerConfig::kProcessId) {
    AppendField(line, field, kFieldBuffer, L"[pid:%u]", stamp.processId);
  }
  if (config.flags & LoggerConfig::kThreadId) {
    AppendField(line, field, kFieldBuffer, L"[tid:%u]", stamp.threadId);
  }
  if (stamp.file) {
    wchar_t location[kLocationBuffer];
    AppendField(line, location, kLocationBuffer, L"[%ls:%d]", stamp.file, stamp.line);
  }
  // The message has no length limit: it is measured first and formatted straight into the
  // line.
  if (format) wide_format::AppendV(line, format, args);
  if (config.appendNewline) line.append(L"\r\n");
}
