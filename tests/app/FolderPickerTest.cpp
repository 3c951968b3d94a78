// The shell's folder picker, driven for real: the picker runs on a thread of its own, the
// test finds its dialog window and answers it as a user would.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>

#include "app/InstallLocation.h"
#include "support/TestFiles.h"

using testing_support::TempFolder;

namespace {

struct PickerRun {
  std::wstring initial;
  std::wstring result;
};

DWORD WINAPI RunPicker(void* param) {
  auto* run = static_cast<PickerRun*>(param);
  ::OleInitialize(nullptr);
  run->result = install_location::BrowseForFolder(nullptr, run->initial);
  ::OleUninitialize();
  return 0;
}

struct DialogSearch {
  DWORD threadId;
  HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  wchar_t className[64] = L"";
  ::GetClassNameW(window, className, 64);
  if (::GetWindowThreadProcessId(window, nullptr) == search->threadId &&
      std::wstring(className) == L"#32770" && ::IsWindowVisible(window)) {
    search->dialog = window;
    return FALSE;
  }
  return TRUE;
}

// Opens the picker at `initial`, then presses `button` (IDOK or IDCANCEL) in it.
std::wstring PickAndPress(const std::wstring& initial, WPARAM button) {
  PickerRun run{initial, L"not answered"};
  DWORD threadId = 0;
  HANDLE thread = ::CreateThread(nullptr, 0, RunPicker, &run, 0, &threadId);
  if (!thread) return L"no thread";
  DialogSearch search{threadId, nullptr};
  for (int i = 0; i < 400 && !search.dialog; ++i) {
    ::Sleep(50);
    ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
  }
  if (search.dialog) {
    // Give the picker's initialisation (which selects `initial`) time to finish.
    ::Sleep(500);
    ::PostMessageW(search.dialog, WM_COMMAND, button, 0);
  }
  const bool ended = ::WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
  ::CloseHandle(thread);
  if (!search.dialog) return L"no dialog";
  return ended ? run.result : L"still open";
}

TEST(BrowseForFolder, ReturnsTheChosenFolderWithATrailingBackslash) {
  TempFolder temp(L"凯途");
  EXPECT_EQ(PickAndPress(temp.path(), IDOK), temp.path() + L"\\");
}

TEST(BrowseForFolder, ReturnsNothingWhenCancelled) {
  TempFolder temp(L"cancel");
  EXPECT_EQ(PickAndPress(temp.path(), IDCANCEL), L"");
}

}  // namespace
