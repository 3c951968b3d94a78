// CEditWnd: the native edit box that a CEditUI opens over its text area while it has the
// focus. A CWindowWnd that superclasses the platform's "Edit" class as "EditWnd", it copies
// every change of its text to the control and sends "textchanged", sends "return" for the
// Return key, answers the colour requests the paint manager reflects back to it, and closes
// itself when it loses the keyboard focus.
//
// Contract: user-interface thread. The window owns this object: it is deleted at the
// window's final message, after which the owning control is told (unless it detached
// first). Open returns null when the window cannot be created. The window procedure never
// lets an exception escape.
#pragma once

#include <windows.h>

#include "runtime/Win32Handles.h"
#include "ui/core/WindowWnd.h"

namespace SkinUI {

class CEditUI;

class CEditWnd : public CWindowWnd {
 public:
  // Opens, shows and focuses the native edit box for `owner`, which must have a manager
  // with a window; null when it cannot be made.
  static CEditWnd* Open(CEditUI* owner);

  // The owner is going away: no more calls to it. The caller then destroys the window.
  void Detach() { owner_ = nullptr; }
  // Follows the owner's position.
  void Reposition();

  static constexpr const wchar_t* kClassName = L"EditWnd";

 protected:
  const wchar_t* GetWindowClassName() const override { return kClassName; }
  const wchar_t* GetSuperClassName() const override { return L"Edit"; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND window) override;

 private:
  explicit CEditWnd(CEditUI* owner) : owner_(owner) {}
  ~CEditWnd() override = default;

  void OnTextChanged();
  LRESULT OnColorRequest(HDC dc);
  RECT CalcPos() const;

  CEditUI* owner_;
  win::ScopedBrush brush_;
  bool initializing_ = true;
};

}  // namespace SkinUI
