// The update module against the test server, up to the manifest's outcome: its helper window,
// the fetch from the first address and then the second, and what a fetch that yields no
// usable manifest reports. Real engine, real server, real window messages, under Wine.
#include "updater/Updater.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "http/HttpEngine.h"
#include "runtime/WindowMessages.h"
#include "support/MessagePump.h"
#include "support/TestFiles.h"
#include "updater/UpdaterFixture.h"

using testing_support::FaultRule;
using testing_support::PumpMessagesFor;
using updater_test::Report;

namespace {

using UpdaterManifest = updater_test::UpdaterTest;

constexpr const wchar_t* kClassPrefix = L"_UPDATE_MODULE_HELPER_WINDOW_KELTO";

TEST_F(UpdaterManifest, EachModuleHasAHelperWindowOfItsOwn) {
  auto first = NewUpdater({manifestUrl_});
  auto second = NewUpdater({manifestUrl_});
  const std::wstring prefix = kClassPrefix;
  ASSERT_EQ(first->className().substr(0, prefix.size()), prefix);
  const int number = std::stoi(first->className().substr(prefix.size()));
  EXPECT_GE(number, 1);
  EXPECT_EQ(second->className(), prefix + std::to_wstring(number + 1));

  // A message-only window of this process, with the module's class.
  HWND window = first->helperWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(testing_support::FindOwnMessageWindow(first->className().c_str()), window);
  EXPECT_EQ(::GetParent(window), nullptr);

  // Reserved messages and timers are answered with 0; a progress message without a snapshot
  // and a download's end while none runs report nothing.
  for (UINT message = WM_USER + 1003; message <= WM_USER + 1007; ++message) {
    EXPECT_EQ(::SendMessageW(window, message, 5, 5), 0);
  }
  EXPECT_EQ(::SendMessageW(window, WM_TIMER, 1, 0), 0);
  EXPECT_EQ(::SendMessageW(window, msg::kUpdaterProgress, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(window, msg::kUpdaterPackageDone, 0, 0), 0);
  EXPECT_TRUE(listener_.reports.empty());

  // Stop destroys the window and unregisters its class; the module then starts nothing.
  first->Stop();
  EXPECT_EQ(first->helperWindow(), nullptr);
  EXPECT_FALSE(::IsWindow(window));
  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  EXPECT_FALSE(::GetClassInfoExW(::GetModuleHandleW(nullptr), first->className().c_str(), &info));
  EXPECT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), second->className().c_str(), &info));
  first->Stop();
  EXPECT_FALSE(first->Start());
  PumpMessagesFor(600);
  EXPECT_TRUE(listener_.reports.empty());
  EXPECT_TRUE(server_.Requests().empty());
}

// A libcurl failure on the first address (three tries), then the second answers: one
// manifest report, of success, and the download goes on from there.
TEST_F(UpdaterManifest, FirstAddressFailingThenTheSecond) {
  const std::wstring primary = Serve(L"primary.txt", Manifest());
  ASSERT_TRUE(AddRule(FaultRule("/primary.txt").ResetConnection()));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {primary, manifestUrl_}));

  ASSERT_EQ(listener_.Count(Report::kManifest), 1u);
  const Report manifest = listener_.Last(Report::kManifest);
  EXPECT_EQ(manifest.type, 0);
  EXPECT_EQ(manifest.code, 0);
  EXPECT_EQ(manifest.text, kVersion);
  EXPECT_EQ(manifest.digest, testing_support::Utf8ToWide(digest_));
  EXPECT_EQ(server_.RequestsFor("/primary.txt").size(), 3u);
  EXPECT_EQ(server_.RequestsFor("/qvinstall.txt").size(), 1u);
  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_TRUE(testing_support::ReadBinaryFile(PackageFile()) == package_);
  EXPECT_EQ(updater->nextUrlIndex, 2);
  EXPECT_EQ(updater->manifest().packageUrl, server_.WideUrl("/pkg.bin"));
  EXPECT_EQ(updater->manifest().ExpectedSize(), kPackageSize);
  EXPECT_EQ(updater->manifestText().substr(0, 11), L"[Install]\r\n");
}

// Both fail: the second address's error is reported, and no download starts.
TEST_F(UpdaterManifest, BothAddressesFailing) {
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Status(503)));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {server_.WideUrl("/missing.txt"), manifestUrl_}));
  PumpMessagesFor(600);
  ASSERT_EQ(listener_.reports.size(), 1u);
  EXPECT_EQ(listener_.reports[0].kind, Report::kManifest);
  EXPECT_EQ(listener_.reports[0].type, 4);
  EXPECT_EQ(listener_.reports[0].code, 503);
  EXPECT_EQ(listener_.reports[0].text, L"");
  EXPECT_EQ(listener_.reports[0].digest, L"");
  EXPECT_EQ(server_.RequestsFor("/missing.txt").size(), 1u);
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty());
  EXPECT_FALSE(updater->downloading());
  EXPECT_TRUE(FilesIn(dl_.path()).empty());
}

// The dialog's automatic retry: the same module, from the first address again.
TEST_F(UpdaterManifest, StartedAgainFromTheFirstAddress) {
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Times(2).Status(503)));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_, manifestUrl_}));
  EXPECT_EQ(listener_.Last(Report::kManifest).code, 503);
  EXPECT_FALSE(updater->Start()) << "past the last address";

  listener_.reports.clear();
  updater->nextUrlIndex = 0;
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForEnd());
  ASSERT_EQ(listener_.Count(Report::kManifest), 1u);
  EXPECT_EQ(listener_.Last(Report::kManifest).type, 0);
  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_EQ(updater->nextUrlIndex, 1);
  EXPECT_TRUE(testing_support::ReadBinaryFile(PackageFile()) == package_);
}

// A captive portal or a proxy answers with its own page: each address fails as a network
// problem (HTTP status 511), so the second address is tried too; nothing is downloaded.
TEST_F(UpdaterManifest, APortalPageInPlaceOfTheManifestFailsEachAddress) {
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Html()));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_, manifestUrl_}));
  PumpMessagesFor(600);
  ASSERT_EQ(listener_.reports.size(), 1u);
  EXPECT_EQ(listener_.reports[0].kind, Report::kManifest);
  EXPECT_EQ(listener_.reports[0].type, 4);
  EXPECT_EQ(listener_.reports[0].code, 511);
  EXPECT_FALSE(updater->downloading());
  EXPECT_EQ(server_.RequestsFor("/qvinstall.txt").size(), 2u);
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty());
  EXPECT_TRUE(FilesIn(dl_.path()).empty()) << "no partial file, no manifest copy";
}

// An empty answer names nothing: the manifest names no package, which is reported as such.
TEST_F(UpdaterManifest, AnAnswerThatNamesNoPackageStartsNoDownload) {
  const std::wstring empty = Serve(L"empty.txt", "");
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {empty}));
  PumpMessagesFor(600);
  ASSERT_EQ(listener_.reports.size(), 1u);
  EXPECT_EQ(listener_.reports[0].kind, Report::kManifest);
  EXPECT_EQ(listener_.reports[0].type, 3);
  EXPECT_EQ(listener_.reports[0].code, UpdateManifest::kNoPackageAddress);
  EXPECT_FALSE(updater->downloading());
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty());
  EXPECT_TRUE(FilesIn(dl_.path()).empty()) << "no partial file, no manifest copy";
}

// A download folder that cannot take the manifest's copy: a system error, no download.
TEST_F(UpdaterManifest, AFolderThatCannotTakeTheManifestIsASystemError) {
  ASSERT_TRUE(testing_support::WriteBinaryFile(dl_ / L"file", "not a folder"));
  std::unique_ptr<Updater> updater;
  ASSERT_TRUE(RunToEnd(&updater, {manifestUrl_}, dl_ / L"file\\dl"));
  ASSERT_EQ(listener_.reports.size(), 1u);
  EXPECT_EQ(listener_.reports[0].type, 1);
  EXPECT_EQ(listener_.reports[0].code, ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty());
}

// With the command family down the fetch cannot start: that is reported, not left hanging.
// (A request keeps the scheduler it was made with: the family goes down first.)
TEST_F(UpdaterManifest, AnEngineThatTakesNoTransferIsReported) {
  CHttpEngine::ShutdownCommandFamily();
  auto updater = NewUpdater({manifestUrl_, manifestUrl_});
  EXPECT_FALSE(updater->Start());
  ASSERT_TRUE(WaitForEnd(10000));
  ASSERT_EQ(listener_.reports.size(), 1u);
  EXPECT_EQ(listener_.reports[0].type, 3);
  EXPECT_EQ(listener_.reports[0].code, Updater::kEngineRefused);
  EXPECT_EQ(updater->nextUrlIndex, 2);
  EXPECT_TRUE(server_.Requests().empty());
  updater.reset();
  ASSERT_TRUE(CHttpEngine::StartCommandFamily());
}

TEST_F(UpdaterManifest, StopBeforeTheManifestArrivesReportsNothing) {
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Stall(1.0)));
  auto updater = NewUpdater({manifestUrl_, manifestUrl_});
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(testing_support::PumpMessagesUntil(
      [&] { return !server_.RequestsFor("/qvinstall.txt").empty(); }, 10000));
  updater->Stop();
  PumpMessagesFor(2000);
  EXPECT_TRUE(listener_.reports.empty());
  EXPECT_EQ(server_.RequestsFor("/qvinstall.txt").size(), 1u);
}

// A start while the fetch is under way leaves the fetch alone and skips its own address.
TEST_F(UpdaterManifest, AStartDuringTheFetchSkipsItsAddress) {
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Times(1).Stall(0.5)));
  const std::wstring second = Serve(L"second.txt", Manifest());
  auto updater = NewUpdater({manifestUrl_, second});
  ASSERT_TRUE(updater->Start());
  EXPECT_TRUE(updater->Start());
  EXPECT_EQ(updater->nextUrlIndex, 2);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(listener_.Count(Report::kManifest), 1u);
  EXPECT_TRUE(FinishedWith(0, 0, L""));
  EXPECT_EQ(server_.RequestsFor("/qvinstall.txt").size(), 1u);
  EXPECT_TRUE(server_.RequestsFor("/second.txt").empty());
}

// The dialog may destroy the module from inside a report (a new attempt replaces it).
TEST_F(UpdaterManifest, DestroyedFromInsideItsOwnReport) {
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Status(404)));
  auto updater = NewUpdater({manifestUrl_});
  listener_.then = [&](const Report&) { updater.reset(); };
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(updater, nullptr);
  PumpMessagesFor(600);
  EXPECT_EQ(listener_.reports.size(), 1u);
}

}  // namespace
