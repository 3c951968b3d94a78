// The file, folder and process routines on real files, links and processes.
#include <gtest/gtest.h>

#include <string>

#include "platform/CommonUtils.h"
#include "support/MessagePump.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

std::wstring HelperProgram() { return WindowsPathOfBuildFile(KELTO_PLATFORM_HELPER_EXE); }

TEST(CommonUtils, CreateDirMakesEveryParentButNeverTakesAFileForAFolder) {
  TempFolder temp;
  EXPECT_TRUE(CreateDir(temp / L"凯途网络\\凯途星联\\bin"));
  ASSERT_TRUE(WriteTestFile(temp / L"occupied"));
  EXPECT_FALSE(CreateDir(temp / L"occupied"));
  EXPECT_FALSE(CreateDir(temp / L"occupied\\sub"));
}

TEST(CommonUtils, DeleteTreeNeverFollowsALinkNorTakesARelativePath) {
  TempFolder temp;
  const std::wstring saves = temp / L"saves";
  const std::wstring bin = temp / L"game\\bin";
  ASSERT_TRUE(WriteTestFile(saves + L"\\slot1.sav"));
  ASSERT_TRUE(WriteTestFile(bin + L"\\data\\地图\\map1.pak"));
  ASSERT_TRUE(MakeFolderLink(bin + L"\\saves", saves));
  // Not there, a tree counts as deleted: false here is the refusal.
  EXPECT_FALSE(DeleteTree(L"no-such-folder\\"));
  DeleteTree(bin + L"\\");
  EXPECT_FALSE(FileExists(bin + L"\\data\\地图\\map1.pak"));
  EXPECT_TRUE(FileExists(saves + L"\\slot1.sav"));
}

// A helper's "kill" ends the other of its name, not itself; a process starting has no name.
TEST(CommonUtils, KillProcessesByNameNeverEndsTheCallerNorNamelessProcesses) {
  TempFolder temp;
  const std::wstring name = L"kelto_killer_" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  ASSERT_TRUE(::CopyFileW(HelperProgram().c_str(), (temp / name).c_str(), TRUE));
  RunningProcess sleeper(Quoted(temp / name) + L" sleep 120");
  ASSERT_TRUE(
      PumpMessagesUntil([&] { return FindProcessInFolder(temp.path()) == sleeper.id(); }, 5000));
  EXPECT_EQ(RunProcess(Quoted(temp / name) + L" kill " + name, 30000).exitCode, 101u);
  EXPECT_EQ(KillProcessesByName(L""), 0);
}

}  // namespace
