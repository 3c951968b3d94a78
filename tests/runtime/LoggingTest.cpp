#include "runtime/Logging.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

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

// Lines of threads logging at once never interleave, and each thread's keep their order.
TEST_F(FileLoggerTest, ConcurrentLinesStayWhole) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"threads.log", LoggerConfig{0x8, true}));
  const auto worker = [](wchar_t letter) {
    const std::wstring body(800, letter);
    for (int i = 0; i < 300; ++i) FileLogger::Instance().Log(0, L"%ls#%d", body.c_str(), i);
  };
  std::thread a(worker, L'a');
  std::thread b(worker, L'b');
  a.join();
  b.join();
  const std::wstring text = Text(L"threads.log");
  int next[2] = {0, 0};
  for (size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
    const std::wstring line = text.substr(at, end - at);
    const size_t hash = line.rfind(L'#');
    const wchar_t letter = hash == std::wstring::npos || hash == 0 ? 0 : line[hash - 1];
    ASSERT_TRUE(letter == L'a' || letter == L'b') << "torn line of " << line.size();
    const int n = next[letter - L'a']++;
    EXPECT_EQ(line.substr(line.find(L']', 6) + 1),
              std::wstring(800, letter) + L"#" + std::to_wstring(n));
  }
  EXPECT_EQ(next[0] + next[1], 600);
}

}  // namespace
