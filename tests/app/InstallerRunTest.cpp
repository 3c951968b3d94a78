// The real installer end to end, installing the demo game on the test drives (or beside itself
// in hidden mode), checked by what it leaves: the game, the launcher's record of its start,
// the package gone, the support log, the exit code.
#include <gtest/gtest.h>

#include <string>

#include "AppTestSupport.h"
#include "Screenshot.h"
#include "TestHostWindow.h"
#include "app/ExitCodes.h"
#include "app/InstallerApp.h"
#include "app/InstallerUnderTest.h"
#include "support/FaultRule.h"
#include "support/MessagePump.h"
#include "support/SupportLogFile.h"

using namespace testing_support;
using app_test::OneClickFolder;
using app_test::WaitForLauncherStart;

namespace {

constexpr DWORD kInstallLimitMs = 150000;
constexpr POINT kOneClickButton = {270, 250};

class InstallerRunTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!app_test::TestDrivesPresent()) GTEST_SKIP() << "needs the harness's test drives";
    app_test::ClearInstallTraces();
  }
  void TearDown() override { app_test::ClearInstallTraces(); }

  // A copy of the program `build` made, in a folder of the test's own.
  std::wstring Placed(const char* build) {
    return Quoted(
        app_test::PlaceProgram(WindowsPathOfBuildFile(build), kit_ / L"bin\\KeltoSetup.exe"));
  }
  std::wstring HiddenFolder() const { return kit_ / L"凯途星联"; }

  // Runs `command` to its end, which must come with `wantExit` and no window shown; its id.
  DWORD RunHidden(const std::wstring& command, int wantExit = exit_code::kInstalled) {
    RunningProcess installer(command);
    bool shown = false;
    DWORD exitCode = 99;
    PumpMessagesUntil(
        [&] {
          shown = shown || WaitForShownWindowOf(installer.id(), L"InstallPackages", 0) ||
                  WaitForShownWindowOf(installer.id(), L"keltoim", 0);
          return !installer.started() || installer.Wait(50, &exitCode);
        },
        kInstallLimitMs);
    EXPECT_EQ(exitCode, static_cast<DWORD>(wantExit));
    EXPECT_FALSE(shown) << "hidden mode showed a window";
    return installer.id();
  }

  TempFolder kit_{L"kit"};
};

// `keys` to the window of `installer` (once it has painted) bring up a box, which `answer`
// closes; false when no box shows or it stays.
bool KeysThroughABox(const RunningProcess& installer, HWND window, const wchar_t* keys,
                     const wchar_t* answer) {
  PumpMessagesFor(400);
  if (!app_test::XdotoolOn(window, XdotoolKeys(keys))) return false;
  const HWND box = WaitForShownWindowOf(installer.id(), L"keltoim");
  return box && app_test::XdotoolOn(box, XdotoolKeys(answer)) &&
         PumpMessagesUntil([&] { return !::IsWindowVisible(box); }, 10000);
}

// Started from a game folder that holds the package, the installer installs that package
// without asking any server (none runs) and deletes it. While it installs, a second start
// ends with code 0: at once in hidden mode, otherwise once the player has read the box. All by
// keyboard: Escape asks to quit, where Return quits and Escape keeps the installer; Tab goes
// round the start page's four controls in reading order, Space unticks the agreement (so the
// one-click button asks for it) and ticks it again, Shift+Tab goes back to the button.
TEST_F(InstallerRunTest, OneClickFromAGameFolderInstallsThePackageBesideIt) {
  const std::wstring kit = L"F:\\凯途星联";
  const std::wstring installer = app_test::PlaceProgram(InstallerPath(), kit + L"\\KeltoSetup.exe");
  ASSERT_FALSE(app_test::PlaceProgram(app_test::DemoPackage(), kit + L"\\qvinstaller.exe").empty());
  ASSERT_TRUE(WriteTestFile(kit + L"\\qvmain.dll"));
  DWORD exitCode = 1;
  {
    RunningProcess quit(Quoted(installer));
    const HWND window = WaitForShownWindowOf(quit.id(), L"InstallPackages");
    ASSERT_TRUE(KeysThroughABox(quit, window, L"Escape", L"Return")) << "no quit confirmation";
    ASSERT_TRUE(quit.Wait(20000, &exitCode)) << "Return did not quit";
    EXPECT_EQ(exitCode, static_cast<DWORD>(exit_code::kQuit));
  }
  RunningProcess run(Quoted(installer));
  const HWND window = WaitForShownWindowOf(run.id(), L"InstallPackages");
  ASSERT_NE(window, nullptr) << "no install window";
  ASSERT_TRUE(KeysThroughABox(run, window, L"Escape", L"Escape")) << "no quit confirmation";
  PumpMessagesFor(400);
  const auto unmarked = CaptureWindow(window, 0);
  ASSERT_TRUE(KeysThroughABox(run, window, L"Tab space Tab Tab Tab Return", L"Return"))
      << "the agreement was not asked for";
  // The one-click button (170,224)-(370,276), which Return pressed, wears the focus mark: a
  // ring 3 px outside it that the mouse alone never shows.
  PumpMessagesFor(400);
  const auto marked = CaptureWindow(window, 0);
  ASSERT_TRUE(unmarked && marked);
  SaveScreenshot(*marked, "install_focus_mark");
  int ring = 0;
  for (int x = 200; x < 340; ++x) ring += !Near(marked->Rgb(x, 221), unmarked->Rgb(x, 221), 40);
  EXPECT_GT(ring, 120) << "no focus mark above the button";
  ASSERT_TRUE(app_test::XdotoolOn(window, XdotoolKeys(L"Tab space shift+Tab Return")));
  ASSERT_TRUE(PumpMessagesUntil([&] { return FolderExists(OneClickFolder()); }, 20000))
      << "the keys did not install";
  EXPECT_FALSE(run.Wait(0)) << "Escape in the box quit";

  const ProcessResult hidden = RunProcess(Quoted(InstallerPath()) + L" -h", 20000);
  EXPECT_TRUE(hidden.started && !hidden.timedOut && hidden.exitCode == 0);
  RunningProcess second(Quoted(InstallerPath()));
  const HWND box = WaitForShownWindowOf(second.id(), L"keltoim");
  ASSERT_NE(box, nullptr) << "the second start showed no box";
  PumpMessagesFor(400);  // for the X server to show its first paint
  if (auto shot = CaptureWindow(box, 0)) SaveScreenshot(*shot, "box_already_running");
  ASSERT_TRUE(app_test::XdotoolOn(box, XdotoolKeys(L"Return")));
  ASSERT_TRUE(second.Wait(20000, &exitCode)) << "Return did not answer the box";
  EXPECT_EQ(exitCode, 0u);

  ASSERT_TRUE(run.Wait(kInstallLimitMs, &exitCode)) << "the install did not end";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(WaitForLauncherStart(OneClickFolder()).commandLine,
            WideToUtf8(OneClickFolder() + L"\\KeltoLauncher.exe -i \"12\" -d"));
  EXPECT_EQ(FileSizeOf(OneClickFolder() + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
  EXPECT_FALSE(FileExists(kit + L"\\qvinstaller.exe")) << "the package beside it stayed";
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, CInstallerApp::kMutexName);
  EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ::CloseHandle(mutex);
}

// The manifest's connection reset once; for the package a portal's page, a connection dropped
// a third of the way, and a server that ignores the range: no page written, the partial file
// continued and then started over, the game whole.
TEST_F(InstallerRunTest, HiddenModeRidesOutAFlakyNetwork) {
  app_test::UpdateServer server;
  ASSERT_TRUE(server.Start()) << server.http().error();
  const long long third = server.packageSize() / 3;
  ASSERT_TRUE(server.http().AddRule(FaultRule("/qvinstall.txt").Times(1).ResetConnection()));
  ASSERT_TRUE(server.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).Html()));
  ASSERT_TRUE(server.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).CloseAfter(third)));
  ASSERT_TRUE(server.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).IgnoreRange()));
  RunHidden(Placed(KELTO_INSTALLER_EXE) + L" -h -i 30");
  EXPECT_EQ(WaitForLauncherStart(HiddenFolder()).commandLine,
            WideToUtf8(HiddenFolder() + L"\\KeltoLauncher.exe -i \"30\" -d"));
  EXPECT_EQ(FileSizeOf(HiddenFolder() + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
  EXPECT_FALSE(FileExists(HiddenFolder() + L"\\qvinstaller.exe")) << "the package stayed";
  EXPECT_EQ(server.http().RequestsFor("/qvinstall.txt").size(), 2u);
  const auto package = server.http().RequestsFor("/qvinstaller.exe");
  ASSERT_EQ(package.size(), 3u);
  EXPECT_EQ(package[1].range, "");  // the page left nothing to continue
  EXPECT_EQ(package[1].sent, third);
  EXPECT_EQ(package[2].range, "bytes=" + std::to_string(third) + "-");
  EXPECT_EQ(package[2].status, 200);
  EXPECT_EQ(package[2].sent, server.packageSize());
}

// A package that differs from its digest ends the run without running it. The support log
// asked for where no file can be made goes to the temporary folder, dated, naming the refusal.
TEST_F(InstallerRunTest, HiddenModeEndsOnACorruptPackageAndItsLogFindsAPlace) {
  app_test::UpdateServer server;
  ASSERT_TRUE(server.Start(std::string(32, '0'))) << server.http().error();
  TempFolder temp(L"log-temp");
  const std::wstring refused = kit_ / L"没有 这个\\支持日志.log";
  wchar_t previous[MAX_PATH + 1] = L"";
  ::GetEnvironmentVariableW(L"TMP", previous, MAX_PATH + 1);
  ::SetEnvironmentVariableW(L"TMP", temp.path().c_str());
  const DWORD pid = RunHidden(Placed(KELTO_INSTALLER_EXE) + L" -h -i 30 -l " + Quoted(refused),
                              exit_code::kPackageUnusable);
  ::SetEnvironmentVariableW(L"TMP", previous);
  EXPECT_EQ(server.http().RequestsFor("/qvinstaller.exe").size(), 1u);
  EXPECT_TRUE(FileExists(HiddenFolder() + L"\\qvinstaller.exe")) << "nothing was downloaded";
  EXPECT_FALSE(FileExists(HiddenFolder() + L"\\KeltoLauncher.exe")) << "the package ran";

  WIN32_FIND_DATAW found = {};
  HANDLE find = ::FindFirstFileW((temp / L"KeltoSetup_????????_??????.log").c_str(), &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE) << "no dated log in the temporary folder";
  ::FindClose(find);
  const std::wstring file = temp / found.cFileName;
  const SupportLogFile log = ReadSupportLog(file);
  EXPECT_TRUE(log.byteOrderMark && log.endsWithLineEnd);
  EXPECT_TRUE(log.malformed.empty()) << testing::PrintToString(log.malformed);
  ASSERT_GE(log.lines.size(), 6u);
  for (const SupportLogLine& line : log.lines) {
    EXPECT_EQ(line.pid, pid);
    // Source paths are relative ones into the tree, the same on every build machine.
    EXPECT_EQ(line.location.rfind(L"src/", 0), 0u) << WideToUtf8(line.location);
  }
  EXPECT_EQ(log.lines.front().message, L"KeltoSetup 1.0.0 support log " + file);
  EXPECT_EQ(log.Messages(L"the log file " + refused + L" cannot be written").size(), 1u);
  EXPECT_EQ(log.lines.back().message, L"KeltoSetup exits with code 4");
}

// Both servers failing, the first attempt and ten automatic retries each ask both addresses
// once, then the installer gives up (its test build, which retries after 0.2 s, not 5 s).
TEST_F(InstallerRunTest, HiddenModeGivesUpAfterTenFailedRetries) {
  app_test::UpdateServer primary, fallback;
  ASSERT_TRUE(primary.Start()) << primary.http().error();
  ASSERT_TRUE(fallback.Start(std::string(), 18602)) << fallback.http().error();
  ASSERT_TRUE(primary.http().AddRule(FaultRule("/qvinstall.txt").Status(503)));
  ASSERT_TRUE(fallback.http().AddRule(FaultRule("/qvinstall.txt").Status(503)));
  RunHidden(Placed(KELTO_QUICK_RETRY_EXE) + L" -h", exit_code::kGaveUp);
  EXPECT_EQ(primary.http().RequestsFor("/qvinstall.txt").size(), 11u);
  EXPECT_EQ(fallback.http().RequestsFor("/qvinstall.txt").size(), 11u);
}

// The test build with the studio's key installs from the manifest the studio signed, in
// hidden mode and in the window; a forged manifest at the primary address (the version
// changed after signing) is passed over for the fallback's.
TEST_F(InstallerRunTest, ASignedBuildInstallsWhatItsStudioSigned) {
  const std::string manifest = ReadBinaryFile(WindowsPathOfBuildFile(KELTO_SIGNED_MANIFEST));
  ASSERT_NE(manifest.find("Signature="), std::string::npos);
  {
    app_test::UpdateServer server;
    ASSERT_TRUE(server.Start("", app_test::UpdateServer::kPort, manifest));
    RunHidden(Placed(KELTO_SIGNED_EXE) + L" -h -i 30");
    EXPECT_TRUE(WaitForLauncherStart(HiddenFolder()).found);
    EXPECT_EQ(FileSizeOf(HiddenFolder() + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
  }
  std::string forged = manifest;
  forged.replace(forged.find("Version=test-1"), 14, "Version=test-2");
  app_test::UpdateServer primary, fallback;
  ASSERT_TRUE(primary.Start("", app_test::UpdateServer::kPort, forged));
  ASSERT_TRUE(fallback.Start("", 18602, manifest));
  RunningProcess run(Placed(KELTO_SIGNED_EXE));
  const HWND window = WaitForShownWindowOf(run.id(), L"InstallPackages");
  ASSERT_NE(window, nullptr) << "no install window";
  ASSERT_TRUE(app_test::ClickUntil(window, kOneClickButton,
                                   [&] { return FolderExists(OneClickFolder()); }));
  DWORD exitCode = 1;
  ASSERT_TRUE(run.Wait(kInstallLimitMs, &exitCode)) << "the install did not end";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(WaitForLauncherStart(OneClickFolder()).found);
  EXPECT_EQ(FileSizeOf(OneClickFolder() + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);
  EXPECT_EQ(fallback.http().RequestsFor("/qvinstall.txt").size(), 1u);
}

}  // namespace
