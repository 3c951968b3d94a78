#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/InstallerApp.h"
#include "app/StartupSettings.h"
#include "runtime/CommandLineOptions.h"
#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "app/InstallerUnderTest.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "TestHostWindow.h"

using testing_support::ProcessResult;
using testing_support::Quoted;
using testing_support::RunProcess;

namespace {

StartupSettings SettingsFor(std::initializer_list<const wchar_t*> tokens) {
  std::vector<const wchar_t*> argv = {L"KeltoSetup.exe"};
  argv.insert(argv.end(), tokens);
  CommandLineOptions options(static_cast<int>(argv.size()), argv.data());
  StartupSettings settings;
  settings.ApplyOptions(options);
  return settings;
}

TEST(StartupSettings, OptionsSetGameNumberHiddenModeAndLauncherStart) {
  StartupSettings defaults = SettingsFor({});
  EXPECT_EQ(defaults.gameIdOption, 0);
  EXPECT_FALSE(defaults.hidden);
  EXPECT_TRUE(defaults.runLauncher);

  EXPECT_EQ(SettingsFor({L"-i", L"30"}).gameIdOption, 30);
  EXPECT_EQ(SettingsFor({L"-i", L"0"}).gameIdOption, 0);
  EXPECT_EQ(SettingsFor({L"-i", L"42abc"}).gameIdOption, 42);
  EXPECT_EQ(SettingsFor({L"-i", L"+8"}).gameIdOption, 8);
  EXPECT_EQ(SettingsFor({L"-i", L"abc"}).gameIdOption, 0);

  EXPECT_FALSE(SettingsFor({L"-r", L"0"}).runLauncher);
  EXPECT_FALSE(SettingsFor({L"-r", L"off"}).runLauncher);
  EXPECT_TRUE(SettingsFor({L"-r", L"2"}).runLauncher);

  EXPECT_TRUE(SettingsFor({L"-h"}).hidden);
  EXPECT_TRUE(SettingsFor({L"--hide"}).hidden);
  // An unrecognised option before -h stops parsing: hidden mode stays off.
  StartupSettings stopped = SettingsFor({L"-i", L"5", L"-q", L"-h"});
  EXPECT_FALSE(stopped.hidden);
  EXPECT_EQ(stopped.gameIdOption, 5);
}

TEST(StartupSettings, SupportLogWithOrWithoutItsFile) {
  EXPECT_FALSE(SettingsFor({L"-h"}).supportLog);
  StartupSettings bare = SettingsFor({L"-l", L"-h"});
  EXPECT_TRUE(bare.supportLog);
  EXPECT_TRUE(bare.supportLogPath.empty());
  EXPECT_TRUE(bare.hidden);
  StartupSettings file = SettingsFor({L"-h", L"--log", L"D:\\setup.log"});
  EXPECT_TRUE(file.supportLog);
  EXPECT_EQ(file.supportLogPath, L"D:\\setup.log");
}

// The installer started while another instance holds the mutex ends with code 0: at once in
// hidden mode; interactively once the player has read the box that says so.
TEST(SingleInstance, SecondInstanceSaysSoAndExitsWithZero) {
  HANDLE first = ::CreateMutexW(nullptr, FALSE, CInstallerApp::kMutexName);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS))
      << "another installer is running on this machine";

  for (const wchar_t* args : {L" -h", L" -h -i 30"}) {
    ProcessResult r = RunProcess(Quoted(InstallerPath()) + args, 20000);
    ASSERT_TRUE(r.started) << "cannot start " << testing::PrintToString(InstallerPath());
    EXPECT_FALSE(r.timedOut) << "second instance kept running";
    EXPECT_EQ(r.exitCode, 0u);
  }

  {
    testing_support::RunningProcess second(Quoted(InstallerPath()));
    ASSERT_TRUE(second.started());
    const HWND box = testing_support::WaitForShownWindowOf(second.id(), L"keltoim");
    ASSERT_NE(box, nullptr) << "no message box";
    wchar_t title[64] = L"";
    ::GetWindowTextW(box, title, 64);
    EXPECT_STREQ(title, L"提示信息");
    EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
    RECT bounds = {}, work = {};
    ::GetWindowRect(box, &bounds);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(bounds.right - bounds.left, 280);
    EXPECT_EQ(bounds.left, work.left + (work.right - work.left - 280) / 2);
    EXPECT_EQ(bounds.top, work.top + (work.bottom - work.top - 115) / 2);
    // It waits for the player.
    DWORD exitCode = 0;
    EXPECT_FALSE(second.Wait(500, &exitCode));
    // OK, alone at the right end of the bottom row: the cancel button is hidden.
    ASSERT_TRUE(testing_support::StartXdotool(title, testing_support::XdotoolClick(POINT{236, 94})));
    EXPECT_TRUE(second.Wait(20000, &exitCode)) << "the box did not end the second instance";
    EXPECT_EQ(exitCode, 0u);
  }

  // The first instance's mutex is untouched by the second's start and exit.
  HANDLE probe = ::CreateMutexW(nullptr, FALSE, CInstallerApp::kMutexName);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ::CloseHandle(probe);
  ::CloseHandle(first);
}

// Without another instance the installer takes the mutex itself while it runs, and gives it
// back when it ends: here when its window is asked to close.
TEST(SingleInstance, FirstInstanceHoldsTheMutexWhileItRuns) {
  testing_support::RunningProcess installer(Quoted(InstallerPath()));
  ASSERT_TRUE(installer.started());
  const HWND window =
      testing_support::WaitForShownWindowOf(installer.id(), L"InstallPackages");
  ASSERT_NE(window, nullptr) << "no install window";
  HANDLE during = ::CreateMutexW(nullptr, FALSE, CInstallerApp::kMutexName);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ::CloseHandle(during);

  ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
  DWORD exitCode = 1;
  ASSERT_TRUE(installer.Wait(20000, &exitCode)) << "the installer did not end";
  EXPECT_EQ(exitCode, 0u);
  HANDLE after = ::CreateMutexW(nullptr, FALSE, CInstallerApp::kMutexName);
  EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ::CloseHandle(after);
}

}  // namespace

namespace {

struct LoopObservation {
  bool ran = false;
  bool onMainThread = false;
  bool windowAlive = false;
};
LoopObservation g_loop;

HWND FindTaskWindow() { return testing_support::FindOwnMessageWindow(L"ThreadingWindowClass"); }

void ObserveLoop(int, int) {
  g_loop.ran = true;
  g_loop.onMainThread = IsMainThread();
  g_loop.windowAlive = FindTaskWindow() != nullptr;
  // Ends the loop also once the run has a window of its own to wait for.
  ::PostQuitMessage(0);
}

}  // namespace

// A run of the installer brings the task window up before its message loop, so a result
// posted by another thread runs on the installer's thread inside the loop, and takes the
// window down again at shut-down.
TEST(Startup, RunStartsAndStopsTheMainThreadTasks) {
  ASSERT_EQ(FindTaskWindow(), nullptr);
  std::thread([] { PostToMainThread(ObserveLoop, 0, 0); }).join();
  CInstallerApp app(::GetModuleHandleW(nullptr));
  EXPECT_EQ(app.Run(), 0);
  EXPECT_TRUE(g_loop.ran);
  EXPECT_TRUE(g_loop.onMainThread);
  EXPECT_TRUE(g_loop.windowAlive);
  EXPECT_EQ(FindTaskWindow(), nullptr);
}
