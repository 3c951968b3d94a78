// Test helper: a plain skinned dialog (WindowImplBase) whose layout the test gives (a skin
// file of the archive, or markup text), recording what reaches it.
//
// Contract: the test's thread. The skin archive is the "ZIPRES" resource 150 of the test
// program unless an archive is held already. The object outlives its window; it records
// notifications as "type:sender name".
#pragma once

#include <string>
#include <vector>

#include "ui/ControlUI.h"
#include "ui/WindowImplBase.h"

namespace testing_support {

class TestDialog : public SkinUI::WindowImplBase {
 public:
  explicit TestDialog(std::wstring layout) : layout_(std::move(layout)) {}

  // Creates the dialog as the installer creates its windows (a pop-up of the skin's size),
  // centred; null when it cannot.
  HWND CreateDialogWindow(const std::wstring& title, HWND owner = nullptr);
  SkinUI::CControlUI* Find(const wchar_t* name) { return paintManager_.FindControl(name); }
  int Count(const std::wstring& entry) const;

  std::vector<std::wstring> notifications;
  bool rootAtInit = false;
  int finals = 0;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"KeltoTestDialog"; }
  std::wstring GetSkinFile() override { return layout_; }
  void InitWindow() override { rootAtInit = paintManager_.GetRoot() != nullptr; }
  void Notify(SkinUI::TControlNotify& notify) override;
  void OnFinalMessage(HWND window) override;

 private:
  std::wstring layout_;
};

}  // namespace testing_support
