// The process routines of the common utilities, on real processes: copies of the app test
// helper started from folders of the test's choosing.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "app/CommonUtils.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

using testing_support::FileExists;
using testing_support::Quoted;
using testing_support::ReadWideFile;
using testing_support::RunningProcess;
using testing_support::TempFolder;

namespace {

using app_test::Ends;
using app_test::PlaceHelper;
using app_test::StartSleeper;
using app_test::WaitUntilFound;

TEST(StartProcess, PassesTheCommandLineAndReportsIdentifiers) {
  TempFolder temp;
  const std::wstring exe = PlaceHelper(temp / L"凯途星联\\KeltoLauncher.exe");
  ASSERT_FALSE(exe.empty());
  const std::wstring out = temp / L"args.txt";
  const std::wstring commandLine = FormatString(L"\"%ls\" args \"%ls\" -i \"%d\" -d", exe.c_str(),
                                                out.c_str(), 12);
  PROCESS_INFORMATION info = {};
  EXPECT_EQ(StartProcess(exe, commandLine, &info), 0u);
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_TRUE(Ends(info.dwProcessId, 30000));
  for (int i = 0; i < 200 && ReadWideFile(out).empty(); ++i) ::Sleep(25);
  EXPECT_EQ(ReadWideFile(out), commandLine);
}

TEST(StartProcess, ReturnsTheSystemErrorForAMissingProgram) {
  TempFolder temp;
  const std::wstring missing = temp / L"qvinstaller.exe";
  PROCESS_INFORMATION info = {};
  EXPECT_EQ(StartProcess(missing, Quoted(missing), &info), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(info.dwProcessId, 0u);
  EXPECT_EQ(RunAndWait(missing, Quoted(missing) + L" /S"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(RunAndWait, ReturnsOnlyOnceTheProgramHasEnded) {
  TempFolder temp;
  const std::wstring exe = PlaceHelper(temp / L"qvinstaller.exe");
  ASSERT_FALSE(exe.empty());
  const std::wstring out = temp / L"done.txt";
  EXPECT_EQ(RunAndWait(exe, Quoted(exe) + L" wait-write 500 " + Quoted(out)), 0u);
  EXPECT_EQ(ReadWideFile(out), L"done");
}

TEST(FindProcessInFolder, FindsOnlyProcessesInsideTheFolder) {
  TempFolder temp;
  const std::wstring folder = temp / L"Games\\Kelto";
  const std::wstring sibling = PlaceHelper(temp / L"Games\\Kelto2\\KeltoLauncher.exe");
  const std::wstring inside = PlaceHelper(folder + L"\\bin\\游戏.exe");
  ASSERT_FALSE(sibling.empty());
  ASSERT_FALSE(inside.empty());

  // A process of the sibling folder "Kelto2" is not in "Kelto".
  auto neighbour = StartSleeper(sibling);
  ASSERT_TRUE(neighbour->started());
  ASSERT_TRUE(WaitUntilFound(temp / L"Games\\Kelto2", neighbour->id()));
  EXPECT_EQ(FindProcessInFolder(folder), 0u);
  EXPECT_EQ(FindProcessInFolder(folder + L"\\"), 0u);

  auto game = StartSleeper(inside);
  ASSERT_TRUE(game->started());
  EXPECT_TRUE(WaitUntilFound(folder, game->id()));
  EXPECT_EQ(FindProcessInFolder(folder + L"\\"), game->id());
  EXPECT_EQ(FindProcessInFolder(temp / L"GAMES\\kelto"), game->id());  // A-Z case folded
  EXPECT_EQ(FindProcessInFolder(folder + L"\\bin\\游戏.exe"), 0u);       // not a folder

  // An empty folder matches nothing, although every process would "begin with" it.
  EXPECT_EQ(FindProcessInFolder(L""), 0u);
  EXPECT_EQ(FindProcessInFolder(L"\\"), 0u);

  game->Terminate();
  EXPECT_EQ(FindProcessInFolder(folder), 0u);
}

TEST(FindProcessInFolder, NeverReportsThisProcess) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  // Other test programs may share this folder; none of them is this process.
  EXPECT_NE(FindProcessInFolder(ModuleDir()), ::GetCurrentProcessId());
}

TEST(KillProcessesByName, EndsEveryProcessOfExactlyThatName) {
  TempFolder temp;
  const std::wstring name = L"kelto_victim_" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const std::wstring upper = L"KELTO_VICTIM_" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const std::wstring a = PlaceHelper(temp / (L"a\\" + name));
  const std::wstring b = PlaceHelper(temp / (L"b\\" + name));
  const std::wstring c = PlaceHelper(temp / (L"c\\" + upper));
  ASSERT_FALSE(a.empty() || b.empty() || c.empty());
  auto first = StartSleeper(a);
  auto second = StartSleeper(b);
  auto otherCase = StartSleeper(c);
  ASSERT_TRUE(first->started() && second->started() && otherCase->started());

  EXPECT_EQ(KillProcessesByName(name), 2);
  EXPECT_TRUE(first->Wait(10000));
  EXPECT_TRUE(second->Wait(10000));
  EXPECT_TRUE(otherCase->IsRunning());  // the name is compared case-sensitively
  EXPECT_EQ(KillProcessesByName(name), 0);
  EXPECT_EQ(KillProcessesByName(L""), 0);
}

TEST(KillProcessesByName, SparesTheCallingProcess) {
  TempFolder temp;
  const std::wstring name = L"kelto_killer_" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const std::wstring sleeperExe = PlaceHelper(temp / (L"other\\" + name));
  const std::wstring killerExe = PlaceHelper(temp / (L"self\\" + name));
  ASSERT_FALSE(sleeperExe.empty() || killerExe.empty());
  auto sleeper = StartSleeper(sleeperExe);
  ASSERT_TRUE(sleeper->started());

  // The killer shares the sleeper's name: it ends the sleeper, counts it, and lives on to
  // write the count and exit normally.
  const std::wstring out = temp / L"count.txt";
  const testing_support::ProcessResult run = testing_support::RunProcess(
      Quoted(killerExe) + L" kill " + name + L" " + Quoted(out), 30000);
  ASSERT_TRUE(run.started);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(ReadWideFile(out), L"1");
  EXPECT_TRUE(sleeper->Wait(10000));
}

// Reads whether a privilege is enabled in this process's token.
bool PrivilegeEnabled(const wchar_t* name) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID luid;
  ::LookupPrivilegeValueW(nullptr, name, &luid);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  bool enabled = false;
  if (::GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID& l = privileges->Privileges[i].Luid;
      if (l.LowPart == luid.LowPart && l.HighPart == luid.HighPart) {
        enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
      }
    }
  }
  ::CloseHandle(token);
  return enabled;
}

TEST(EnableDebugPrivilege, EnablesSeDebugPrivilegeInTheProcessToken) {
  // Start from a disabled privilege so that the call has something to do.
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
  TOKEN_PRIVILEGES off = {};
  off.PrivilegeCount = 1;
  ASSERT_TRUE(::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &off.Privileges[0].Luid));
  off.Privileges[0].Attributes = 0;
  ::AdjustTokenPrivileges(token, FALSE, &off, sizeof(off), nullptr, nullptr);
  ::CloseHandle(token);
  ASSERT_FALSE(PrivilegeEnabled(L"SeDebugPrivilege"));

  EnableDebugPrivilege();
  EXPECT_TRUE(PrivilegeEnabled(L"SeDebugPrivilege"));
  EnableDebugPrivilege();  // again: no harm
  EXPECT_TRUE(PrivilegeEnabled(L"SeDebugPrivilege"));
}

}  // namespace
