#include "runtime/Logging.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"

namespace {

class FileLoggerTest : public testing::Test {
 protected:
  void TearDown() override {
    FileLogger::Instance().Close();
    TraceLogger::Instance().Detach();
  }

  // The log's text after the byte-order mark, which must be there.
  std::wstring Text(const std::wstring& name) const {
    const std::wstring text = testing_support::ReadWideFile(folder_ / name);
    return text.compare(0, 1, L"\xFEFF") == 0 ? text.substr(1) : L"<no byte-order mark>";
  }

  testing_support::TempFolder folder_;
};

TEST_F(FileLoggerTest, ReopeningAppendsWithoutASecondByteOrderMark) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"again.log", LoggerConfig{0, true}));
  FileLogger::Instance().Log(0, L"one");
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"again.log", LoggerConfig{0, false}));
  FileLogger::Instance().Log(1, L"two");
  // A file that cannot be opened leaves the logger off.
  EXPECT_FALSE(FileLogger::Instance().Open(folder_ / L"no\\such\\x.log", LoggerConfig{}));
  FileLogger::Instance().Log(2, L"lost");
  EXPECT_EQ(Text(L"again.log"), L"[INFO]one\r\n[WARN]two");
}

TEST_F(FileLoggerTest, TraceStatementEvaluatesItsArgumentsOnce) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"trace.log", LoggerConfig{0, true}));
  TraceLogger::Instance().Attach(LoggerConfig{});
  int counter = 0;
  LOG_TRACE(2, 0, L"n=%d", ++counter);
  EXPECT_EQ(counter, 1);
  EXPECT_NE(Text(L"trace.log").find(L"]n=1\r\n"), std::wstring::npos);
}

}  // namespace
