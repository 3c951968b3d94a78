// CMsgBoxDlg: the installer's skinned message box ("MessageBox.xml"): a title bar with a
// close button, the tip icon, one line of text, an optional grey code line and the OK and
// cancel buttons. Every confirmation and error of the installer goes through it.
//
// Contract: user-interface thread. Boxes are made with new and own themselves once their
// window exists: the window's final message deletes the object, so after ShowModal returns
// the caller must not touch it again (a box whose Create failed is still the caller's). Run
// does the whole use safely. ShowModal gives 1 for OK and 2 for cancel or the close button.
// Keys: Tab moves between the buttons (OK has the focus first); Return presses the focused
// button, else OK; Escape presses cancel, else the close button, else nothing.
#pragma once

#include <windows.h>

#include <string>

#include "ui/windows/WindowImplBase.h"

namespace SkinUI {
class CControlUI;
}

class CMsgBoxDlg : public SkinUI::WindowImplBase {
 public:
  // Empty captions keep the skin's ("确定", "取消").
  struct TOptions {
    std::wstring title;
    std::wstring text;
    std::wstring code;
    std::wstring okText;
    std::wstring cancelText;
    bool showClose = true;
    bool showCancel = true;
  };

  CMsgBoxDlg(const std::wstring& text, const std::wstring& title, const std::wstring& code);
  // Only for a box whose Create failed: one with a window is deleted by its final message.
  ~CMsgBoxDlg() override;

  // Creates a box as a pop-up owned by `owner` (or none) whose window text is the title,
  // centres it, applies the captions and visibility, shows it focused and runs it modally.
  // While it runs, `*running` (when given) points at it. 1 for OK, 2 for cancel or close,
  // 0 when no box could be shown.
  static UINT Run(HWND owner, const TOptions& options, CMsgBoxDlg** running = nullptr);

  // Between Create and ShowModal: captions (empty keeps the skin's) and visibility.
  void SetOkText(const std::wstring& text);
  void SetCancelText(const std::wstring& text);
  void ShowCloseButton(bool show);
  // Shows or hides the cancel button's container "hlt_btn_0"; OK then moves to the right.
  void ShowCancelButton(bool show);

  static constexpr const wchar_t* kClassName = L"keltoim";
  static constexpr const wchar_t* kSkinFile = L"MessageBox.xml";

 protected:
  const wchar_t* GetWindowClassName() const override { return kClassName; }
  std::wstring GetSkinFile() override { return kSkinFile; }
  void InitWindow() override;
  void Notify(SkinUI::TControlNotify& notify) override;
  void OnFinalMessage(HWND window) override;
  // Return and Escape press a button here, whatever has the focus: never passed on.
  bool HandleDefaultKey(WPARAM key) override;

 private:
  SkinUI::CControlUI* cancelButton_ = nullptr;
  SkinUI::CControlUI* okButton_ = nullptr;
  SkinUI::CControlUI* closeButton_ = nullptr;
  SkinUI::CControlUI* titleLabel_ = nullptr;
  SkinUI::CControlUI* textLabel_ = nullptr;
  SkinUI::CControlUI* cancelContainer_ = nullptr;
  SkinUI::CControlUI* codeLabel_ = nullptr;
  std::wstring text_;
  std::wstring title_;
  std::wstring code_;
};
