// CEditUI: a text field. While it has the focus, a native platform edit box (CEditWnd) lies
// over its text area and takes the typing; each change of its text is copied back and sends
// "textchanged", and Return sends "return". Without the focus the control paints its text
// itself (masked in password mode, the hint text when empty).
//
//   state      image (the first that applies and draws)
//   disabled   "disabledimage"
//   focused    "focusedimage"
//   hot        "hotimage"
//   normal     "normalimage"
//
// Contract: user-interface thread; ownership as for CControlUI. The native window belongs to
// itself (it deletes itself when destroyed) and tells the control when it goes; destroying
// the control destroys an open native window first. SetText always sends "textchanged".
#pragma once

#include "ui/controls/LabelUI.h"

namespace SkinUI {

class CEditWnd;

class CEditUI : public CLabelUI {
 public:
  CEditUI();
  ~CEditUI() override;

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetEnabled(bool enabled = true) override;
  void SetText(const wchar_t* text) override;
  void SetVisible(bool visible = true) override;
  void SetInheritedVisible(bool visible = true) override;
  void SetPos(RECT rect) override;
  void DoEvent(TControlEvent& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintStatusImage(HDC dc) override;
  void PaintText(HDC dc) override;

  void SetReadOnly(bool readOnly);
  bool IsReadOnly() const { return readOnly_; }
  void SetPasswordMode(bool password);
  bool IsPasswordMode() const { return passwordMode_; }
  void SetPasswordChar(wchar_t ch);
  wchar_t GetPasswordChar() const { return passwordChar_; }
  void SetMaxChar(int maximum);
  int GetMaxChar() const { return maxChar_; }
  void SetNumberOnly(bool numberOnly);
  bool IsNumberOnly() const;
  void SetNativeEditTextColor(uint32_t color) { nativeTextColor_ = color; }
  void SetNativeEditBkColor(uint32_t color) { nativeBkColor_ = color; }
  uint32_t GetNativeEditBkColor() const { return nativeBkColor_; }
  // The open native edit box, or null.
  HWND GetNativeWindow() const;
  // The text colour inside the native box: "nativecolor", else the label's.
  uint32_t GetNativeEditTextColor() const;

  // What the native box reports. Typing changed its text: the control takes it and sends
  // "textchanged". The box is gone: the control paints its text again and gives up the focus.
  void OnNativeTextChanged(std::wstring text);
  void OnNativeClosed();

 private:
  void CloseNativeWhenHidden();

  CEditWnd* editWnd_ = nullptr;
  int maxChar_ = 255;
  bool readOnly_ = false, passwordMode_ = false;
  wchar_t passwordChar_ = L'*';
  UINT buttonState_ = 0;
  std::wstring normalImage_, hotImage_, focusedImage_, disabledImage_, hintText_;
  uint32_t nativeTextColor_ = 0, nativeBkColor_ = 0xFFFFFFFF, hintColor_ = 0;
  DWORD editStyle_ = 0;
};

}  // namespace SkinUI
