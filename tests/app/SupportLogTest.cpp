// The support log of real runs of KeltoSetup.exe in hidden mode: the UTF-16 file, the line
// format the studio's support reads, and where the file goes when no place is given or the
// given one cannot take it. Each run's installer is a copy in a folder of its own, so that
// hidden mode downloads beside it; the update server's package never matches its digest, so
// the run ends as soon as it has downloaded, installing nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "app/InstallerUnderTest.h"
#include "support/ProcessRunner.h"
#include "support/SupportLogFile.h"
#include "support/TestFiles.h"

using testing_support::Quoted;
using testing_support::ReadSupportLog;
using testing_support::SupportLogFile;
using testing_support::SupportLogLine;
using testing_support::TempFolder;

namespace {

// Runs the installer `installer` in hidden mode with `arguments`; its process id, or 0 when it
// did not end with code 0.
unsigned RunHidden(const std::wstring& installer, const std::wstring& arguments) {
  testing_support::RunningProcess run(Quoted(installer) + L" -h " + arguments);
  if (!run.started()) return 0;
  const unsigned pid = run.id();
  DWORD exitCode = 1;
  if (!run.Wait(120000, &exitCode)) {
    run.Terminate();
    return 0;
  }
  return exitCode == 0 ? pid : 0;
}

// The temporary folder of the processes this test starts, for as long as it lives.
class TemporaryFolderOfChildren {
 public:
  explicit TemporaryFolderOfChildren(const std::wstring& folder) {
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
      wchar_t value[MAX_PATH + 1] = {};
      const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH + 1);
      saved_.push_back(length > 0 && length <= MAX_PATH ? value : L"");
      ::SetEnvironmentVariableW(name, folder.c_str());
    }
  }
  ~TemporaryFolderOfChildren() {
    ::SetEnvironmentVariableW(L"TMP", saved_[0].empty() ? nullptr : saved_[0].c_str());
    ::SetEnvironmentVariableW(L"TEMP", saved_[1].empty() ? nullptr : saved_[1].c_str());
  }

 private:
  std::vector<std::wstring> saved_;
};

// The files of `folder` whose names match `pattern` ("KeltoSetup_*.log").
std::vector<std::wstring> FilesMatching(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    files.push_back(folder + L"\\" + data.cFileName);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return files;
}

class SupportLog : public testing::Test {
 protected:
  void SetUp() override {
    installer_ = app_test::PlaceProgram(InstallerPath(), kit_ / L"bin\\KeltoSetup.exe");
    ASSERT_FALSE(installer_.empty());
    ASSERT_TRUE(server_.Start(std::string(32, '0'))) << server_.http().error();
  }
  unsigned RunHidden(const std::wstring& arguments) { return ::RunHidden(installer_, arguments); }

  TempFolder kit_{L"support-kit"};
  std::wstring installer_;
  app_test::UpdateServer server_;
};

TEST_F(SupportLog, AHiddenRunWritesEveryLineWithTimePidTidAndSourceToTheGivenFile) {
  TempFolder dir(L"support-log");
  // A name with Chinese characters and a space: the path reaches the file and its own first
  // line intact.
  const std::wstring file = dir / L"凯途 支持日志.log";
  const unsigned pid = RunHidden(L"-i 30 -l " + Quoted(file));
  ASSERT_NE(pid, 0u) << "the installer did not end with code 0";

  const SupportLogFile log = ReadSupportLog(file);
  ASSERT_TRUE(log.byteOrderMark);
  EXPECT_TRUE(log.endsWithLineEnd);
  EXPECT_TRUE(log.malformed.empty()) << testing::PrintToString(log.malformed);
  ASSERT_GE(log.lines.size(), 6u);
  for (const SupportLogLine& line : log.lines) {
    EXPECT_EQ(line.pid, pid);
    EXPECT_NE(line.tid, 0u);
    // Source paths are the tree's own, the same on every build machine.
    EXPECT_EQ(line.location.compare(0, 4, L"src/"), 0) << line.location;
  }
  EXPECT_EQ(log.lines.front().level, L"INFO");
  EXPECT_EQ(log.lines.front().message, L"KeltoSetup 1.0.0 support log " + file);
  const std::vector<std::wstring> commandLine = log.Messages(L"command line: ");
  ASSERT_EQ(commandLine.size(), 1u);
  EXPECT_NE(commandLine[0].find(L"-i 30 -l " + Quoted(file)), std::wstring::npos);
  EXPECT_EQ(log.Messages(L"options: "),
            std::vector<std::wstring>{L"options: hidden 1, game number 30, start launcher 1"});
  EXPECT_EQ(log.Messages(L"Windows ").size(), 1u);
  // The engine's own diagnostics reach the file: its two workshops start.
  EXPECT_EQ(log.Messages(L"CCurlWorkshop::Init() ").size(), 2u);
  EXPECT_EQ(log.lines.back().message, L"KeltoSetup exits with code 0");
}

TEST_F(SupportLog, WithoutAFileAHiddenRunLogsToADatedFileInTheTemporaryFolder) {
  TempFolder temp(L"support-temp");
  TemporaryFolderOfChildren children(temp.path());
  ASSERT_NE(RunHidden(L"--log"), 0u);

  const std::vector<std::wstring> files = FilesMatching(temp.path(), L"KeltoSetup_*.log");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0], std::wregex(L".*\\\\KeltoSetup_\\d{8}_\\d{6}\\.log")))
      << testing::PrintToString(files[0]);
  const SupportLogFile log = ReadSupportLog(files[0]);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.front().message, L"KeltoSetup 1.0.0 support log " + files[0]);
  EXPECT_EQ(log.lines.back().message, L"KeltoSetup exits with code 0");
}

// A file that cannot be written gives way to the temporary folder, and a temporary folder
// that cannot take it to the installer's own folder; each log names the places it replaces.
TEST_F(SupportLog, APlaceThatCannotTakeTheFileGivesWayToTheNext) {
  TempFolder temp(L"support-temp");
  TemporaryFolderOfChildren children(temp.path());
  const std::wstring unwritable = temp / L"no such folder\\setup.log";
  ASSERT_NE(RunHidden(L"-l " + Quoted(unwritable)), 0u);
  std::vector<std::wstring> files = FilesMatching(temp.path(), L"KeltoSetup_*.log");
  ASSERT_EQ(files.size(), 1u);
  SupportLogFile log = ReadSupportLog(files[0]);
  const std::vector<std::wstring> refused = log.Messages(L"the log file " + unwritable);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find(L"cannot be written"), std::wstring::npos);

  // The temporary folder missing: the log goes beside the installer.
  TemporaryFolderOfChildren missing(temp / L"missing");
  ASSERT_NE(RunHidden(L"-l"), 0u);
  files = FilesMatching(kit_ / L"bin", L"KeltoSetup_*.log");
  ASSERT_EQ(files.size(), 1u);
  log = ReadSupportLog(files[0]);
  EXPECT_EQ(log.Messages(L"the log file " + temp.path() + L"\\missing\\KeltoSetup_").size(), 1u);
  EXPECT_EQ(log.lines.back().message, L"KeltoSetup exits with code 0");
}

}  // namespace
