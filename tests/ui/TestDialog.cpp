#include "TestDialog.h"

#include <algorithm>

namespace testing_support {

HWND TestDialog::CreateDialogWindow(const std::wstring& title, HWND owner) {
  // No system menu: Wine then hides the window at once instead of asking the (absent) X
  // window manager.
  if (!Create(owner, title.c_str(), WS_POPUP | WS_MINIMIZEBOX, 0, 0, 0, 0, 0)) return nullptr;
  CenterWindow();
  return GetHWND();
}

int TestDialog::Count(const std::wstring& entry) const {
  return static_cast<int>(std::count(notifications.begin(), notifications.end(), entry));
}

void TestDialog::Notify(SkinUI::TControlNotify& notify) {
  notifications.push_back(notify.typeName + L":" + (notify.sender ? notify.sender->GetName() : L""));
  WindowImplBase::Notify(notify);
}

void TestDialog::OnFinalMessage(HWND window) {
  WindowImplBase::OnFinalMessage(window);
  ++finals;
}

}  // namespace testing_support
