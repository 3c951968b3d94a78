// KeltoUpdateCheck.exe under Wine against the test server: what it prints through a pipe and
// the exit code of each outcome.
#include "updater/UpdaterFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/ProcessRunner.h"

using testing_support::FaultRule;

namespace {

using UpdateCheckTool = updater_test::UpdaterTest;

TEST_F(UpdateCheckTool, PrintsEachReportAndEndsWithTheOutcomesCode) {
  testing_support::TempFolder dl(L"dl");
  for (const auto& manifest : {std::make_pair(L"wrong.txt", "/pkg.bin\r\nMd5=0000"),
                               std::make_pair(L"gone.txt", "/gone.bin")}) {
    ASSERT_TRUE(testing_support::WriteBinaryFile(
        root_ / manifest.first, "[Install]\r\nUrl=" + server_.Url(manifest.second) + "\r\n"));
  }
  AddRule(FaultRule("/busy.txt").Status(503));
  const std::wstring folder = L" " + testing_support::Quoted(dl.path()) + L" ";
  const struct {
    std::wstring arguments;
    DWORD code;
    std::vector<std::string> output;  // pieces, in the order printed
  } runs[] = {
      {folder + server_.WideUrl("/busy.txt") + L" " + Manifest("pkg"), 0,
       {"manifest address: " + server_.Url("/busy.txt") + "\n",
        "manifest: type 0 code 0 version \"1.0.3\" md5 \"" + digest_ + "\"\n", "progress: ",
        "of 97.66KB", "finished: type 0 code 0\n", "md5: match"}},
      {L"", 1, {"usage: KeltoUpdateCheck.exe <download folder> [manifest address ...]"}},
      {folder + server_.WideUrl("/none.txt"), 2, {"manifest: type 4 code 404 version \"\""}},
      {folder + server_.WideUrl("/gone.txt"), 3, {"finished: type 4 code 404 安装失败\n"}},
      {folder + server_.WideUrl("/wrong.txt"), 4, {"md5: MISMATCH (package " + digest_}},
  };
  for (const auto& run : runs) {
    const testing_support::ProcessResult result = testing_support::RunProcessWithOutput(
        testing_support::Quoted(testing_support::WindowsPathOfBuildFile(KELTO_UPDATE_CHECK_EXE)) +
            run.arguments,
        60000);
    std::string out = result.output;
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    EXPECT_EQ(result.exitCode, run.code) << out;
    size_t at = 0;
    for (const std::string& piece : run.output) {
      at = out.find(piece, at);
      ASSERT_NE(at, std::string::npos) << piece << " is missing from:\n" << out;
    }
  }
  EXPECT_TRUE(testing_support::ReadBinaryFile(dl / L"qvinstaller.exe") == package_);
}

}  // namespace
