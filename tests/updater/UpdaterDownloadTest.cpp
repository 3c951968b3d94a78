// The update module's package download against the test server, under Wine: the partial file
// named after the version, its replacement of "qvinstaller.exe", the second partial file when
// the first is held, progress, failures and Stop.
#include "updater/Updater.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/CommonUtils.h"
#include "support/MessagePump.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "updater/UpdaterFixture.h"

using testing_support::FaultRule;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;
using testing_support::ReadBinaryFile;
using testing_support::WriteBinaryFile;
using updater_test::Report;

namespace {

class UpdaterDownload : public updater_test::UpdaterTest {
 protected:
  // The first partial file cannot be opened: the run succeeds through the second one, with
  // one request and no report of the first failure.
  void ExpectSuccessThroughTheSecondPartialFile() {
    std::unique_ptr<Updater> updater;
    ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));
    ASSERT_EQ(listener_.Count(Report::kFinished), 1u);
    EXPECT_TRUE(FinishedWith(0, 0, L""));
    EXPECT_EQ(updater->partFile(), PartFile(L".tmptmp"));
    EXPECT_TRUE(ReadBinaryFile(PackageFile()) == package_);
    EXPECT_FALSE(testing_support::FileExists(PartFile(L".tmptmp")));
    EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 1u);
  }
};

// Opens `path` the way another program that holds a file does: no sharing at all.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldFile() {
    if (valid()) ::CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

size_t IndexOf(const std::vector<Report>& reports, Report::Kind kind) {
  for (size_t i = 0; i < reports.size(); ++i) {
    if (reports[i].kind == kind) return i;
  }
  return reports.size();
}

TEST_F(UpdaterDownload, ThePackageReplacesAnExistingOne) {
  ASSERT_TRUE(WriteBinaryFile(PackageFile(), "the package of an earlier version"));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));

  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_TRUE(ReadBinaryFile(PackageFile()) == package_);
  // Only the package is left: the partial file became it, the manifest copy is gone.
  EXPECT_EQ(FilesIn(dl_.path()), std::vector<std::wstring>{L"qvinstaller.exe"});
  EXPECT_EQ(updater->packageFile(), PackageFile());
  EXPECT_EQ(updater->partFile(), PartFile());
  EXPECT_FALSE(updater->downloading());

  // Manifest first, then progress, then the end, each once where once is meant.
  ASSERT_EQ(listener_.Count(Report::kManifest), 1u);
  ASSERT_EQ(listener_.Count(Report::kFinished), 1u);
  ASSERT_GE(listener_.Count(Report::kProgress), 1u);
  EXPECT_EQ(IndexOf(listener_.reports, Report::kManifest), 0u);
  EXPECT_EQ(listener_.reports.back().kind, Report::kFinished);
  for (const Report& report : listener_.reports) {
    if (report.kind != Report::kProgress) continue;
    EXPECT_EQ(report.total, static_cast<int64_t>(kPackageSize));
    EXPECT_GE(report.completed, 0);
    EXPECT_LE(report.completed, report.total);
  }
  const std::vector<testing_support::LoggedRequest> log = server_.RequestsFor("/pkg.bin");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].range, "");
}

// A partial file of the same version is continued; one of another version is left alone.
TEST_F(UpdaterDownload, ContinuesThePartialFileOfItsVersion) {
  ASSERT_TRUE(WriteBinaryFile(PartFile(), package_.substr(0, 40000)));
  const std::wstring otherVersion = dl_ / L"qvinstaller_0.9.tmp";
  ASSERT_TRUE(WriteBinaryFile(otherVersion, "partial bytes of version 0.9"));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));
  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_TRUE(ReadBinaryFile(PackageFile()) == package_);
  const std::vector<testing_support::LoggedRequest> log = server_.RequestsFor("/pkg.bin");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].range, "bytes=40000-");
  ASSERT_GE(listener_.Count(Report::kProgress), 1u);
  const size_t first = IndexOf(listener_.reports, Report::kProgress);
  EXPECT_EQ(listener_.reports[first].completed, 40000);
  EXPECT_EQ(listener_.reports[first].total, static_cast<int64_t>(kPackageSize));
  EXPECT_EQ(ReadBinaryFile(otherVersion), "partial bytes of version 0.9");
}

TEST_F(UpdaterDownload, MirrorsOfTheManifestAreTriedAfterItsUrl) {
  const std::wstring manifest = Serve(
      L"mirrors.txt",
      Manifest("/gone.bin", "1.0.3", server_.Url("/also-gone.bin") + ";" + server_.Url("/pkg.bin")));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifest}));
  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_TRUE(ReadBinaryFile(PackageFile()) == package_);
  EXPECT_EQ(server_.RequestsFor("/gone.bin").size(), 1u);
  EXPECT_EQ(server_.RequestsFor("/also-gone.bin").size(), 1u);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 1u);
}

// A failed download is reported with its error and "安装失败"; the empty partial file it
// left goes.
TEST_F(UpdaterDownload, AFailedDownloadIsReported) {
  const std::wstring manifest = Serve(L"gone.txt", Manifest("/gone.bin"));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifest}));
  ASSERT_EQ(listener_.Count(Report::kFinished), 1u);
  EXPECT_TRUE(FinishedWith(4, 404, L"安装失败"));
  EXPECT_EQ(listener_.Count(Report::kProgress), 0u);
  EXPECT_TRUE(FilesIn(dl_.path()).empty());
}

// A captive portal's page in place of the package is a network failure: it never becomes
// "qvinstaller.exe", and the partial file keeps its bytes for when the portal lets the
// player through.
TEST_F(UpdaterDownload, APortalPageNeverBecomesThePackage) {
  const std::string first = package_.substr(0, 40000);
  ASSERT_TRUE(WriteBinaryFile(PartFile(), first));
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(2).Html()));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));
  EXPECT_EQ(listener_.Last(Report::kManifest).type, 0);
  EXPECT_TRUE(FinishedWith(4, 511, L"安装失败"));
  EXPECT_EQ(FilesIn(dl_.path()), std::vector<std::wstring>{L"qvinstaller_1.0.3.tmp"});
  EXPECT_TRUE(ReadBinaryFile(PartFile()) == first);

  // The dialog's retry, the portal gone: the download goes on from the partial file's bytes.
  listener_.reports.clear();
  updater->nextUrlIndex = 0;
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_TRUE(ReadBinaryFile(PackageFile()) == package_);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").back().range, "bytes=40000-");
}

// Another program holds the partial file: the download starts over into a second partial
// file beside it, and the listener hears only of the success.
TEST_F(UpdaterDownload, AHeldPartialFileIsGivenUpForASecondOne) {
  HeldFile held(PartFile());
  ASSERT_TRUE(held.valid());
  ExpectSuccessThroughTheSecondPartialFile();
  EXPECT_TRUE(testing_support::FileExists(PartFile()));
}

// The same for a partial file that cannot be opened for writing at all (access denied; here
// a folder has its name: a read-only file does not refuse Wine running as root).
TEST_F(UpdaterDownload, APartialFileDeniedToWritersIsGivenUpForASecondOne) {
  ASSERT_TRUE(::CreateDirectoryW(PartFile().c_str(), nullptr));
  ExpectSuccessThroughTheSecondPartialFile();
  EXPECT_TRUE(testing_support::FolderExists(PartFile()));

  // The second partial file denied too: the denial is reported.
  ASSERT_TRUE(::CreateDirectoryW(PartFile(L".tmptmp").c_str(), nullptr));
  listener_.reports.clear();
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));
  ASSERT_EQ(listener_.Count(Report::kFinished), 1u);
  EXPECT_TRUE(FinishedWith(1, ERROR_ACCESS_DENIED, L"安装失败"));
}

// When the second partial file is held too, that is reported; nothing was downloaded.
TEST_F(UpdaterDownload, AHeldSecondPartialFileIsReported) {
  HeldFile held(PartFile());
  HeldFile heldToo(PartFile(L".tmptmp"));
  ASSERT_TRUE(held.valid() && heldToo.valid());
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));
  PumpMessagesFor(600);
  ASSERT_EQ(listener_.Count(Report::kFinished), 1u);
  EXPECT_TRUE(FinishedWith(1, ERROR_SHARING_VIOLATION, L"安装失败"));
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty());
}

// A package file that cannot be replaced: type 3 with the system's code; the complete
// partial file stays for the next attempt.
TEST_F(UpdaterDownload, APackageThatCannotBeReplacedIsReported) {
  ASSERT_TRUE(WriteBinaryFile(PackageFile(), "held by another program"));
  HeldFile held(PackageFile());
  ASSERT_TRUE(held.valid());
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));
  EXPECT_TRUE(FinishedWith(3, ERROR_SHARING_VIOLATION, L""));
  EXPECT_TRUE(ReadBinaryFile(PartFile()) == package_);
}

// A package of an earlier attempt that still runs is ended, then replaced.
TEST_F(UpdaterDownload, ARunningPackageIsEndedAndReplaced) {
  ASSERT_TRUE(::CopyFileW(testing_support::WindowsPathOfBuildFile(KELTO_RUNNING_PACKAGE_EXE).c_str(),
                          PackageFile().c_str(), FALSE));
  testing_support::RunningProcess running(testing_support::Quoted(PackageFile()));
  ASSERT_TRUE(running.started());
  ASSERT_TRUE(running.IsRunning());
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}));
  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_TRUE(running.Wait(5000));
  EXPECT_TRUE(ReadBinaryFile(PackageFile()) == package_);
}

// Progress snapshots stored faster than the window handles its messages reach the listener
// as the newest one only.
TEST_F(UpdaterDownload, ProgressSnapshotsCollapseIntoTheNewest) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Drip(20000)));
  auto updater = NewUpdater({manifestUrl_});
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count(Report::kProgress) > 0; }));
  const size_t before = listener_.reports.size();
  // Three snapshots as the engine hands them over, before the window runs again.
  Updater::OnPackageProgress(updater->helperWindow(), 100000, 11, 1);
  Updater::OnPackageProgress(updater->helperWindow(), 100000, 22, 2);
  Updater::OnPackageProgress(updater->helperWindow(), 100000, 33, 3);
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.reports.size() > before; }));
  EXPECT_EQ(listener_.reports[before].kind, Report::kProgress);
  EXPECT_EQ(listener_.reports[before].completed, 33);
  EXPECT_EQ(listener_.reports[before].speed, 3);
  PumpMessagesFor(300);
  for (const Report& report : listener_.reports) {
    EXPECT_NE(report.completed, 11);
    EXPECT_NE(report.completed, 22);
  }
  EXPECT_EQ(std::count_if(listener_.reports.begin(), listener_.reports.end(),
                          [](const Report& r) { return r.completed == 33; }),
            1);
  updater->Stop();
}

// Stop during the download: nothing more reaches the listener; the partial file stays for a
// later attempt to continue.
TEST_F(UpdaterDownload, StopDuringTheDownloadReportsNothingMore) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Drip(20000)));
  auto updater = NewUpdater({manifestUrl_});
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(PumpMessagesUntil([&] {
    const Report last = listener_.Last(Report::kProgress);
    return last.type == 0 && last.completed > 0;
  }));
  // A start meanwhile changes nothing: the download goes on.
  updater->nextUrlIndex = 0;
  EXPECT_FALSE(updater->Start());
  EXPECT_TRUE(updater->downloading());
  EXPECT_EQ(server_.RequestsFor("/qvinstall.txt").size(), 1u);

  HWND window = updater->helperWindow();
  EXPECT_FALSE(updater->manifestText().empty());
  updater->Stop();
  EXPECT_TRUE(updater->manifestText().empty());
  const size_t reports = listener_.reports.size();
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(updater->downloading());
  PumpMessagesFor(2500);
  EXPECT_EQ(listener_.reports.size(), reports);
  EXPECT_GT(testing_support::FileSizeOf(PartFile()), 0);
  EXPECT_FALSE(testing_support::FileExists(PackageFile()));
}

// Whatever the manifest's version holds, the partial file lies in the download folder and
// the download works; the listener gets the version as the manifest gave it.
TEST_F(UpdaterDownload, AHostileVersionStaysInTheDownloadFolder) {
  const std::wstring dir = dl_ / L"a\\b\\c";
  ASSERT_TRUE(CreateDir(dir));
  for (const std::string& version : {std::string("..\\..\\..\\evil"),
                                     std::string("../../x:y*z?\"<|>"), std::string(5000, '7')}) {
    listener_.reports.clear();
    const std::wstring manifest = Serve(L"hostile.txt", Manifest("/pkg.bin", version));
    std::unique_ptr<Updater> updater;
    ASSERT_TRUE(RunToEnd(&updater, {manifest}, dir));
    EXPECT_EQ(listener_.Last(Report::kManifest).text,
              testing_support::Utf8ToWide(version).substr(0, UpdateManifest::kMaxValueChars));
    EXPECT_TRUE(FinishedWith(0, 0, L"")) << version;
    EXPECT_EQ(ParentDir(updater->partFile()), dir) << version;
  }
  EXPECT_EQ(FilesIn(dl_.path()), std::vector<std::wstring>{L"a"});
  EXPECT_EQ(FilesIn(dl_ / L"a"), std::vector<std::wstring>{L"b"});
  EXPECT_EQ(FilesIn(dl_ / L"a\\b"), std::vector<std::wstring>{L"c"});
  EXPECT_EQ(FilesIn(dir), std::vector<std::wstring>{L"qvinstaller.exe"});
}

}  // namespace
