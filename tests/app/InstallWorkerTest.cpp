// The install step on its worker thread with the real demo package and launcher. The window
// is a message-only window of the test that records what is posted to it; the test plays the
// install dialog's timer through installTicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "app/CommonUtils.h"
#include "app/InstallWorker.h"
#include "runtime/WindowMessages.h"
#include "support/MessagePump.h"
#include "support/TestFiles.h"

using namespace testing_support;
using app_test::WaitForLauncherStart;

namespace {

// The window the worker posts to: what it posted, and the WM_CLOSE's parameter.
std::vector<UINT> g_posted;
WPARAM g_closeParam = 0;

LRESULT CALLBACK RecordPosted(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_CLOSE && message < WM_USER) {
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  g_posted.push_back(message);
  if (message == WM_CLOSE) g_closeParam = wParam;
  return 0;
}

bool Posted(UINT message) { return std::count(g_posted.begin(), g_posted.end(), message) > 0; }

class InstallWorkerTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordPosted;
    windowClass.lpszClassName = L"KeltoInstallWorkerTest";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
    g_posted.clear();
    package_ = temp_ / L"dl\\qvinstaller.exe";
    ASSERT_FALSE(app_test::PlaceProgram(app_test::DemoPackage(), package_).empty());
    folder_ = temp_ / L"凯途网络\\凯途星联";
    job_.installDir = folder_;
    job_.packagePath = package_;
    job_.gameId = 30;
    job_.window = window_;
  }
  void TearDown() override { ::DestroyWindow(window_); }

  // Runs a worker for job_ whose displayed progress is at its end already, until it closes
  // the window or gives the package up.
  void Run() {
    CRefPtr<CInstallWorker> worker = new CInstallWorker(job_);
    worker->installTicks = 900;
    EXPECT_TRUE(worker->Start());
    EXPECT_TRUE(PumpMessagesUntil(
        [&] { return Posted(WM_CLOSE) || Posted(msg::kPackageUnusable); }, 90000));
  }
  bool Unpacked() const { return FileExists(folder_ + L"\\bin\\game.dat"); }

  TempFolder temp_{L"worker"};
  HWND window_ = nullptr;
  std::wstring package_, folder_;
  CInstallWorker::TJob job_;
};

// The folder ends in a backslash, which the package's command line must not let escape its
// quote; the digest is compared without regard to case.
TEST_F(InstallWorkerTest, RunsThePackageWaitsForTheProgressThenStartsTheLauncher) {
  job_.installDir = folder_ + L"\\";
  job_.expectedDigest = FileDigest(package_);
  std::transform(job_.expectedDigest.begin(), job_.expectedDigest.end(),
                 job_.expectedDigest.begin(), ::towupper);
  CRefPtr<CInstallWorker> worker = new CInstallWorker(job_);
  ASSERT_TRUE(worker->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] { return worker->finishing.load(); }, 90000));
  EXPECT_EQ(g_posted, std::vector<UINT>{msg::kPackageRunning});
  EXPECT_TRUE(Unpacked());
  // Until the displayed progress has reached its end nothing more happens.
  worker->installTicks = 899;
  PumpMessagesFor(300);
  EXPECT_FALSE(Posted(WM_CLOSE));
  EXPECT_TRUE(FileExists(package_));

  worker->installTicks = 900;
  ASSERT_TRUE(PumpMessagesUntil([&] { return Posted(WM_CLOSE); }, 30000));
  EXPECT_EQ(g_closeParam, 1u);
  EXPECT_EQ(WaitForLauncherStart(folder_).commandLine,
            WideToUtf8(folder_ + L"\\KeltoLauncher.exe -i \"30\" -d"));
  EXPECT_FALSE(FileExists(package_)) << "the package stays after the install";
}

// One that differs from its digest never runs and stays; one that cannot even start is as
// unusable, however little it checks.
TEST_F(InstallWorkerTest, UnusablePackagesAreReportedAndNothingIsInstalled) {
  job_.expectedDigest = L"0123456789abcdef0123456789abcdef";
  Run();
  EXPECT_EQ(g_posted, std::vector<UINT>{msg::kPackageUnusable});
  EXPECT_TRUE(FileExists(package_)) << "a package that did not run is kept";

  g_posted.clear();
  job_.expectedDigest.clear();
  ASSERT_TRUE(WriteBinaryFile(package_, "this is no program"));
  Run();
  EXPECT_EQ(g_posted, (std::vector<UINT>{msg::kPackageRunning, msg::kPackageUnusable}));
  EXPECT_FALSE(FolderExists(folder_));
}

// A worker stopped before its package was found good changes nothing. One whose window went
// away while it waited for the displayed progress waits no longer: it ends and deletes the
// package it ran.
TEST_F(InstallWorkerTest, AStoppedWorkerOrAWindowGoneEndsTheStep) {
  CRefPtr<CInstallWorker> early = new CInstallWorker(job_);
  early->Stop();
  ASSERT_TRUE(early->Start());
  early->WaitUntilDone();
  PumpMessagesFor(100);
  EXPECT_TRUE(g_posted.empty());
  EXPECT_FALSE(FolderExists(folder_));

  job_.runLauncher = false;
  CRefPtr<CInstallWorker> late = new CInstallWorker(job_);
  ASSERT_TRUE(late->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] { return late->finishing.load(); }, 90000));
  ::DestroyWindow(window_);
  ASSERT_TRUE(PumpMessagesUntil([&] { return !FileExists(package_); }, 10000));
  late->WaitUntilDone();
  EXPECT_LT(late->installTicks.load(), 900);
  EXPECT_TRUE(Unpacked());
}

// An install into another folder than the old launcher's touches neither folder's programs;
// one over the launcher's own folder first ends its processes (not those of "凯途星联2") and
// removes its program files, and the package then unpacks over what is left.
TEST_F(InstallWorkerTest, OnlyTheOldLaunchersOwnFolderIsCleaned) {
  const std::wstring running = folder_ + L"\\bin\\游戏.exe";
  auto old = app_test::StartSleeperAt(running);
  auto other = app_test::StartSleeperAt(folder_ + L"2\\游戏.exe");
  for (const wchar_t* name : CInstallWorker::kOldInstallFiles) {
    ASSERT_TRUE(WriteTestFile(folder_ + L"\\" + name, 5));
  }
  ASSERT_TRUE(WriteTestFile(folder_ + L"\\patch\\1\\p.dat"));
  ASSERT_TRUE(WriteTestFile(folder_ + L"\\存档\\save.dat"));
  ASSERT_TRUE(app_test::WaitUntilFound(folder_ + L"\\bin", old->id()));
  ASSERT_TRUE(app_test::WaitUntilFound(folder_ + L"2", other->id()));
  job_.launcherFound = true;
  job_.runLauncher = false;

  job_.launcherPath = temp_ / L"旧版\\KeltoLauncher.exe";
  Run();
  ASSERT_TRUE(Posted(WM_CLOSE));
  EXPECT_TRUE(old->IsRunning());
  EXPECT_TRUE(FileExists(folder_ + L"\\tg.id"));

  g_posted.clear();
  ASSERT_FALSE(app_test::PlaceProgram(app_test::DemoPackage(), package_).empty());
  job_.launcherPath = folder_ + L"\\KeltoLauncher.exe";
  Run();
  ASSERT_TRUE(Posted(WM_CLOSE));
  EXPECT_TRUE(old->Wait(5000)) << "the old game still runs";
  EXPECT_TRUE(other->IsRunning()) << "a program of the folder beside it was ended";
  EXPECT_FALSE(FileExists(running));
  EXPECT_FALSE(FolderExists(folder_ + L"\\patch"));
  for (const wchar_t* name : {L"ywupdate.ini", L"uninst.exe", L"tg.id", L"GameSettings.ini"}) {
    EXPECT_FALSE(FileExists(folder_ + L"\\" + name)) << WideToUtf8(name);
  }
  EXPECT_GT(FileSizeOf(folder_ + L"\\KeltoLauncher.exe"), 5) << "the package's own file";
  EXPECT_TRUE(FileExists(folder_ + L"\\存档\\save.dat")) << "the player's file";
}

}  // namespace
