// The install location and the install step (with the demo package and
// launcher) on real files, processes, the registry and the test drives. The worker posts to a
// message-only window of the test, which plays the dialog's timer through installTicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "app/InstallLocation.h"
#include "app/InstallWorker.h"
#include "platform/CommonUtils.h"
#include "runtime/WindowMessages.h"
#include "support/MessagePump.h"

using namespace app_test;
using namespace install_location;
using namespace testing_support;

namespace {

// A 32-bit launcher writes the 32-bit view, asked first; the text ends at its length or null.
TEST(LauncherRecords, TheRegistrysThirtyTwoBitViewFirstAndItsTextToItsEnd) {
  RemoveLauncherRecords();
  TempFolder temp;
  const std::wstring older = temp / L"older", newer = temp / L"凯途星联";
  ASSERT_TRUE(WriteTestFile(older + L"\\KeltoLauncher.exe"));
  ASSERT_TRUE(WriteTestFile(newer + L"\\KeltoLauncher.exe"));
  InstallPaths paths;
  const auto bytes = static_cast<DWORD>(newer.size() * sizeof(wchar_t));
  EXPECT_TRUE(WriteRegistryRecord(newer, KEY_WOW64_64KEY, bytes));
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.launcherPath, newer + L"\\KeltoLauncher.exe");
  EXPECT_TRUE(WriteRegistryRecord(older + std::wstring(1, L'\0') + L"junk", KEY_WOW64_32KEY));
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.launcherPath, older + L"\\KeltoLauncher.exe");
  RemoveLauncherRecords();
}

// Exactly 150 MiB free is enough for the folder the player picks, not for the one-click
// choice, which then takes the next drive of D, E, C, F, G that qualifies. Hidden mode installs
// beside the installer's folder, unless that is a drive root.
TEST(TestDrives, FoldersAreChosenByDriveOrderAndSpace) {
  if (!TestDrivesPresent()) GTEST_SKIP() << "needs the harness's test drives";
  ClearInstallTraces();
  ASSERT_EQ(FreeBytes(L"D:"), 160ull << 20) << "D: should be an empty 160 MiB tmpfs";
  ASSERT_TRUE(WriteTestFile(L"D:\\filler.bin", 10ull << 20));
  EXPECT_EQ(QuickInstallDir(InstallPaths()), L"C:\\凯途网络\\凯途星联");
  EXPECT_EQ(ValidateInstallDir(L"D:\\凯途").result, kDirAccepted);
  ASSERT_TRUE(WriteTestFile(L"D:\\one-more-page.bin", 4096));
  EXPECT_EQ(ValidateInstallDir(L"D:\\凯途").result, kDirNoSpace);
  EXPECT_EQ(SilentInstallDirFor(L"F:"), L"C:\\凯途网络\\凯途星联");
  ClearInstallTraces();
}

// What the worker posted to its window.
std::vector<UINT> g_posted;

LRESULT CALLBACK RecordPosted(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_CLOSE && message < WM_USER) {
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  g_posted.push_back(message);
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
    ASSERT_FALSE(PlaceProgram(DemoPackage(), package_).empty());
    folder_ = temp_ / L"凯途网络\\凯途星联";
    job_ = {folder_, package_, L"", L"", false, L"", 30, true, window_};
  }
  void TearDown() override { ::DestroyWindow(window_); }

  // Runs a worker whose displayed progress is at its end, until it closes or gives up.
  void Run() {
    CRefPtr<CInstallWorker> worker = new CInstallWorker(job_);
    worker->installTicks = 900;
    EXPECT_TRUE(worker->Start());
    EXPECT_TRUE(PumpMessagesUntil([&] { return Posted(WM_CLOSE) || Posted(msg::kPackageUnusable); },
                                  90000));
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
  for (wchar_t& c : job_.expectedDigest) c = ::towupper(c);
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
  EXPECT_EQ(WaitForLauncherStart(folder_).commandLine,
            WideToUtf8(folder_ + L"\\KeltoLauncher.exe -i \"30\" -d"));
  EXPECT_FALSE(FileExists(package_)) << "the package stays after the install";
}

// A package that matches its MD5 but not its SHA-256 never runs; one that cannot even start
// is unusable, not an install that installed nothing.
TEST_F(InstallWorkerTest, UnusablePackagesNeverRun) {
  job_.expectedDigest = FileDigest(package_);
  // The digest made while the package downloaded is not taken for a file that programs below
  // administrator may change: here the very same file, rewritten since.
  std::string bytes = ReadBinaryFile(package_);
  job_.streamedDigest = std::make_shared<CPrefixDigest>(package_, false);
  std::wstring md5;
  ASSERT_TRUE(job_.streamedDigest->Wait(bytes.size(), &md5, nullptr));
  bytes[bytes.size() / 2] ^= 0x55;
  ASSERT_TRUE(WriteBinaryFile(package_, bytes));
  ASSERT_TRUE(job_.streamedDigest->IsFile(
      win::ScopedHandle(::CreateFileW(package_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr))
          .get()));
  Run();
  EXPECT_EQ(g_posted, std::vector<UINT>{msg::kPackageUnusable});
  g_posted.clear();
  job_.streamedDigest.reset();
  ASSERT_FALSE(PlaceProgram(DemoPackage(), package_).empty());
  job_.expectedDigest = FileDigest(package_);
  job_.expectedSha256 = std::wstring(64, L'0');
  Run();
  EXPECT_EQ(g_posted, std::vector<UINT>{msg::kPackageUnusable});
  g_posted.clear();
  job_.expectedDigest.clear();
  job_.expectedSha256.clear();
  ASSERT_TRUE(WriteBinaryFile(package_, "this is no program"));
  Run();
  EXPECT_EQ(g_posted, (std::vector<UINT>{msg::kPackageRunning, msg::kPackageUnusable}));
  EXPECT_FALSE(FolderExists(folder_));
}

// Stopped before its package was found good, a worker changes nothing and tells the window
// nothing (its handle may be another program's by then); once its window has gone it waits
// no longer for the displayed progress, and deletes the package it ran. A package that hangs
// where nobody sees the install (here a window never shown) is ended as unusable.
TEST_F(InstallWorkerTest, AStoppedWorkerOrAWindowGoneEndsTheStep) {
  for (const wchar_t* digest : {L"", L"00000000000000000000000000000000"}) {
    job_.expectedDigest = digest;
    CRefPtr<CInstallWorker> early = new CInstallWorker(job_);
    early->Stop();
    ASSERT_TRUE(early->Start());
    early->WaitUntilDone();
  }
  PumpMessagesFor(100);
  EXPECT_TRUE(g_posted.empty());
  EXPECT_FALSE(FolderExists(folder_));

  job_.expectedDigest.clear();
  job_.runLauncher = false;
  CRefPtr<CInstallWorker> late = new CInstallWorker(job_);
  ASSERT_TRUE(late->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] { return late->finishing.load(); }, 90000));
  ::DestroyWindow(window_);
  ASSERT_TRUE(PumpMessagesUntil([&] { return !FileExists(package_); }, 10000));
  late->WaitUntilDone();
  EXPECT_TRUE(Unpacked());

  SetUp();
  ASSERT_FALSE(PlaceProgram(HelperProgram(), package_).empty());
  job_.packageIdleLimitMs = 1500;
  Run();
  EXPECT_EQ(g_posted, (std::vector<UINT>{msg::kPackageRunning, msg::kPackageUnusable}));
  EXPECT_EQ(FindProcessInFolder(temp_ / L"dl"), 0u) << "the hung package still runs";
}

// An install elsewhere touches no old program; one over the old launcher's folder first ends
// its processes (not those of "凯途星联2") and removes its program files.
TEST_F(InstallWorkerTest, OnlyTheOldLaunchersOwnFolderIsCleaned) {
  const std::wstring running = folder_ + L"\\bin\\游戏.exe";
  auto old = StartSleeperAt(running);
  auto older = StartSleeperAt(folder_ + L"\\bin\\更早.exe");
  auto oldest = StartSleeperAt(folder_ + L"\\bin\\最早.exe");
  auto other = StartSleeperAt(folder_ + L"2\\游戏.exe");
  for (const wchar_t* name : CInstallWorker::kOldInstallFiles) {
    ASSERT_TRUE(WriteTestFile(folder_ + L"\\" + name, 5));
  }
  ASSERT_TRUE(WriteTestFile(folder_ + L"\\patch\\1\\p.dat"));
  ASSERT_TRUE(WriteTestFile(folder_ + L"\\存档\\save.dat"));
  // A process just started shows its executable's path only once it is loaded.
  ASSERT_TRUE(PumpMessagesUntil([&] { return FindProcessInFolder(folder_) != 0; }, 5000));
  ASSERT_TRUE(
      PumpMessagesUntil([&] { return FindProcessInFolder(folder_ + L"2") == other->id(); }, 5000));
  job_.launcherFound = true;
  job_.runLauncher = false;

  job_.launcherPath = temp_ / L"旧版\\KeltoLauncher.exe";
  Run();
  ASSERT_TRUE(Posted(WM_CLOSE));
  EXPECT_TRUE(old->IsRunning());
  EXPECT_TRUE(FileExists(folder_ + L"\\tg.id"));

  // While the old game is stopped (a tenth of a second each), the package checked to run
  // next is held against another program that tries to change it.
  g_posted.clear();
  ASSERT_FALSE(PlaceProgram(DemoPackage(), package_).empty());
  job_.launcherPath = folder_ + L"\\KeltoLauncher.exe";
  win::ScopedHandle now(::CreateEventW(nullptr, TRUE, FALSE, L"KeltoSwapNow"));
  RunningProcess swap(Quoted(HelperProgram()) + L" swap " + Quoted(package_));
  CRefPtr<CInstallWorker> worker = new CInstallWorker(job_);
  worker->installTicks = 900;
  ASSERT_TRUE(worker->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] { return Posted(msg::kPackageRunning); }, 30000));
  ::SetEvent(now.get());
  DWORD swapped = 9;
  EXPECT_TRUE(swap.Wait(10000, &swapped));
  EXPECT_EQ(swapped, 0u) << "the package could be written to or replaced before it ran";
  ASSERT_TRUE(PumpMessagesUntil([&] { return Posted(WM_CLOSE); }, 90000));
  EXPECT_TRUE(old->Wait(5000)) << "the old game still runs";
  EXPECT_TRUE(other->IsRunning()) << "a program of the folder beside it was ended";
  EXPECT_FALSE(FileExists(running));
  EXPECT_FALSE(FolderExists(folder_ + L"\\patch"));
  for (const wchar_t* name : {L"ywupdate.ini", L"uninst.exe", L"tg.id", L"GameSettings.ini"}) {
    EXPECT_FALSE(FileExists(folder_ + L"\\" + name)) << WideToUtf8(name);
  }
  EXPECT_TRUE(FileExists(folder_ + L"\\存档\\save.dat")) << "the player's file";
}

}  // namespace
