#include "runtime/LogLine.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/WideFormat.h"

namespace {

std::wstring Compose(const LoggerConfig& config, const LogStamp& stamp, const wchar_t* format,
                     ...) {
  va_list args;
  va_start(args, format);
  std::wstring line;
  ComposeLogLine(config, stamp, format, args, line);
  va_end(args);
  return line;
}

LoggerConfig Config(uint32_t flags, bool newline = false) {
  LoggerConfig c;
  c.flags = flags;
  c.appendNewline = newline;
  return c;
}

LogStamp Stamp(int level) {
  LogStamp s;
  s.level = level;
  s.hasLocalTime = true;
  s.localTime.tm_year = 2017 - 1900;
  s.localTime.tm_mon = 2;
  s.localTime.tm_mday = 9;
  s.localTime.tm_hour = 14;
  s.localTime.tm_min = 5;
  s.localTime.tm_sec = 9;
  s.processId = 4120;
  s.threadId = 3312;
  return s;
}

constexpr uint32_t kAllFlags =
    LoggerConfig::kTimeStamp | LoggerConfig::kProcessId | LoggerConfig::kThreadId;

TEST(LogLine, LevelTagThenMessage) {
  EXPECT_EQ(Compose(Config(0), Stamp(0), L"abc"), L"[INFO]abc");
  EXPECT_EQ(Compose(Config(0), Stamp(1), L"abc"), L"[WARN]abc");
  EXPECT_EQ(Compose(Config(0), Stamp(2), L"abc"), L"[ERRO]abc");
  // Any other level has no tag; the line goes on with the next field.
  EXPECT_EQ(Compose(Config(0), Stamp(5), L"abc"), L"abc");
  EXPECT_EQ(Compose(Config(0), Stamp(-1), L"abc"), L"abc");
  EXPECT_EQ(Compose(Config(LoggerConfig::kThreadId), Stamp(5), L"x"), L"[tid:3312]x");
}

TEST(LogLine, AllFieldsInOrderWithLocationAndLineEnd) {
  LogStamp s = Stamp(2);
  s.file = L"src/updater/Updater.cpp";
  s.line = 218;
  EXPECT_EQ(Compose(Config(kAllFlags, true), s, L"[UM] post message failed:%u", 1816u),
            L"[ERRO][2017-03-09 14:05:09][pid:4120][tid:3312][src/updater/Updater.cpp:218]"
            L"[UM] post message failed:1816\r\n");
  // Each flag adds only its own field; unknown bits add nothing.
  EXPECT_EQ(Compose(Config(LoggerConfig::kTimeStamp), Stamp(0), L"m"),
            L"[INFO][2017-03-09 14:05:09]m");
  EXPECT_EQ(Compose(Config(LoggerConfig::kProcessId), Stamp(0), L"m"), L"[INFO][pid:4120]m");
  EXPECT_EQ(Compose(Config(0xFFFFFFF1u & ~kAllFlags), Stamp(0), L"m"), L"[INFO]m");
  // A time of day that could not be read leaves its field out.
  LogStamp noTime = Stamp(0);
  noTime.hasLocalTime = false;
  EXPECT_EQ(Compose(Config(kAllFlags), noTime, L"m"), L"[INFO][pid:4120][tid:3312]m");
}

TEST(LogLine, ArgumentsOfEveryKindTheInstallerUses) {
  EXPECT_EQ(Compose(Config(0), Stamp(0), L"%ls|%d|%u|%x|%lld", L"下载已完成 C:\\a.exe", -7, 4000000000u,
                    0xbeefu, -9000000000LL),
            L"[INFO]下载已完成 C:\\a.exe|-7|4000000000|beef|-9000000000");
}

TEST(LogLine, EmptyMessageKeepsTheBracketedFields) {
  LogStamp s = Stamp(0);
  s.file = L"a.cpp";
  s.line = 1;
  EXPECT_EQ(Compose(Config(0), s, L""), L"[INFO][a.cpp:1]");
  EXPECT_EQ(Compose(Config(0, true), s, L""), L"[INFO][a.cpp:1]\r\n");
  EXPECT_EQ(Compose(Config(0, true), Stamp(9), L""), L"\r\n");
}

TEST(LogLine, LongMessageIsWholeWhileTheLocationIsCut) {
  const std::wstring message(10000, L'm');
  EXPECT_EQ(Compose(Config(0), Stamp(0), L"%ls", message.c_str()), L"[INFO]" + message);

  const std::wstring path(3000, L'p');
  LogStamp s = Stamp(0);
  s.file = path.c_str();
  s.line = 42;
  const std::wstring line = Compose(Config(0), s, L"tail");
  // "[" and 2046 characters of the path: 2047 in all; the line number does not fit.
  EXPECT_EQ(line, L"[INFO][" + path.substr(0, 2046) + L"tail");
}

TEST(LogLine, UnformattableMessageLeavesTheOtherFields) {
  // A narrow argument that is not valid multibyte text cannot be converted.
  const char invalid[] = {'\xff', '\xfe', 0};
  const std::wstring line = Compose(Config(0, true), Stamp(1), L"%s", invalid);
#if defined(_WIN32)
  // The Windows C library maps every byte of the "C" locale to a character.
  EXPECT_EQ(line, L"[WARN]\xff\xfe\r\n");
#else
  EXPECT_EQ(line, L"[WARN]\r\n");
#endif
}

TEST(WideFormat, MeasureBoundAndAppend) {
  EXPECT_EQ(wide_format::Format(L"%ls-%d-%lld", L"abc", 5, 1234567890123LL),
            L"abc-5-1234567890123");
  EXPECT_EQ(wide_format::Format(L"%s", "narrow"), L"narrow");

  wchar_t buffer[8];
  EXPECT_EQ(wide_format::FormatBounded(buffer, 8, L"%ls", L"0123456789"), 7);
  EXPECT_EQ(std::wstring(buffer), L"0123456");
  EXPECT_EQ(wide_format::FormatBounded(buffer, 8, L"%d", 42), 2);
  EXPECT_EQ(std::wstring(buffer), L"42");

  const std::wstring big(70000, L'z');
  EXPECT_EQ(wide_format::Format(L"<%ls>", big.c_str()), L"<" + big + L">");
}

}  // namespace
