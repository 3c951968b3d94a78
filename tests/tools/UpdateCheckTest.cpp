// KeltoUpdateCheck.exe under Wine against the test server: what it prints through a pipe and
// the exit code of each outcome.
#include "updater/UpdaterFixture.h"

#include <gtest/gtest.h>

#include <string>

#include "support/FaultRule.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

using testing_support::FaultRule;
using testing_support::ProcessResult;
using testing_support::Quoted;

namespace {

class UpdateCheckTool : public updater_test::UpdaterTest {
 protected:
  // Runs the tool for the download folder with the given manifest addresses.
  ProcessResult Check(const std::vector<std::wstring>& addresses) {
    std::wstring line = Quoted(testing_support::WindowsPathOfBuildFile(KELTO_UPDATE_CHECK_EXE)) +
                        L" " + Quoted(dl_.path());
    for (const std::wstring& address : addresses) line += L" " + address;
    return Run(line);
  }

  // Runs the command line; the output's lines end in "\r\n" on Windows, read here as "\n".
  ProcessResult Run(const std::wstring& line) {
    ProcessResult result = testing_support::RunProcessWithOutput(line, 60000);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut) << result.output;
    std::string lines;
    for (char c : result.output) {
      if (c != '\r') lines += c;
    }
    result.output = lines;
    return result;
  }
};

// Position of `text` in `output`, failing the test when it is missing.
size_t Find(const std::string& output, const std::string& text) {
  const size_t at = output.find(text);
  EXPECT_NE(at, std::string::npos) << "\"" << text << "\" is missing from:\n" << output;
  return at;
}

TEST_F(UpdateCheckTool, PrintsEachReportAndEndsWith0WhenThePackageIsInPlace) {
  ASSERT_TRUE(AddRule(FaultRule("/primary.txt").Status(503)));
  const ProcessResult run = Check({server_.WideUrl("/primary.txt"), manifestUrl_});
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  const std::string& out = run.output;
  const size_t manifest =
      Find(out, "manifest: type 0 code 0 version \"1.0.3\" md5 \"" + digest_ + "\"\n");
  const size_t progress = Find(out, "progress: ");
  Find(out, "of 97.66KB");  // 100000 bytes
  const size_t finished = Find(out, "finished: type 0 code 0\n");
  Find(out, "md5: match");
  Find(out, "manifest address: " + server_.Url("/primary.txt") + "\n");
  EXPECT_LT(manifest, progress);
  EXPECT_LT(progress, finished);
  EXPECT_TRUE(testing_support::ReadBinaryFile(PackageFile()) == package_);
}

TEST_F(UpdateCheckTool, NoManifestEndsWith2) {
  const ProcessResult run = Check({server_.WideUrl("/none.txt"), server_.WideUrl("/none.txt")});
  EXPECT_EQ(run.exitCode, 2u) << run.output;
  Find(run.output, "manifest: type 4 code 404 version \"\" md5 \"\"\n");
  EXPECT_EQ(run.output.find("finished:"), std::string::npos);
}

TEST_F(UpdateCheckTool, AFailedDownloadEndsWith3) {
  const ProcessResult run = Check({Serve(L"gone.txt", Manifest("/gone.bin"))});
  EXPECT_EQ(run.exitCode, 3u) << run.output;
  Find(run.output, "finished: type 4 code 404 安装失败\n");
}

TEST_F(UpdateCheckTool, APackageThatDoesNotMatchItsDigestEndsWith4) {
  std::string manifest = Manifest();
  manifest.replace(manifest.find(digest_), digest_.size(), std::string(32, '0'));
  const ProcessResult run = Check({Serve(L"wrong-md5.txt", manifest)});
  EXPECT_EQ(run.exitCode, 4u) << run.output;
  Find(run.output, "md5: MISMATCH (package " + digest_ + ", manifest " + std::string(32, '0') + ")");
}

TEST_F(UpdateCheckTool, WithoutAFolderItShowsHowToUseIt) {
  const ProcessResult run =
      Run(Quoted(testing_support::WindowsPathOfBuildFile(KELTO_UPDATE_CHECK_EXE)));
  EXPECT_EQ(run.exitCode, 1u);
  Find(run.output, "usage: KeltoUpdateCheck.exe <download folder> [manifest address ...]");
}

}  // namespace
