#include "runtime/LogLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Compose(const wchar_t* file, const wchar_t* format, ...) {
  LogStamp stamp;
  stamp.file = file;
  stamp.line = 218;
  va_list args;
  va_start(args, format);
  std::wstring line;
  ComposeLogLine(LoggerConfig{}, stamp, format, args, line);
  va_end(args);
  return line;
}

// mingw's C99 printf reads %s as a narrow string: wide strings are written %ls everywhere.
TEST(LogLine, ArgumentsOfEveryKindTheInstallerUses) {
  EXPECT_EQ(Compose(nullptr, L"%ls|%s|%d|%u|%x|%lld", L"下载已完成 C:\\a.exe", "narrow", -7,
                    4000000000u, 0xbeefu, -9000000000LL),
            L"[INFO]下载已完成 C:\\a.exe|narrow|-7|4000000000|beef|-9000000000");
}

TEST(LogLine, MessageHasNoLimitWhileTheLocationIsCut) {
  const std::wstring message(100000, L'm');
  EXPECT_EQ(Compose(nullptr, L"%ls", message.c_str()), L"[INFO]" + message);
  const std::wstring path(3000, L'p');
  // "[" and 2046 characters of the path: 2047 in all; the line number does not fit.
  EXPECT_EQ(Compose(path.c_str(), L"tail"), L"[INFO][" + path.substr(0, 2046) + L"tail");
}

}  // namespace
