// The update module end to end under Wine, against the test server: the manifest from the
// first address that answers, the package into a partial file named after its version and
// then in place as "qvinstaller.exe", and what each failure reports. The modules of a test
// run side by side, so that each wait for the engine's retry timer serves them all.
#include "updater/UpdaterFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CommonUtils.h"

using testing_support::FaultRule;
using testing_support::WideToUtf8;
using testing_support::ReadBinaryFile;
using testing_support::WriteBinaryFile;
using updater_test::UpdateRun;

namespace {

using Texts = std::vector<std::wstring>;
const Texts kInstalled = {L"manifest 0 0 1.0.3", L"finished 0 0"};

// Opens `path` as another program that holds a file does: sharing nothing.
win::ScopedHandle Hold(const std::wstring& path) {
  return win::ScopedHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

using UpdaterModule = updater_test::UpdaterTest;

// Manifests from the first address that answers, packages, the failures that have to be
// reported, and starts and stops as the dialog makes them.
TEST_F(UpdaterModule, EveryOutcomeAndTheDialogsStartsAndStops) {
  // With the command family down the fetch cannot start: that is reported, and the next
  // address tried, not left hanging.
  CHttpEngine::ShutdownCommandFamily();
  UpdateRun& refused = Add({Manifest("refused"), Manifest("refused")});
  EXPECT_FALSE(refused.module->Start());
  ASSERT_TRUE(FinishAll());
  EXPECT_EQ(refused.module->nextUrlIndex, 2);
  ASSERT_TRUE(CHttpEngine::StartCommandFamily());

  const std::string first = package_.substr(0, 40000);
  std::vector<win::ScopedHandle> held;
  // The first address fails three times, the second answers; the package replaces one of
  // an earlier version, and only it is left.
  UpdateRun& fallback = Add({Manifest("broken"), Manifest("fallback")});
  AddRule(FaultRule("/broken.txt").CloseAfter(10));
  ASSERT_TRUE(WriteBinaryFile(fallback / L"qvinstaller.exe", "an earlier package"));
  // A page in place of the manifest (a captive portal's, a proxy's) fails each address; a
  // text that names no package starts nothing; a download folder that cannot take the
  // manifest's copy is a system error.
  UpdateRun& portal = Add({Manifest("portal"), Manifest("portal")});
  AddRule(FaultRule("/portal.txt").Html());
  ASSERT_TRUE(WriteBinaryFile(root_ / L"empty.txt", ""));
  UpdateRun& empty = Add({server_.WideUrl("/empty.txt")});
  // A manifest may name its package by mirrors only.
  UpdateRun& mirrored = Add({Manifest("mirrored", "1.0.3", "murl")});
  UpdateRun& nofolder = Add({Manifest("nofolder")}, root_ / L"pkg.bin\\dl");
  // A page in place of the package never becomes it, nor costs the partial file its bytes.
  UpdateRun& page = Add({Manifest("page")});
  AddRule(FaultRule("/page.bin").Html());
  ASSERT_TRUE(WriteBinaryFile(page / L"qvinstaller_1.0.3.tmp", first));
  // A partial file another program holds is given up once for a second one; when that is
  // held too, the failure is reported.
  UpdateRun& shared = Add({Manifest("shared")});
  held.push_back(Hold(shared / L"qvinstaller_1.0.3.tmp"));
  UpdateRun& blocked = Add({Manifest("blocked")});
  held.push_back(Hold(blocked / L"qvinstaller_1.0.3.tmp"));
  held.push_back(Hold(blocked / L"qvinstaller_1.0.3.tmptmp"));
  // Whatever the version holds, the partial file lies in the download folder.
  UpdateRun& hostile = Add({Manifest("hostile", "..\\..\\x:y*")});
  // The listener may destroy the module from inside its report; the progress it is handed
  // was taken before.
  UpdateRun& destroyed = Add({Manifest("destroyed")});
  AddRule(FaultRule("/destroyed.bin").Drip(40000));
  destroyed.then = [&destroyed] {
    if (!destroyed.progress.empty()) destroyed.module.reset();
  };
  // The dialog's retry starts a module again from its first address; a module past its last
  // address, with a download under way, or stopped, starts nothing; after Stop nothing more
  // is reported.
  UpdateRun& retried = Add({Manifest("retried"), Manifest("retried")});
  AddRule(FaultRule("/retried.txt").Times(2).Status(503));
  UpdateRun& stopped = Add({Manifest("stopped")});
  AddRule(FaultRule("/stopped.bin").Drip(20000));
  for (const auto& handle : held) ASSERT_TRUE(handle.valid());
  for (size_t i = 1; i < runs_.size(); ++i) ASSERT_TRUE(runs_[i].module->Start());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] {
    return retried.Ended() && !stopped.progress.empty() && stopped.progress.back() > 0;
  }));
  EXPECT_FALSE(retried.module->Start()) << "past the last address";
  retried.module->nextUrlIndex = 0;
  ASSERT_TRUE(retried.module->Start());
  stopped.module->nextUrlIndex = 0;
  EXPECT_FALSE(stopped.module->Start()) << "a download is under way";
  stopped.module->Stop();
  EXPECT_FALSE(stopped.module->Start());
  const size_t stoppedReports = stopped.reports.size() + stopped.progress.size();
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return retried.reports.size() == 3; }));
  ASSERT_TRUE(FinishAll());
  testing_support::PumpMessagesFor(1200);

  EXPECT_EQ(refused.reports, Texts{L"manifest 3 2102 "});
  EXPECT_EQ(fallback.reports, kInstalled);
  EXPECT_EQ(fallback.digest, testing_support::Utf8ToWide(digest_));
  EXPECT_EQ(server_.RequestsFor("/broken.txt").size(), 3u);
  EXPECT_FALSE(fallback.progress.empty());
  EXPECT_EQ(fallback.Files(), Texts{L"qvinstaller.exe"});
  EXPECT_TRUE(ReadBinaryFile(fallback / L"qvinstaller.exe") == package_);
  EXPECT_EQ(portal.reports, Texts{L"manifest 4 511 "});
  EXPECT_EQ(server_.RequestsFor("/portal.txt").size(), 2u);
  EXPECT_TRUE(portal.Files().empty());
  EXPECT_EQ(empty.reports, Texts{L"manifest 3 2101 "});
  EXPECT_TRUE(empty.Files().empty());
  EXPECT_EQ(mirrored.reports, kInstalled);
  EXPECT_EQ(nofolder.reports, Texts{L"manifest 1 3 "});
  EXPECT_EQ(page.reports, (Texts{L"manifest 0 0 1.0.3", L"finished 4 511 安装失败"}));
  EXPECT_EQ(page.Files(), Texts{L"qvinstaller_1.0.3.tmp"});
  EXPECT_TRUE(ReadBinaryFile(page / L"qvinstaller_1.0.3.tmp") == first);
  EXPECT_EQ(shared.reports, kInstalled);
  EXPECT_EQ(shared.module->partFile(), shared / L"qvinstaller_1.0.3.tmptmp");
  EXPECT_EQ(blocked.reports, (Texts{L"manifest 0 0 1.0.3", L"finished 1 32 安装失败"}));
  EXPECT_TRUE(server_.RequestsFor("/blocked.bin").empty());
  EXPECT_EQ(hostile.reports, (Texts{L"manifest 0 0 ..\\..\\x:y*", L"finished 0 0"}));
  EXPECT_EQ(ParentDir(hostile.module->partFile()), hostile.folder.path());
  EXPECT_EQ(hostile.Files(), Texts{L"qvinstaller.exe"});
  EXPECT_EQ(destroyed.reports, Texts{L"manifest 0 0 1.0.3"});
  EXPECT_EQ(destroyed.progress.size(), 1u);
  EXPECT_EQ(retried.reports, (Texts{L"manifest 4 503 ", L"manifest 0 0 1.0.3", L"finished 0 0"}));
  EXPECT_EQ(stopped.reports.size() + stopped.progress.size(), stoppedReports);
  EXPECT_EQ(server_.RequestsFor("/stopped.txt").size(), 1u);
  EXPECT_GT(testing_support::FileSizeOf(stopped / L"qvinstaller_1.0.3.tmp"), 0);
  EXPECT_FALSE(testing_support::FileExists(stopped / L"qvinstaller.exe"));
}

// A build with the studio's key takes only a manifest the studio signed, as the installer
// reads it, and not expired; any other counts as a failed fetch of its address. Manifests are
// signed by the publishing command, as a studio signs them.
TEST_F(UpdaterModule, ABuildWithAKeyTakesOnlyWhatTheStudioSigned) {
  const std::string good = Signed("good", "studio", "2099-01-01T00:00:00Z");
  const std::wstring goodUrl = Serve("good", good);
  const auto changed = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  const std::string evil = server_.Url("/evil.bin");
  const std::wstring kForged = L"the manifest's signature does not match its values; refused";
  const struct {
    const char* name;
    std::string text;
    std::wstring why;
  } refused[] = {
      {"url", changed(server_.Url("/good.bin"), evil), kForged},
      {"md5", changed("Md5=", "Md5=0"), kForged},
      {"sha256", changed("Sha256=", "Sha256=0"), kForged},
      {"size", changed("Size=100000", "Size=100001"), kForged},
      {"version", changed("Version=1.0.3", "Version=1.0.4"), kForged},
      {"repeated", changed("[Install]\r\n", "[Install]\r\nUrl=" + evil + "\r\n"), kForged},
      // The reader takes the first section, whose values were never signed.
      {"shadowed", "[Install]\r\nUrl=" + evil + "\r\n" + good, L"; refused"},
      {"bom", "\xEF\xBB\xBF[Install]\nUrl=" + evil + "\n" + good, L"; refused"},
      {"other", Signed("other", "other", "2099-01-01T00:00:00Z"), kForged},
      {"expired", Signed("expired", "studio", "2001-01-01T00:00:00Z"),
       L"the manifest has expired; refused"},
      {"unsigned", "[Install]\r\nUrl=" + evil + "\r\nVersion=1.0.3\r\n",
       L"the manifest carries no signature; refused"},
  };
  std::vector<UpdateRun*> runs;
  for (const auto& manifest : refused) {
    UpdateRun& run = Add({Serve(manifest.name, manifest.text), goodUrl});
    run.module->manifestKey = KELTO_TEST_MANIFEST_KEY;
    runs.push_back(&run);
  }
  // With no trusted manifest at any address nothing of the forgeries is used or reported.
  UpdateRun& none = Add({server_.WideUrl("/expired.txt"), server_.WideUrl("/url.txt")});
  none.module->manifestKey = KELTO_TEST_MANIFEST_KEY;
  // A build without a key takes today's manifests and says so; a manifest answer too long to
  // be one is refused before it is read.
  UpdateRun& keyless = Add({Manifest("plain")});
  UpdateRun& endless = Add({Serve("endless", good + std::string(40000, ';'))});
  for (UpdateRun& run : runs_) ASSERT_TRUE(run.module->Start());
  ASSERT_TRUE(FinishAll());

  for (size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i]->reports, kInstalled) << refused[i].name;
    EXPECT_TRUE(ReadBinaryFile(*runs[i] / L"qvinstaller.exe") == package_) << refused[i].name;
    const auto logged = Logged(L"[UM] manifest of " +
                               server_.WideUrl("/" + std::string(refused[i].name) + ".txt"));
    ASSERT_FALSE(logged.empty()) << refused[i].name;
    EXPECT_NE(logged[0].find(refused[i].why), std::wstring::npos) << WideToUtf8(logged[0]);
  }
  EXPECT_EQ(none.reports, Texts{L"manifest 3 2103 "});
  EXPECT_TRUE(none.Files().empty());
  EXPECT_TRUE(server_.RequestsFor("/evil.bin").empty());
  EXPECT_EQ(keyless.reports, kInstalled);
  EXPECT_EQ(Logged(L"[UM] manifest of " + server_.WideUrl("/plain.txt") +
                   L": the manifest is unsigned (this build carries no manifest key)")
                .size(),
            1u);
  EXPECT_EQ(endless.reports, Texts{L"manifest 1 8 "});
}

}  // namespace
