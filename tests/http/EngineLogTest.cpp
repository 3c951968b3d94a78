// The engine's diagnostics as they land in a support log: wide texts (paths, addresses) and
// the excerpt of an error page in whatever encoding the server chose render as text, each on
// its own line.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpDownloadFile.h"
#include "runtime/Loggers.h"
#include "support/SupportLogFile.h"

using engine_test::Completion;
using engine_test::EngineTest;
using testing_support::FaultRule;
using testing_support::ReadSupportLog;
using testing_support::SupportLogFile;

namespace {

class EngineLog : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    LoggerConfig config;
    config.flags = LoggerConfig::kTimeStamp | LoggerConfig::kProcessId | LoggerConfig::kThreadId;
    config.appendNewline = true;
    ASSERT_TRUE(FileLogger::Instance().Open(logFile_, config));
  }

  void TearDown() override {
    FileLogger::Instance().Close();
    FileLogger::Instance().Detach();
    EngineTest::TearDown();
  }

  SupportLogFile Log() const {
    const SupportLogFile log = ReadSupportLog(logFile_);
    EXPECT_TRUE(log.byteOrderMark);
    EXPECT_TRUE(log.malformed.empty()) << testing::PrintToString(log.malformed);
    return log;
  }

  testing_support::TempFolder logs_{L"engine-log"};
  std::wstring logFile_ = logs_ / L"support.log";
};

std::wstring AnsiText(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  const int size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                         &text[0], static_cast<int>(text.size()));
  text.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return text;
}

TEST_F(EngineLog, AnErrorPageIsLoggedAsTextOnItsLine) {
  // UTF-8, as modern servers send it, with line breaks.
  const std::string page =
      "<html><body>\r\n\xe9\xa1\xb5\xe9\x9d\xa2\xe4\xb8\x8d\xe5\xad\x98\xe5\x9c\xa8\n</body></html>";
  ASSERT_TRUE(AddRule(FaultRule("/gone.txt").Status(404).Body(page, "text/html; charset=utf-8")));
  // A local code page's bytes, as older routers send them: not UTF-8.
  const std::string local = "\xcd\xf8\xc2\xe7 error";
  ASSERT_TRUE(AddRule(FaultRule("/local.txt").Status(502).Body(local)));

  for (const char* path : {"/gone.txt", "/local.txt"}) {
    CHttpCommand command;
    Completion done;
    ASSERT_TRUE(Fetch(command, path, done));
    EXPECT_EQ(done.type, 4);
  }

  const SupportLogFile log = Log();
  EXPECT_EQ(log.Messages(L"CCurlHttp::OnRecieveBody HTTP error  httpcode:404 "),
            std::vector<std::wstring>{
                L"CCurlHttp::OnRecieveBody HTTP error  httpcode:404 <html><body>  "
                L"\u9875\u9762\u4e0d\u5b58\u5728 </body></html>"});
  EXPECT_EQ(log.Messages(L"CCurlHttp::OnRecieveBody HTTP error  httpcode:502 "),
            std::vector<std::wstring>{L"CCurlHttp::OnRecieveBody HTTP error  httpcode:502 " +
                                      AnsiText(local)});
  EXPECT_FALSE(log.Messages(L"CCurlHttp::OnRecieveHeader HTTP error code:0 httpcode:404").empty());
}

// Only the first 1000 bytes of a page are logged; a character cut there is left out whole.
TEST_F(EngineLog, ALongErrorPageIsCutBetweenCharacters) {
  std::string page(999, 'x');
  page += "\xe4\xb8\xad\xe6\x96\x87";  // the 1000th byte starts a character of three bytes
  ASSERT_TRUE(AddRule(FaultRule("/long.txt").Status(500).Body(page)));
  CHttpCommand command;
  Completion done;
  ASSERT_TRUE(Fetch(command, "/long.txt", done));
  const std::vector<std::wstring> lines =
      Log().Messages(L"CCurlHttp::OnRecieveBody HTTP error  httpcode:500 ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], L"CCurlHttp::OnRecieveBody HTTP error  httpcode:500 " + std::wstring(999, L'x'));
}

TEST_F(EngineLog, PathsAndAddressesKeepTheirCharacters) {
  const std::wstring part = root_ / L"\u4e0b\u8f7d \u76ee\u5f55\\qvinstaller_1.0.tmp";
  ASSERT_TRUE(::CreateDirectoryW((root_ / L"\u4e0b\u8f7d \u76ee\u5f55").c_str(), nullptr));
  CHttpDownloadFile download;
  bool ended = false;
  ASSERT_TRUE(download.Setup(L"", server_.WideUrl("/missing.bin"), part, 0, &ended,
                             [](void* user, int, int) { *static_cast<bool*>(user) = true; },
                             nullptr));
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return ended; }, 60000));

  const SupportLogFile log = Log();
  // One start for the address, one more for the DNS step's pass.
  EXPECT_EQ(log.Messages(L"CHttpDownloadFile::Start() localPath:"),
            std::vector<std::wstring>(2, L"CHttpDownloadFile::Start() localPath:" + part));
  const std::vector<std::wstring> ends = log.Messages(L"CHttpDownloadFile::Done()  code:404");
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0], L"CHttpDownloadFile::Done()  code:404 errtype:4  url:" +
                         server_.WideUrl("/missing.bin") + L" ");
}

}  // namespace
