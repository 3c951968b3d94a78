#include "runtime/LogLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Compose(uint32_t flags, int level, const wchar_t* file, const wchar_t* format, ...) {
  LogStamp stamp;
  stamp.level = level;
  stamp.hasLocalTime = true;
  stamp.localTime.tm_year = 2017 - 1900;
  stamp.localTime.tm_mon = 2;
  stamp.localTime.tm_mday = 9;
  stamp.localTime.tm_hour = 14;
  stamp.localTime.tm_min = 5;
  stamp.localTime.tm_sec = 9;
  stamp.processId = 4120;
  stamp.threadId = 3312;
  stamp.file = file;
  stamp.line = 218;
  va_list args;
  va_start(args, format);
  std::wstring line;
  ComposeLogLine(LoggerConfig{flags & ~1u, (flags & 1u) != 0}, stamp, format, args, line);
  va_end(args);
  return line;
}

// Bit 0x1, which the configuration ignores, asks these lines for the line end.
constexpr uint32_t kNewline = 1;
constexpr uint32_t kAll = 0xFFFFFFFF;

TEST(LogLine, FieldsInOrder) {
  EXPECT_EQ(Compose(0, 0, nullptr, L"abc"), L"[INFO]abc");
  EXPECT_EQ(Compose(0, 1, nullptr, L"abc"), L"[WARN]abc");
  EXPECT_EQ(Compose(LoggerConfig::kThreadId, 5, nullptr, L"x"), L"[tid:3312]x");
  EXPECT_EQ(Compose(kAll, 2, L"src/updater/Updater.cpp", L"[UM] post message failed:%u", 1816u),
            L"[ERRO][2017-03-09 14:05:09][pid:4120][tid:3312][src/updater/Updater.cpp:218]"
            L"[UM] post message failed:1816\r\n");
  EXPECT_EQ(Compose(LoggerConfig::kProcessId, 0, L"a.cpp", L""), L"[INFO][pid:4120][a.cpp:218]");
  EXPECT_EQ(Compose(kNewline, 9, nullptr, L""), L"\r\n");
}

// mingw's C99 printf reads %s as a narrow string: wide strings are written %ls everywhere.
TEST(LogLine, ArgumentsOfEveryKindTheInstallerUses) {
  EXPECT_EQ(Compose(0, 0, nullptr, L"%ls|%s|%d|%u|%x|%lld", L"下载已完成 C:\\a.exe", "narrow", -7,
                    4000000000u, 0xbeefu, -9000000000LL),
            L"[INFO]下载已完成 C:\\a.exe|narrow|-7|4000000000|beef|-9000000000");
}

TEST(LogLine, MessageHasNoLimitWhileTheLocationIsCut) {
  const std::wstring message(100000, L'm');
  EXPECT_EQ(Compose(0, 0, nullptr, L"%ls", message.c_str()), L"[INFO]" + message);
  const std::wstring path(3000, L'p');
  // "[" and 2046 characters of the path: 2047 in all; the line number does not fit.
  EXPECT_EQ(Compose(0, 0, path.c_str(), L"tail"), L"[INFO][" + path.substr(0, 2046) + L"tail");
}

}  // namespace
