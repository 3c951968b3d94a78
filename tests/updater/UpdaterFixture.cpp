#include "updater/UpdaterFixture.h"

#include <windows.h>

#include "runtime/MD5.h"
#include "support/MessagePump.h"
#include "support/TestFiles.h"

namespace updater_test {

void RecordingListener::Add(const Report& report) {
  reports.push_back(report);
  if (then) then(report);
}

void RecordingListener::OnDownloadProgress(int64_t total, int64_t completed, int64_t speed) {
  Report report;
  report.kind = Report::kProgress;
  report.total = total;
  report.completed = completed;
  report.speed = speed;
  Add(report);
}

void RecordingListener::OnDownloadFinished(int kind, int code, const std::wstring& text) {
  Report report;
  report.kind = Report::kFinished;
  report.type = kind;
  report.code = code;
  report.text = text;
  Add(report);
}

void RecordingListener::OnManifestResult(int kind, int code, const std::wstring& info,
                                         const std::wstring& digest) {
  Report report;
  report.kind = Report::kManifest;
  report.type = kind;
  report.code = code;
  report.text = info;
  report.digest = digest;
  Add(report);
}

size_t RecordingListener::Count(Report::Kind kind) const {
  size_t count = 0;
  for (const Report& report : reports) count += report.kind == kind ? 1 : 0;
  return count;
}

Report RecordingListener::Last(Report::Kind kind) const {
  for (auto it = reports.rbegin(); it != reports.rend(); ++it) {
    if (it->kind == kind) return *it;
  }
  Report none;
  none.type = -1;
  return none;
}

bool RecordingListener::Ended() const {
  for (const Report& report : reports) {
    if (report.kind == Report::kFinished) return true;
    if (report.kind == Report::kManifest && (report.type != 0 || report.code != 0)) return true;
  }
  return false;
}

void UpdaterTest::SetUp() {
  EngineTest::SetUp();
  if (HasFatalFailure()) return;
  MD5 md5;
  md5.update(package_.data(), package_.size());
  md5.finalize();
  digest_ = md5.hex_digest();
  manifestUrl_ = Serve(L"qvinstall.txt", Manifest());
}

std::string UpdaterTest::Manifest(const std::string& packagePath, const std::string& version,
                                  const std::string& mirrors, const std::string& size) const {
  return "[Install]\r\nUrl=" + server_.Url(packagePath) + "\r\nmurl=" + mirrors +
         "\r\nSize=" + size + "\r\nMd5=" + digest_ + "\r\nVersion=" + version + "\r\n";
}

std::wstring UpdaterTest::Serve(const std::wstring& name, const std::string& text) {
  EXPECT_TRUE(testing_support::WriteBinaryFile(root_ / name, text));
  return server_.WideUrl("/" + testing_support::WideToUtf8(name));
}

std::unique_ptr<Updater> UpdaterTest::NewUpdater(const std::vector<std::wstring>& urls,
                                                 const std::wstring& dir) {
  auto updater = std::make_unique<Updater>(dir.empty() ? dl_.path() : dir, &listener_, 0);
  updater->SetManifestUrls(urls);
  EXPECT_TRUE(updater->CreateHelperWindow());
  return updater;
}

testing::AssertionResult UpdaterTest::WaitForEnd(uint32_t limitMs) {
  if (testing_support::PumpMessagesUntil([&] { return listener_.Ended(); }, limitMs)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "the module did not finish within " << limitMs << " ms ("
                                     << listener_.reports.size() << " reports)";
}

testing::AssertionResult UpdaterTest::RunToEnd(std::unique_ptr<Updater>* updater,
                                               const std::vector<std::wstring>& urls,
                                               const std::wstring& dir) {
  *updater = NewUpdater(urls, dir);
  if (!(*updater)->Start()) return testing::AssertionFailure() << "the module did not start";
  return WaitForEnd();
}

testing::AssertionResult UpdaterTest::FinishedWith(int type, int code,
                                                   const std::wstring& text) const {
  if (listener_.Count(Report::kFinished) == 0) {
    return testing::AssertionFailure() << "no finished report";
  }
  const Report last = listener_.Last(Report::kFinished);
  if (last.type == type && last.code == code && last.text == text) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "finished with type " << last.type << " code "
                                     << last.code << " text \""
                                     << testing_support::WideToUtf8(last.text) << "\"";
}

std::vector<std::wstring> UpdaterTest::FilesIn(const std::wstring& folder) const {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
}

std::wstring UpdaterTest::PartFile(const std::wstring& suffix) const {
  return dl_.path() + L"\\qvinstaller_" + kVersion + suffix;
}

}  // namespace updater_test
