#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

// The demo package understands exactly the installer's command line and unpacks the demo
// game, launcher included, into the folder it is given (a Chinese folder name included).
TEST(DemoGame, PackageUnpacksTheGameWithTheInstallersCommandLine) {
  TempFolder temp(L"demo");
  const std::wstring package = WindowsPathOfBuildFile(KELTO_DEMO_PACKAGE);
  const std::wstring target = temp / L"凯途网络\\凯途星联";

  ProcessResult r = RunProcess(Quoted(package) + L" /S \"/unpack=" + target + L"\" /launch=off",
                               60000);
  ASSERT_TRUE(r.started);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(FileExists(target + L"\\KeltoLauncher.exe"));
  EXPECT_TRUE(FileExists(target + L"\\qvmain.dll"));
  EXPECT_EQ(FileSizeOf(target + L"\\bin\\game.dat"), KELTO_DEMO_DATA_BYTES);

  // Unpacking again over an existing game replaces its files.
  ASSERT_TRUE(WriteTestFile(target + L"\\qvmain.dll", 3));
  r = RunProcess(Quoted(package) + L" /S \"/unpack=" + target + L"\" /launch=off", 60000);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_GT(FileSizeOf(target + L"\\qvmain.dll"), 3);
}

TEST(DemoGame, PackageWithoutSilentUnpackDoesNothing) {
  TempFolder temp(L"demo");
  const std::wstring package = WindowsPathOfBuildFile(KELTO_DEMO_PACKAGE);
  ProcessResult r = RunProcess(Quoted(package) + L" \"/unpack=" + temp.path() + L"\"", 60000);
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_FALSE(FileExists(temp / L"KeltoLauncher.exe"));
}

// The launcher records the command line the installer gives it.
TEST(DemoGame, LauncherRecordsHowItWasStarted) {
  TempFolder temp(L"launcher");
  const std::wstring launcher = temp / L"KeltoLauncher.exe";
  ASSERT_TRUE(::CopyFileW(WindowsPathOfBuildFile(KELTO_DEMO_LAUNCHER).c_str(), launcher.c_str(),
                          FALSE));
  RunningProcess process(Quoted(launcher) + L" -i \"30\" -d");
  ASSERT_TRUE(process.started());
  const std::wstring record = temp / L"KeltoLauncher.started.txt";
  std::string text;
  for (int i = 0; i < 200 && text.find("pid=") == std::string::npos; ++i) {
    ::Sleep(50);
    text = ReadBinaryFile(record);
  }
  EXPECT_NE(text.find("id=30\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("d=1\r\n"), std::string::npos) << text;
  process.Terminate();
}

}  // namespace
