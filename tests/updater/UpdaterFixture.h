// Shared fixture of the update module's tests under Wine and of the update check tool's: the
// engine and the test server as EngineFixture.h brings them up, manifests naming copies of
// the package there, and update modules that each download into a folder of their own.
//
// Contract: the test's thread plays the user-interface thread and pumps its messages. The
// modules go before the engine in TearDown. Helpers report failure through gtest.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "runtime/MD5.h"
#include "support/ProcessRunner.h"
#include "updater/IGameEventListener.h"
#include "updater/Updater.h"

namespace updater_test {

// One module's run: its download folder and its reports, as texts:
// "manifest <type> <code> <version>", "finished <type> <code>[ <text>]".
class UpdateRun : public IGameEventListener {
 public:
  void OnDownloadProgress(int64_t, int64_t completed, int64_t) override {
    progress.push_back(completed);
    if (then) then();
  }
  void OnDownloadFinished(int type, int code, const std::wstring& text) override {
    Note(L"finished " + std::to_wstring(type) + L" " + std::to_wstring(code) +
         (text.empty() ? L"" : L" " + text));
  }
  void OnDownloadAborted(int, int) override {}
  void OnManifestResult(int type, int code, const std::wstring& version,
                        const std::wstring& manifestDigest) override {
    digest = manifestDigest;
    Note(L"manifest " + std::to_wstring(type) + L" " + std::to_wstring(code) + L" " + version);
  }
  // Over: the module is gone or stopped, its download ended, or its manifest step failed.
  bool Ended() const {
    return !module || !module->helperWindow() ||
           (!reports.empty() && reports.back().compare(0, 13, L"manifest 0 0 ") != 0);
  }
  std::wstring operator/(const std::wstring& name) const { return folder / name; }
  std::vector<std::wstring> Files() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder / L"*").c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &data)) {
      if (data.cFileName[0] != L'.') names.push_back(data.cFileName);
    }
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
    return names;
  }

  testing_support::TempFolder folder{L"dl"};
  std::unique_ptr<Updater> module;
  std::vector<std::wstring> reports;
  std::vector<int64_t> progress;  // the completed bytes of each progress report
  std::wstring digest;
  std::function<void()> then;  // after each report (it may destroy the module)

 private:
  void Note(const std::wstring& report) {
    reports.push_back(report);
    if (then) then();
  }
};

class UpdaterTest : public engine_test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MD5 md5;
    md5.update(package_.data(), package_.size());
    md5.finalize();
    digest_ = md5.hex_digest();
  }
  void TearDown() override {
    runs_.clear();
    EngineTest::TearDown();
  }

  // Serves "/<name>.txt", a manifest naming "/<name>.bin", a copy of the package, under
  // `urlKey`; returns its address.
  std::wstring Manifest(const std::string& name, const std::string& version = "1.0.3",
                        const std::string& urlKey = "Url") {
    const std::wstring file = root_ / testing_support::Utf8ToWide(name);
    EXPECT_TRUE(testing_support::WriteBinaryFile(file + L".bin", package_));
    EXPECT_TRUE(testing_support::WriteBinaryFile(
        file + L".txt", "[Install]\r\n" + urlKey + "=" + server_.Url("/" + name + ".bin") +
                            "\r\nSize=100000\r\nMd5=" + digest_ + "\r\nVersion=" + version));
    return server_.WideUrl("/" + name + ".txt");
  }

  // The text of a manifest the publishing command signed with the test key `key` ("studio",
  // or "other": somebody else's), naming "/<name>.bin", a copy of the package.
  std::string Signed(const std::string& name, const std::string& key, const char* expires) {
    const std::wstring file = root_ / testing_support::Utf8ToWide(name);
    EXPECT_TRUE(testing_support::WriteBinaryFile(file + L".bin", package_));
    const std::string out = testing_support::UnixPathOf(file + L".txt");
    const std::string command = std::string(KELTO_PYTHON3) + " " KELTO_PUBLISH_TOOL " sign --key " +
                                KELTO_TEST_MANIFEST_KEYS "/" + key + ".pem --package " +
                                testing_support::UnixPathOf(file + L".bin") + " --url " +
                                server_.Url("/" + name + ".bin") + " --version 1.0.3 --expires " +
                                expires + " --out " + out + ".part && mv " + out + ".part " + out;
    // A Unix program's end cannot be waited for under Wine: its last act can.
    EXPECT_TRUE(testing_support::StartDetached(L"/bin/sh -c \"" +
                                               testing_support::Utf8ToWide(command) + L"\""));
    EXPECT_TRUE(testing_support::PumpMessagesUntil(
        [&] { return testing_support::FileExists(file + L".txt"); }, 20000));
    return testing_support::ReadBinaryFile(file + L".txt");
  }
  // Serves `text` as "/<name>.txt"; its address.
  std::wstring Serve(const std::string& name, const std::string& text) {
    EXPECT_TRUE(testing_support::WriteBinaryFile(
        root_ / testing_support::Utf8ToWide(name + ".txt"), text));
    return server_.WideUrl("/" + name + ".txt");
  }

  // A module fetching from `urls` into its run's folder (or into `dir`), not started yet.
  UpdateRun& Add(const std::vector<std::wstring>& urls, const std::wstring& dir = L"") {
    UpdateRun& run = runs_.emplace_back();
    run.module = std::make_unique<Updater>(dir.empty() ? run.folder.path() : dir, &run, 0);
    run.module->SetManifestUrls(urls);
    EXPECT_TRUE(run.module->CreateHelperWindow());
    return run;
  }
  // Pumps until every run is over.
  bool FinishAll() {
    return testing_support::PumpMessagesUntil([&] {
      for (const UpdateRun& run : runs_) {
        if (!run.Ended()) return false;
      }
      return true;
    });
  }

  std::string digest_;  // of the package, hexadecimal
  std::deque<UpdateRun> runs_;
};

}  // namespace updater_test
