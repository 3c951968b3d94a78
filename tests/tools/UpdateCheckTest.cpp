// KeltoUpdateCheck.exe under Wine against the test server: what it prints through a pipe and
// the exit code of each outcome.
#include "updater/UpdaterFixture.h"

#include <gtest/gtest.h>

#include <string>

#include "support/ProcessRunner.h"

using testing_support::FaultRule;

namespace {

class UpdateCheckTool : public updater_test::UpdaterTest {
 protected:
  // Runs the tool with `arguments`; its output with "\n" for "\r\n", and its exit code.
  std::string Run(const std::wstring& arguments, DWORD* exitCode) {
    const testing_support::ProcessResult run = testing_support::RunProcessWithOutput(
        testing_support::Quoted(testing_support::WindowsPathOfBuildFile(KELTO_UPDATE_CHECK_EXE)) +
            arguments,
        60000);
    EXPECT_TRUE(run.started && !run.timedOut) << run.output;
    *exitCode = run.exitCode;
    std::string lines;
    for (char c : run.output) {
      if (c != '\r') lines += c;
    }
    return lines;
  }

  testing_support::TempFolder dl_{L"dl"};
};

TEST_F(UpdateCheckTool, PrintsEachReportAndEndsWithTheOutcomesCode) {
  AddRule(FaultRule("/busy.txt").Status(503));
  const std::wstring dl = L" " + testing_support::Quoted(dl_.path()) + L" ";
  DWORD code = 99;
  std::string out = Run(dl + server_.WideUrl("/busy.txt") + L" " + Manifest("pkg"), &code);
  EXPECT_EQ(code, 0u) << out;
  const size_t manifest = out.find("manifest: type 0 code 0 version \"1.0.3\" md5 \"" + digest_);
  const size_t progress = out.find("progress: ");
  const size_t finished = out.find("finished: type 0 code 0\n");
  EXPECT_LT(manifest, progress) << out;
  EXPECT_LT(progress, finished) << out;
  for (const std::string& text : {std::string("of 97.66KB"), std::string("md5: match"),
                                  "manifest address: " + server_.Url("/busy.txt") + "\n"}) {
    EXPECT_NE(out.find(text), std::string::npos) << text << " is missing from:\n" << out;
  }
  EXPECT_TRUE(testing_support::ReadBinaryFile(dl_ / L"qvinstaller.exe") == package_);

  std::string wrongDigest = testing_support::ReadBinaryFile(root_ / L"pkg.txt");
  wrongDigest.replace(wrongDigest.find(digest_), digest_.size(), std::string(32, '0'));
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"wrong.txt", wrongDigest));
  AddRule(FaultRule("/gone.bin").Status(404));
  ASSERT_TRUE(testing_support::WriteBinaryFile(
      root_ / L"gone.txt", "[Install]\r\nUrl=" + server_.Url("/gone.bin") + "\r\n"));
  const struct {
    std::wstring arguments;
    DWORD code;
    std::string text;
  } failures[] = {
      {L"", 1, "usage: KeltoUpdateCheck.exe <download folder> [manifest address ...]"},
      {dl + server_.WideUrl("/none.txt"), 2, "manifest: type 4 code 404 version \"\" md5 \"\"\n"},
      {dl + server_.WideUrl("/gone.txt"), 3, "finished: type 4 code 404 安装失败\n"},
      {dl + server_.WideUrl("/wrong.txt"), 4, "md5: MISMATCH (package " + digest_ + ", manifest 0000"},
  };
  for (const auto& failure : failures) {
    out = Run(failure.arguments, &code);
    EXPECT_EQ(code, failure.code) << out;
    EXPECT_NE(out.find(failure.text), std::string::npos) << out;
  }
}

}  // namespace
