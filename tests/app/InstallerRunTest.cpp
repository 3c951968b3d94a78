// The real installer, KeltoSetup.exe as the build made it, run end to end: against an update
// server on its own primary manifest address, installing the real demo game on the harness's
// test drives (or beside itself in hidden mode), driven by real X input, checked by what it
// leaves behind: the game's files, the launcher's record of how it was started, the package
// gone, the exit code. Each run uses a copy of the installer in a folder of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "AppTestSupport.h"
#include "Screenshot.h"
#include "app/InstallerUnderTest.h"
#include "support/MessagePump.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

using namespace testing_support;
using app_test::LauncherStart;
using app_test::OneClickFolder;
using app_test::WaitForLauncherStart;

namespace {

constexpr DWORD kInstallLimitMs = 150000;

// Whether process `processId` shows a top-level window of any class.
bool ShowsAWindow(DWORD processId) {
  struct Search {
    DWORD processId;
    bool found;
  } search = {processId, false};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == s->processId && ::IsWindowVisible(window)) s->found = true;
        return !s->found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Screenshot(HWND window, const std::string& name) {
  PumpMessagesFor(300);
  if (auto shot = CaptureWindow(window, 0)) SaveScreenshot(*shot, name);
}

class InstallerRunTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!app_test::TestDrivesPresent()) GTEST_SKIP() << "needs the harness's test drives";
    app_test::ClearInstallTraces();
    installer_ = app_test::PlaceProgram(InstallerPath(), kit_ / L"bin\\KeltoSetup.exe");
    ASSERT_FALSE(installer_.empty());
  }
  void TearDown() override {
    app_test::ClearInstallTraces();
  }

  std::wstring Command(const std::wstring& options) const {
    return Quoted(installer_) + (options.empty() ? L"" : L" " + options);
  }
  // The folder hidden mode installs into: "凯途星联" beside the installer's folder.
  std::wstring HiddenFolder() const { return kit_ / L"凯途星联"; }

  // Runs the installer in hidden mode to its end, which must come with exit code 0 and
  // without the installer ever showing a window.
  void RunHidden(const std::wstring& options) {
    RunningProcess installer(Command(options));
    ASSERT_TRUE(installer.started());
    bool showedWindow = false;
    DWORD exitCode = 1;
    const DWORD start = ::GetTickCount();
    while (!installer.Wait(50, &exitCode)) {
      showedWindow = showedWindow || ShowsAWindow(installer.id());
      ASSERT_LT(::GetTickCount() - start, kInstallLimitMs) << "the installer did not end";
    }
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(showedWindow) << "hidden mode showed a window";
  }

  // Runs `-h -r 0` to its end: the game installed without a window, the package gone.
  void ExpectHiddenInstallWithoutLauncher() {
    RunHidden(L"-h -r 0");
    EXPECT_EQ(FileSizeOf(HiddenFolder() + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
    EXPECT_FALSE(FileExists(HiddenFolder() + L"\\qvinstaller.exe")) << "the package stayed";
  }

  TempFolder kit_{L"kit"};
  std::wstring installer_;
  app_test::UpdateServer server_;
};

TEST_F(InstallerRunTest, OneClickInstallRunsToTheEnd) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  RunningProcess installer(Command(L""));
  ASSERT_TRUE(installer.started());
  const HWND window = WaitForShownWindowOf(installer.id(), L"InstallPackages");
  ASSERT_NE(window, nullptr) << "no install window";
  EXPECT_EQ(app_test::TitleOf(window), L"安装凯途星联");
  // A pop-up with system menu and minimise box, shown; the window base adds the clipping.
  EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)) & 0xFFFF0000u,
            0x800A0000u | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  RECT bounds = {}, work = {};
  ::GetWindowRect(window, &bounds);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(bounds.right - bounds.left, 540);
  EXPECT_EQ(bounds.bottom - bounds.top, 355);
  EXPECT_EQ(bounds.left, work.left + (work.right - work.left - 540) / 2);
  // The window paints before the rest of start-up; it comes to the front once its loop runs.
  EXPECT_TRUE(PumpMessagesUntil([&] { return ::GetForegroundWindow() == window; }, 5000))
      << "the install window never came to the front";
  Screenshot(window, "installer_start_page");

  ASSERT_TRUE(app_test::ClickUntil(window, POINT{270, 250}, [&] {  // "一键安装"
    return !server_.http().RequestsFor("/qvinstall.txt").empty();
  }));
  DWORD exitCode = 1;
  ASSERT_TRUE(installer.Wait(kInstallLimitMs, &exitCode)) << "the install did not end";
  EXPECT_EQ(exitCode, 0u);
  const LauncherStart start = WaitForLauncherStart(OneClickFolder());
  ASSERT_TRUE(start.found) << "no launcher started";
  EXPECT_EQ(start.commandLine, WideToUtf8(OneClickFolder() + L"\\KeltoLauncher.exe -i \"12\" -d"));
  EXPECT_EQ(FileSizeOf(OneClickFolder() + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
  EXPECT_FALSE(FileExists(OneClickFolder() + L"\\qvinstaller.exe"));
}

// Started from a game folder that holds the package, the installer installs that package
// without asking any server, and deletes it afterwards.
TEST_F(InstallerRunTest, APackageBesideTheInstallerIsInstalledWithoutADownload) {
  const std::wstring kit = L"F:\\凯途星联";
  const std::wstring installer = app_test::PlaceProgram(installer_, kit + L"\\KeltoSetup.exe");
  ASSERT_FALSE(installer.empty());
  ASSERT_FALSE(app_test::PlaceProgram(app_test::DemoPackage(), kit + L"\\qvinstaller.exe").empty());
  ASSERT_TRUE(WriteTestFile(kit + L"\\qvmain.dll"));
  RunningProcess run(Quoted(installer));
  ASSERT_TRUE(run.started());
  const HWND window = WaitForShownWindowOf(run.id(), L"InstallPackages");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(app_test::ClickAt(window, POINT{270, 250}));  // "一键安装"
  DWORD exitCode = 1;
  ASSERT_TRUE(run.Wait(kInstallLimitMs, &exitCode)) << "the install did not end";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(WaitForLauncherStart(OneClickFolder()).found);
  EXPECT_EQ(FileSizeOf(OneClickFolder() + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
  EXPECT_FALSE(FileExists(kit + L"\\qvinstaller.exe")) << "the package beside it stayed";
  EXPECT_TRUE(FileExists(kit + L"\\qvmain.dll"));
}

TEST_F(InstallerRunTest, HiddenModeInstallsWithoutAnyWindowAndStartsTheLauncher) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  RunHidden(L"-h -i 30");
  const LauncherStart start = WaitForLauncherStart(HiddenFolder());
  ASSERT_TRUE(start.found) << "no launcher started in " << WideToUtf8(HiddenFolder());
  EXPECT_EQ(start.id, "30");
  EXPECT_TRUE(start.d);
  EXPECT_FALSE(FileExists(HiddenFolder() + L"\\qvinstaller.exe"));
  EXPECT_FALSE(FolderExists(OneClickFolder()));
}

TEST_F(InstallerRunTest, HiddenModeWithRunZeroInstallsWithoutStartingTheLauncher) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  ExpectHiddenInstallWithoutLauncher();
  EXPECT_TRUE(FileExists(HiddenFolder() + L"\\KeltoLauncher.exe"));
  EXPECT_FALSE(WaitForLauncherStart(HiddenFolder(), 2000).found) << "the launcher started";
}

// A package that differs from its digest never runs in hidden mode either: the installer
// ends at once, without a window and without a retry, and installs nothing.
TEST_F(InstallerRunTest, HiddenModeEndsOnACorruptPackageWithoutRunningIt) {
  ASSERT_TRUE(server_.Start("00000000000000000000000000000000")) << server_.http().error();
  RunHidden(L"-h");
  EXPECT_EQ(server_.http().RequestsFor("/qvinstaller.exe").size(), 1u);
  EXPECT_TRUE(FileExists(HiddenFolder() + L"\\qvinstaller.exe")) << "nothing was downloaded";
  EXPECT_FALSE(FileExists(HiddenFolder() + L"\\KeltoLauncher.exe")) << "the package ran";
  EXPECT_FALSE(WaitForLauncherStart(HiddenFolder(), 500).found);
}

// Without an update server every attempt fails; hidden mode retries every 5 s and gives up
// with the eleventh automatic retry.
TEST_F(InstallerRunTest, HiddenModeGivesUpAfterTenFailedRetries) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  ASSERT_TRUE(server_.http().AddRule(testing_support::FaultRule("/qvinstall.txt").Status(503)));
  RunHidden(L"-h");
  // The first attempt and ten retries, each asking the primary address once.
  EXPECT_EQ(server_.http().RequestsFor("/qvinstall.txt").size(), 11u);
  EXPECT_TRUE(server_.http().RequestsFor("/qvinstaller.exe").empty());
  EXPECT_FALSE(FileExists(HiddenFolder() + L"\\KeltoLauncher.exe"));
}

// A flaky network in hidden mode: the manifest's connection reset once; for the package a
// portal's page, then a connection dropped a third of the way, then a server that ignores
// the range and sends everything again. The install ends as on a good network: no page
// written, the partial file continued and then started over, the game whole.
TEST_F(InstallerRunTest, HiddenModeRidesOutAFlakyNetwork) {
  using testing_support::FaultRule;
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  const long long third = server_.packageSize() / 3;
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).ResetConnection()));
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).Html()));
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).CloseAfter(third)));
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).IgnoreRange()));
  ExpectHiddenInstallWithoutLauncher();
  EXPECT_EQ(server_.http().RequestsFor("/qvinstall.txt").size(), 2u);
  const auto package = server_.http().RequestsFor("/qvinstaller.exe");
  ASSERT_EQ(package.size(), 3u);
  EXPECT_EQ(package[1].range, "");  // the page left nothing to continue
  EXPECT_EQ(package[1].sent, third);
  EXPECT_EQ(package[2].range, "bytes=" + std::to_string(third) + "-");
  EXPECT_EQ(package[2].status, 200);
  EXPECT_EQ(package[2].sent, server_.packageSize());
}

TEST_F(InstallerRunTest, AnExistingLauncherIsStartedDirectly) {
  const std::wstring old = L"F:\\老版本";
  ASSERT_FALSE(
      app_test::PlaceProgram(app_test::DemoLauncher(), old + L"\\KeltoLauncher.exe").empty());
  ASSERT_TRUE(app_test::WriteIniRecord(old + L"\\KeltoLauncher.exe"));
  RunningProcess installer(Command(L"-i 30"));
  ASSERT_TRUE(installer.started());
  const HWND box = WaitForShownWindowOf(installer.id(), L"keltoim");
  ASSERT_NE(box, nullptr) << "no prompt";
  EXPECT_EQ(app_test::TitleOf(box), L"提示信息");
  EXPECT_EQ(::GetWindow(box, GW_OWNER), app_test::FindWindowOf(installer.id(), L"InstallPackages"));
  Screenshot(box, "installer_existing_install_box");

  ASSERT_TRUE(app_test::ClickAt(box, POINT{236, 94}));  // "直接启动"
  DWORD exitCode = 1;
  ASSERT_TRUE(installer.Wait(30000, &exitCode)) << "the installer stayed";
  EXPECT_EQ(exitCode, 0u);
  const LauncherStart start = WaitForLauncherStart(old);
  ASSERT_TRUE(start.found);
  EXPECT_EQ(start.commandLine, WideToUtf8(old + L"\\KeltoLauncher.exe -i \"30\" -d"));
  EXPECT_FALSE(FolderExists(OneClickFolder())) << "it installed anyway";
}

}  // namespace
