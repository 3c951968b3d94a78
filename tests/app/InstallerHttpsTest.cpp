// The installer built with https update servers (KeltoSetupHttps.exe: both manifest
// addresses on "localhost" with TLS) end to end: against servers whose certificate the test
// authority signed, which the prefix trusts, it installs as over http; against servers with
// a certificate nobody signed, the player sees the network failure box and the support log
// names the refused certificate and libcurl's certificate error, and no request is sent.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "AppTestSupport.h"
#include "app/InstallerUnderTest.h"
#include "support/MessagePump.h"
#include "support/ProcessRunner.h"
#include "support/SupportLogFile.h"
#include "support/TestCertificates.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

constexpr uint16_t kPrimaryPort = 18611;
constexpr uint16_t kFallbackPort = 18612;
constexpr DWORD kInstallLimitMs = 150000;

class InstallerHttpsTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!app_test::TestDrivesPresent()) GTEST_SKIP() << "needs the harness's test drives";
    std::string error;
    ASSERT_TRUE(TrustTestAuthority(&error)) << error;
    app_test::ClearInstallTraces();
    installer_ = app_test::PlaceProgram(InstallerPath(), kit_ / L"bin\\KeltoSetup.exe");
    ASSERT_FALSE(installer_.empty());
  }
  void TearDown() override { app_test::ClearInstallTraces(); }

  std::wstring Command(const std::wstring& options) const {
    return Quoted(installer_) + L" " + options;
  }

  TempFolder kit_{L"https-kit"};
  std::wstring installer_;
};

TEST_F(InstallerHttpsTest, HiddenModeInstallsFromTrustedHttpsServers) {
  app_test::UpdateServer server;
  ASSERT_TRUE(server.StartTls(TrustedLocalhost(), kPrimaryPort)) << server.http().error();
  RunningProcess installer(Command(L"-h -i 30"));
  ASSERT_TRUE(installer.started());
  DWORD exitCode = 1;
  ASSERT_TRUE(installer.Wait(kInstallLimitMs, &exitCode)) << "the install did not end";
  EXPECT_EQ(exitCode, 0u);
  const std::wstring game = kit_ / L"凯途星联";
  const app_test::LauncherStart start = app_test::WaitForLauncherStart(game);
  ASSERT_TRUE(start.found) << "no launcher started in " << WideToUtf8(game);
  EXPECT_EQ(start.id, "30");
  EXPECT_EQ(FileSizeOf(game + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
  EXPECT_FALSE(FileExists(game + L"\\qvinstaller.exe"));
  EXPECT_EQ(server.http().RequestsFor("/qvinstall.txt").size(), 1u);
  EXPECT_EQ(server.http().RequestsFor("/qvinstaller.exe").size(), 1u);
}

TEST_F(InstallerHttpsTest, AnUntrustedCertificateIsANetworkFailureAndNothingIsSent) {
  app_test::UpdateServer primary, fallback;
  ASSERT_TRUE(primary.StartTls(RogueLocalhost(), kPrimaryPort)) << primary.http().error();
  ASSERT_TRUE(fallback.StartTls(RogueLocalhost(), kFallbackPort)) << fallback.http().error();
  const std::wstring log = kit_ / L"support.log";
  RunningProcess installer(Command(L"-l " + Quoted(log)));
  ASSERT_TRUE(installer.started());
  const HWND window = WaitForShownWindowOf(installer.id(), L"InstallPackages");
  ASSERT_NE(window, nullptr) << "no install window";
  // "一键安装"; once the page has changed the spot is empty (the failure box, centred on the
  // window, lies above it).
  HWND box = nullptr;
  ASSERT_TRUE(app_test::ClickUntil(window, POINT{270, 250}, [&] {
    box = app_test::FindWindowOf(installer.id(), L"keltoim");
    return box && ::IsWindowVisible(box);
  })) << "no failure box";
  EXPECT_EQ(app_test::TitleOf(box), L"提示信息");
  installer.Terminate();

  const SupportLogFile file = ReadSupportLog(log);
  const auto refusals = file.Messages(L"CCurlHttp TLS: the certificate of localhost is not trusted");
  EXPECT_GE(refusals.size(), 6u) << "each attempt on both addresses is refused";
  const auto ends = file.Messages(L"CHttpCommand::Done()  code:60 errtype:5");
  ASSERT_FALSE(ends.empty()) << "the manifest's end names no certificate error";
  EXPECT_NE(ends.back().find(L"url:https://localhost:18612/qvinstall.txt"), std::wstring::npos);
  EXPECT_TRUE(primary.http().Requests().empty());
  EXPECT_TRUE(fallback.http().Requests().empty());
  EXPECT_FALSE(FolderExists(app_test::OneClickFolder() + L"\\bin"));
}

}  // namespace
