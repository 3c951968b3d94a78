#include "runtime/Logging.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/AllocationCounter.h"
#include "support/TestFiles.h"

namespace {

using testing_support::AllocationsOnThisThread;
using testing_support::TempFolder;

// The file's text after its byte-order mark, which must be there.
std::wstring FileText(const TempFolder& folder, const std::wstring& name) {
  const std::wstring text = testing_support::ReadWideFile(folder / name);
  if (text.empty() || text[0] != 0xFEFF) return L"<no BOM>";
  return text.substr(1);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

class FileLoggerTest : public testing::Test {
 protected:
  void TearDown() override {
    FileLogger::Instance().Close();
    FileLogger::Instance().Detach();
    TraceLogger::Instance().Detach();
  }
  TempFolder folder_;
};

TEST_F(FileLoggerTest, LoggersStartDisabled) {
  EXPECT_FALSE(TraceLogger::Instance().IsEnabled());
  EXPECT_FALSE(FileLogger::Instance().IsEnabled());
  EXPECT_FALSE(ConsoleLogger::Instance().IsEnabled());
}

TEST_F(FileLoggerTest, StatementsWriteExactLinesWithTheirLocation) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"support.log", LoggerConfig{0, true}));
  EXPECT_TRUE(FileLogger::Instance().IsEnabled());
  const int first = __LINE__ + 1;
  LOG_FILE(2, L"[DownloadWriteFile]打开错误 %d:%d", 1, 5);
  LOG_CONSOLE(2, L"console only");  // the console logger stays disabled
  LOG_FILE(0, L"%ls文件大小(%lld)大于预期(%lld)大小  ", L"D:\\包.exe", 5000000000LL, 7LL);

  const std::wstring file = KELTO_LOG_SOURCE_FILE;
  EXPECT_EQ(file, L"tests/runtime/LoggingTest.cpp");
  const std::wstring expected =
      L"[ERRO][" + file + L":" + std::to_wstring(first) + L"][DownloadWriteFile]打开错误 1:5\r\n" +
      L"[INFO][" + file + L":" + std::to_wstring(first + 2) +
      L"]D:\\包.exe文件大小(5000000000)大于预期(7)大小  \r\n";
  EXPECT_EQ(FileText(folder_, L"support.log"), expected);
}

TEST_F(FileLoggerTest, ReopeningAppendsWithoutASecondByteOrderMark) {
  const std::wstring path = folder_ / L"again.log";
  ASSERT_TRUE(FileLogger::Instance().Open(path, LoggerConfig{0, true}));
  FileLogger::Instance().Log(0, L"one");
  ASSERT_TRUE(FileLogger::Instance().Open(path, LoggerConfig{0, false}));
  FileLogger::Instance().Log(1, L"two");
  FileLogger::Instance().Close();
  FileLogger::Instance().Log(2, L"closed");
  EXPECT_FALSE(FileLogger::Instance().IsEnabled());
  EXPECT_EQ(FileText(folder_, L"again.log"), L"[INFO]one\r\n[WARN]two");
}

TEST_F(FileLoggerTest, FileThatCannotBeOpenedLeavesTheLoggerDisabled) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"first.log", LoggerConfig{}));
  EXPECT_FALSE(FileLogger::Instance().Open(folder_ / L"missing\\dir\\x.log", LoggerConfig{}));
  EXPECT_FALSE(FileLogger::Instance().IsEnabled());
  FileLogger::Instance().Log(0, L"lost");
  EXPECT_EQ(FileText(folder_, L"first.log"), L"");
}

TEST_F(FileLoggerTest, TraceStatementEvaluatesItsArgumentsOnceAndUsesTheFileLevel) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"trace.log", LoggerConfig{0, true}));
  TraceLogger::Instance().Attach(LoggerConfig{});
  EXPECT_TRUE(TraceLogger::Instance().IsEnabled());
  int counter = 0;
  const int line = __LINE__ + 1;
  LOG_TRACE(2, 0, L"下载已完成 %ls pos:%lld n=%d", L"a.exe", 12LL, ++counter);
  EXPECT_EQ(counter, 1);
  EXPECT_EQ(FileText(folder_, L"trace.log"),
            L"[INFO][tests/runtime/LoggingTest.cpp:" + std::to_wstring(line) +
                L"]下载已完成 a.exe pos:12 n=1\r\n");
}

TEST_F(FileLoggerTest, RealTimeProcessAndThreadFields) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"ids.log", LoggerConfig{0xE, false}));
  FileLogger::Instance().Log(2, L"x");
  const std::wstring text = FileText(folder_, L"ids.log");
  std::wstringstream expected;
  expected << L"\\[ERRO\\]\\[20[0-9]{2}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\]"
           << L"\\[pid:" << ::GetCurrentProcessId() << L"\\]\\[tid:" << ::GetCurrentThreadId()
           << L"\\]x";
  EXPECT_TRUE(std::regex_match(text, std::wregex(expected.str()))) << testing::PrintToString(text);
}

TEST_F(FileLoggerTest, DisabledLoggersAllocateNothing) {
  const std::wstring big(5000, L'b');
  // Making a logger (on its first use) may allocate; what must not is a disabled statement.
  TraceLogger::Instance();
  ConsoleLogger::Instance();
  FileLogger::Instance();
  const long before = AllocationsOnThisThread();
  for (int level : {0, 1, 2, 7}) {
    LOG_TRACE(level, level, L"%ls %d", big.c_str(), level);
    LOG_CONSOLE(level, L"%ls", big.c_str());
    LOG_FILE(level, L"%ls", big.c_str());
  }
  EXPECT_EQ(AllocationsOnThisThread(), before);
}

// Lines of two threads logging at once never interleave.
TEST_F(FileLoggerTest, ConcurrentLinesStayWhole) {
  ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"threads.log", LoggerConfig{0x8, true}));
  constexpr int kLines = 300;
  const std::wstring bodyA(700, L'a'), bodyB(900, L'b');
  std::atomic<int> ready{0};
  auto worker = [&](const std::wstring* body) {
    ++ready;
    while (ready < 2) {}
    for (int i = 0; i < kLines; ++i) LOG_FILE(0, L"%ls#%d", body->c_str(), i);
  };
  std::thread a(worker, &bodyA), b(worker, &bodyB);
  a.join();
  b.join();

  const std::wregex shape(L"\\[INFO\\]\\[tid:[0-9]+\\]\\[[^\\]]+\\]([ab]+)#([0-9]+)");
  std::map<wchar_t, int> next;
  std::vector<std::wstring> lines = Lines(FileText(folder_, L"threads.log"));
  ASSERT_EQ(lines.size(), 2u * kLines);
  for (const std::wstring& line : lines) {
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(line, m, shape)) << "torn line of " << line.size();
    const std::wstring body = m[1];
    ASSERT_TRUE(body == bodyA || body == bodyB);
    // Each thread's lines keep their order.
    EXPECT_EQ(std::stoi(m[2]), next[body[0]]++);
  }
}

}  // namespace
