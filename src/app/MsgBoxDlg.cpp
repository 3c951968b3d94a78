#include "app/MsgBoxDlg.h"

#include "ui/core/ControlUI.h"

using SkinUI::CControlUI;

CMsgBoxDlg::CMsgBoxDlg(const std::wstring& text, const std::wstring& title,
                       const std::wstring& code)
    : text_(text), title_(title), code_(code) {}

CMsgBoxDlg::~CMsgBoxDlg() = default;

UINT CMsgBoxDlg::Run(HWND owner, const TOptions& options, CMsgBoxDlg** running) {
  auto* box = new CMsgBoxDlg(options.text, options.title, options.code);
  if (!box->Create(owner, options.title.c_str(), WS_POPUP, 0, 0, 0, 0, 0)) {
    delete box;
    return 0;
  }
  box->CenterWindow();
  box->SetOkText(options.okText);
  box->SetCancelText(options.cancelText);
  box->ShowCloseButton(options.showClose);
  box->ShowCancelButton(options.showCancel);
  box->ShowWindow(true, true);
  if (running) *running = box;
  // The box deletes itself when its window goes, before ShowModal returns.
  const UINT result = box->ShowModal();
  if (running) *running = nullptr;
  return result;
}

void CMsgBoxDlg::InitWindow() {
  SkinUI::CWindowHostUI& manager = GetPaintManager();
  cancelButton_ = manager.FindControl(L"btn_cancel");
  okButton_ = manager.FindControl(L"btn_ok");
  closeButton_ = manager.FindControl(L"btn_close");
  titleLabel_ = manager.FindControl(L"lb_title");
  textLabel_ = manager.FindControl(L"lb_text");
  cancelContainer_ = manager.FindControl(L"hlt_btn_0");
  codeLabel_ = manager.FindControl(L"lb_code");
  if (textLabel_) textLabel_->SetText(text_.c_str());
  if (titleLabel_) titleLabel_->SetText(title_.c_str());
  if (codeLabel_) codeLabel_->SetText(code_.c_str());
}

void CMsgBoxDlg::SetOkText(const std::wstring& text) {
  if (okButton_ && !text.empty()) okButton_->SetText(text.c_str());
}

void CMsgBoxDlg::SetCancelText(const std::wstring& text) {
  if (cancelButton_ && !text.empty()) cancelButton_->SetText(text.c_str());
}

void CMsgBoxDlg::ShowCloseButton(bool show) {
  if (closeButton_) closeButton_->SetVisible(show);
}

void CMsgBoxDlg::ShowCancelButton(bool show) {
  if (cancelContainer_) cancelContainer_->SetVisible(show);
}

void CMsgBoxDlg::Notify(SkinUI::TControlNotify& notify) {
  if (notify.typeName == L"click" && notify.sender) {
    if (notify.sender == okButton_) {
      Close(1);
      return;
    }
    if (notify.sender == cancelButton_ || notify.sender == closeButton_) {
      Close(2);
      return;
    }
  }
  WindowImplBase::Notify(notify);
}

bool CMsgBoxDlg::HandleDefaultKey(WPARAM key) {
  CControlUI* pressed = nullptr;
  if (key == VK_RETURN) {
    CControlUI* focus = GetPaintManager().GetFocus();
    const bool onButton =
        focus && (focus == okButton_ || focus == cancelButton_ || focus == closeButton_);
    pressed = onButton ? focus : okButton_;
  } else if (key == VK_ESCAPE) {
    pressed = cancelButton_ && cancelButton_->IsVisible() ? cancelButton_ : closeButton_;
  } else {
    return false;
  }
  // A hidden button is not pressed (Activate refuses it); the key is used up all the same.
  if (pressed) pressed->Activate();
  return true;
}

void CMsgBoxDlg::OnFinalMessage(HWND window) {
  WindowImplBase::OnFinalMessage(window);
  delete this;
}
