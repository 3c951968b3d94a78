// The install step on its worker thread, with the real demo package and launcher: the digest
// check, the package run into the folder, the wait for the displayed progress, the launcher
// started with the game number, the package deleted, the old install cleaned, and what the
// worker tells the window. The window here is a message-only window of the test that records
// what is posted to it; the test plays the install dialog's timer.
#include <windows.h>

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

// Records the messages posted to it.
class PostedMessages {
 public:
  PostedMessages() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KeltoInstallWorkerTestWindow";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~PostedMessages() { ::DestroyWindow(window_); }

  HWND hwnd() const { return window_; }
  bool Has(UINT message) const {
    return std::any_of(list.begin(), list.end(),
                       [&](const MSG& m) { return m.message == message; });
  }
  std::vector<UINT> Messages() const {
    std::vector<UINT> out;
    for (const MSG& m : list) out.push_back(m.message);
    return out;
  }

  std::vector<MSG> list;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PostedMessages*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && (message == WM_CLOSE || message >= WM_USER)) {
      self->list.push_back(MSG{window, message, wParam, lParam, 0, {}});
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
};

class InstallWorkerTest : public testing::Test {
 protected:
  void SetUp() override {
    package_ = temp_ / L"dl\\qvinstaller.exe";
    ASSERT_FALSE(app_test::PlaceProgram(app_test::DemoPackage(), package_).empty());
    digest_ = FileDigest(package_);
    ASSERT_EQ(digest_.size(), 32u);
    folder_ = temp_ / L"凯途网络\\凯途星联";
    job_.installDir = folder_;
    job_.packagePath = package_;
    job_.expectedDigest = digest_;
    job_.gameId = 30;
    job_.window = window_.hwnd();
  }

  // Runs a worker for job_ whose displayed progress is at its end already, until it closes
  // the window or gives the package up.
  CRefPtr<CInstallWorker> Run() {
    CRefPtr<CInstallWorker> worker = new CInstallWorker(job_);
    worker->installTicks = 900;
    EXPECT_TRUE(worker->Start());
    EXPECT_TRUE(PumpMessagesUntil(
        [&] { return window_.Has(WM_CLOSE) || window_.Has(msg::kPackageUnusable); }, 90000));
    return worker;
  }
  bool Unpacked() const { return FileExists(folder_ + L"\\bin\\game.dat"); }

  TempFolder temp_{L"worker"};
  PostedMessages window_;
  std::wstring package_, digest_, folder_;
  CInstallWorker::TJob job_;
};

TEST_F(InstallWorkerTest, RunsThePackageWaitsForTheProgressThenStartsTheLauncher) {
  // A folder ending in a backslash, and a digest in capitals.
  job_.installDir = folder_ + L"\\";
  std::transform(job_.expectedDigest.begin(), job_.expectedDigest.end(),
                 job_.expectedDigest.begin(), ::towupper);
  CRefPtr<CInstallWorker> worker = new CInstallWorker(job_);
  ASSERT_TRUE(worker->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] { return worker->finishing.load(); }, 90000));
  EXPECT_EQ(window_.Messages(), std::vector<UINT>{msg::kPackageRunning});
  EXPECT_TRUE(Unpacked());
  EXPECT_TRUE(FileExists(folder_ + L"\\KeltoLauncher.exe"));

  // Until the displayed progress has reached its end nothing more happens.
  worker->installTicks = 899;
  PumpMessagesFor(400);
  EXPECT_FALSE(window_.Has(WM_CLOSE));
  EXPECT_FALSE(FileExists(folder_ + L"\\KeltoLauncher.started.txt"));
  EXPECT_TRUE(FileExists(package_));

  worker->installTicks = 900;
  ASSERT_TRUE(PumpMessagesUntil([&] { return window_.Has(WM_CLOSE); }, 30000));
  EXPECT_EQ(window_.list.back().message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(window_.list.back().wParam, 1u);
  const app_test::LauncherStart start = WaitForLauncherStart(folder_);
  ASSERT_TRUE(start.found);
  EXPECT_EQ(start.commandLine, WideToUtf8(folder_ + L"\\KeltoLauncher.exe -i \"30\" -d"));
  EXPECT_EQ(start.id, "30");
  EXPECT_TRUE(start.d);
  EXPECT_FALSE(FileExists(package_)) << "the package stays after the install";
}

TEST_F(InstallWorkerTest, WithoutTheLauncherOptionInstallsAndStillDeletesThePackage) {
  job_.runLauncher = false;
  job_.expectedDigest.clear();  // no digest: no check
  Run();
  EXPECT_EQ(window_.Messages(), (std::vector<UINT>{msg::kPackageRunning, WM_CLOSE}));
  EXPECT_TRUE(Unpacked());
  EXPECT_FALSE(FileExists(package_));
  EXPECT_FALSE(WaitForLauncherStart(folder_, 1500).found);
}

// The player quit: a worker stopped before its package was found good changes nothing; one
// stopped while it waits for the displayed progress deletes the package it ran and starts no
// launcher. Either way the thread ends without the window advancing anything.
TEST_F(InstallWorkerTest, AStoppedWorkerStartsNothingNew) {
  CRefPtr<CInstallWorker> early = new CInstallWorker(job_);
  early->Stop();
  ASSERT_TRUE(early->Start());
  early->WaitUntilDone();
  PumpMessagesFor(100);
  EXPECT_TRUE(window_.list.empty());
  EXPECT_FALSE(FolderExists(folder_));
  EXPECT_TRUE(FileExists(package_));

  CRefPtr<CInstallWorker> late = new CInstallWorker(job_);
  ASSERT_TRUE(late->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] { return late->finishing.load(); }, 90000));
  late->Stop();
  late->WaitUntilDone();
  EXPECT_LT(late->installTicks.load(), 900);
  EXPECT_TRUE(Unpacked());
  EXPECT_FALSE(FileExists(package_)) << "the package that ran stayed";
  EXPECT_FALSE(WaitForLauncherStart(folder_, 1500).found);
}

TEST_F(InstallWorkerTest, APackageThatDiffersFromItsDigestNeverRuns) {
  job_.expectedDigest = L"0123456789abcdef0123456789abcdef";
  Run();
  EXPECT_EQ(window_.Messages(), std::vector<UINT>{msg::kPackageUnusable});
  EXPECT_FALSE(FolderExists(folder_));
  EXPECT_TRUE(FileExists(package_)) << "a package that did not run is kept";

  // One that is not there at all is as unusable.
  window_.list.clear();
  job_.expectedDigest = digest_;
  job_.packagePath = temp_ / L"dl\\missing\\qvinstaller.exe";
  Run();
  EXPECT_EQ(window_.Messages(), std::vector<UINT>{msg::kPackageUnusable});
  EXPECT_FALSE(FolderExists(folder_));
}

TEST_F(InstallWorkerTest, APackageThatCannotStartIsUnusable) {
  ASSERT_TRUE(WriteBinaryFile(package_, "this is no program"));
  job_.expectedDigest.clear();
  Run();
  EXPECT_EQ(window_.Messages(), (std::vector<UINT>{msg::kPackageRunning, msg::kPackageUnusable}));
  EXPECT_FALSE(FolderExists(folder_));
  EXPECT_FALSE(window_.Has(WM_CLOSE));
}

// An install over the launcher's own folder first ends the old game's processes there and
// removes its program files; the package then unpacks over what is left.
TEST_F(InstallWorkerTest, InstallOverTheOldLauncherCleansItsFolderFirst) {
  const std::wstring running = app_test::PlaceHelper(folder_ + L"\\bin\\游戏.exe");
  const std::wstring sibling = app_test::PlaceHelper(folder_ + L"2\\游戏.exe");
  ASSERT_FALSE(running.empty());
  ASSERT_FALSE(sibling.empty());
  for (const wchar_t* name : CInstallWorker::kOldInstallFiles) {
    ASSERT_TRUE(WriteTestFile(folder_ + L"\\" + name, 5));
  }
  ASSERT_TRUE(WriteTestFile(folder_ + L"\\patch\\1\\p.dat"));
  ASSERT_TRUE(WriteTestFile(folder_ + L"\\存档\\save.dat"));
  auto old = app_test::StartSleeper(running);
  auto other = app_test::StartSleeper(sibling);
  ASSERT_TRUE(app_test::WaitUntilFound(folder_ + L"\\bin", old->id()));
  ASSERT_TRUE(app_test::WaitUntilFound(folder_ + L"2", other->id()));

  job_.launcherFound = true;
  job_.launcherPath = folder_ + L"\\KeltoLauncher.exe";
  job_.runLauncher = false;
  Run();
  ASSERT_TRUE(window_.Has(WM_CLOSE));
  EXPECT_TRUE(app_test::Ends(old->id(), 5000)) << "the old game still runs";
  EXPECT_TRUE(other->IsRunning()) << "a program of the folder beside it was ended";
  EXPECT_FALSE(FileExists(running));
  EXPECT_FALSE(FolderExists(folder_ + L"\\patch"));
  for (const wchar_t* name : {L"ywupdate.ini", L"uninst.exe", L"tg.id", L"preference.ini",
                              L"GameSettings.ini"}) {
    EXPECT_FALSE(FileExists(folder_ + L"\\" + name)) << WideToUtf8(name);
  }
  // The package's own files replace the old ones; the player's files stay.
  EXPECT_GT(FileSizeOf(folder_ + L"\\KeltoLauncher.exe"), 5);
  EXPECT_GT(FileSizeOf(folder_ + L"\\Launcher.ini"), 5);
  EXPECT_TRUE(Unpacked());
  EXPECT_TRUE(FileExists(folder_ + L"\\存档\\save.dat"));
  other->Terminate();
}

// An install into another folder than the old launcher's touches neither folder's programs.
TEST_F(InstallWorkerTest, InstallElsewhereLeavesOtherFoldersAlone) {
  const std::wstring running = app_test::PlaceHelper(folder_ + L"\\bin\\游戏.exe");
  ASSERT_FALSE(running.empty());
  ASSERT_TRUE(WriteTestFile(folder_ + L"\\ywupdate.ini"));
  auto old = app_test::StartSleeper(running);
  ASSERT_TRUE(app_test::WaitUntilFound(folder_, old->id()));

  job_.launcherFound = true;
  job_.launcherPath = temp_ / L"旧版\\KeltoLauncher.exe";
  job_.runLauncher = false;
  Run();
  ASSERT_TRUE(window_.Has(WM_CLOSE));
  EXPECT_TRUE(old->IsRunning());
  EXPECT_TRUE(FileExists(running));
  EXPECT_TRUE(FileExists(folder_ + L"\\ywupdate.ini"));
  old->Terminate();
}

}  // namespace
