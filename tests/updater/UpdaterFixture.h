// Shared fixture of the update module's Windows tests: the engine as start-up brings it up,
// the test HTTP server with the package "/pkg.bin" and its manifests, a download folder, and a
// listener that records every report the module makes.
//
// Contract: used on the test's thread, which plays the user-interface thread: tests pump its
// messages (PumpMessagesUntil) so that the engine's notifications, its timer and the module's
// window messages run. A module made by NewUpdater must be gone before TearDown, which
// checks that no transfer object outlived the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "support/FaultRule.h"
#include "updater/IGameEventListener.h"
#include "updater/Updater.h"

namespace updater_test {

struct Report {
  enum Kind { kManifest, kProgress, kFinished };
  Kind kind = kManifest;
  int type = 0;
  int code = 0;
  std::wstring text;    // manifest: the version ("info"); finished: the text
  std::wstring digest;  // manifest only
  int64_t total = 0;
  int64_t completed = 0;
  int64_t speed = 0;
};

class RecordingListener : public IGameEventListener {
 public:
  void OnDownloadProgress(int64_t total, int64_t completed, int64_t speed) override;
  void OnDownloadFinished(int kind, int code, const std::wstring& text) override;
  void OnDownloadAborted(int kind, int code) override { ++aborted; }
  void OnManifestResult(int kind, int code, const std::wstring& info,
                        const std::wstring& digest) override;

  size_t Count(Report::Kind kind) const;
  // The last report of `kind`; a report of kind kManifest with type -1 when there is none.
  Report Last(Report::Kind kind) const;
  // Whether the run is over: a finished report, or a manifest report of a failure.
  bool Ended() const;

  std::vector<Report> reports;
  int aborted = 0;
  // Runs after each report has been recorded (a test may stop or destroy the module here).
  std::function<void(const Report&)> then;

 private:
  void Add(const Report& report);
};

class UpdaterTest : public engine_test::EngineTest {
 protected:
  static constexpr const wchar_t* kVersion = L"1.0.3";

  void SetUp() override;

  // The manifest's INI text (UTF-8), naming the package at `packagePath` of the test server.
  std::string Manifest(const std::string& packagePath = "/pkg.bin",
                       const std::string& version = "1.0.3", const std::string& mirrors = "",
                       const std::string& size = "100000") const;
  // Serves `text` at "/<name>"; returns its address.
  std::wstring Serve(const std::wstring& name, const std::string& text);

  // A module for `dir` reporting to listener_, fetching from `urls`, its window created.
  std::unique_ptr<Updater> NewUpdater(const std::vector<std::wstring>& urls,
                                      const std::wstring& dir = std::wstring());
  // Pumps messages until the run is over (listener_.Ended()).
  testing::AssertionResult WaitForEnd(uint32_t limitMs = 60000);
  // NewUpdater into `updater`, Start, and WaitForEnd.
  testing::AssertionResult RunToEnd(std::unique_ptr<Updater>* updater,
                                    const std::vector<std::wstring>& urls,
                                    const std::wstring& dir = std::wstring());
  // Whether the last finished report is (type, code, text).
  testing::AssertionResult FinishedWith(int type, int code, const std::wstring& text) const;

  // The download folder's entries (names only, no "." or "..").
  std::vector<std::wstring> FilesIn(const std::wstring& folder) const;
  std::wstring PackageFile() const { return dl_.path() + L"\\qvinstaller.exe"; }
  std::wstring PartFile(const std::wstring& suffix = L".tmp") const;

  testing_support::TempFolder dl_{L"dl"};
  std::string digest_;  // MD5 of package_, hexadecimal
  std::wstring manifestUrl_;  // the default manifest, "/qvinstall.txt"
  RecordingListener listener_;
};

}  // namespace updater_test
