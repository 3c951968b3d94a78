// Layer windows (src/ui/windows), the top of the UI framework: the skinned dialog base, the
// dialog builder that makes a control tree from a layout file, and the window shadow. The
// program's dialogs derive from it; nothing below it knows it.
//
// WindowImplBase: the base of the program's skinned dialogs. When its window is created it
// takes the skin archive (by default the "ZIPRES" resource 150), builds the control tree of
// the dialog's layout file into its paint manager, applies the layout's window settings and
// creates the window shadow. It hides the native caption and frame and implements caption
// dragging, resizing borders, rounded corners, size limits, the system buttons ("btn_close",
// "btn_min", "btn_max", "btn_restore") and, in loops that pre-translate through the paint
// manager (ShowModal), Escape closing the window with 1. All of it follows the window's
// display scale; a move to a display of another scale (WM_DPICHANGED) rescales the window in
// place, keeping its tree and whatever the dialog put in it.
//
// Contract: user-interface thread. The dialog owns its paint manager (and through it the
// tree); the shadow belongs to the window and deletes itself with it. Derived dialogs name
// their class and layout, may override any handler below and look controls up by name in
// InitWindow. Each On... handler gets the message, its parameters and a handled flag that
// starts true; clearing it lets the message go on to HandleCustomMessage, then to the paint
// manager, then to the default handling. A skin that cannot be loaded is fatal: a "SkinUI"
// message box says "加载资源文件失败" and the process ends with exit code 1.
#pragma once

#include <windows.h>

#include <string>

#include "ui/core/ControlEvents.h"
#include "ui/core/NotifyPump.h"
#include "ui/core/WindowHostUI.h"
#include "ui/core/WindowWnd.h"
#include "ui/windows/DialogBuilder.h"

namespace SkinUI {

class CWndShadow;

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
 public:
  // Where GetSkinFile is found.
  enum TResourceType : int {
    kResourceFile = 1,         // a file in the skin folder
    kResourceZip = 2,          // an entry of the archive file GetSkinArchiveName
    kResourceResource = 3,     // the program's resource of type "xml" that GetSkinFile numbers
    kResourceZipResource = 4,  // an entry of the archive in the resource GetResourceID
  };

  WindowImplBase();
  ~WindowImplBase() override;

  CWindowHostUI& GetPaintManager() { return paintManager_; }
  // The window's shadow, null when the layout wants none or it could not be made.
  CWndShadow* GetShadow() const { return shadow_; }

  // Notifications of the window's controls, routed through the message map ("click" to
  // OnClick).
  void Notify(TControlNotify& notify) override;
  // The pre-message filter: Return and Escape key presses go to HandleDefaultKey.
  LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  // Elements outside the built-in table: none by default.
  CControlUI* CreateControl(const wchar_t* className) override;

 protected:
  virtual void InitWindow();
  // "btn_close" closes with 1; "btn_min", "btn_max", "btn_restore" send their system command.
  virtual void OnClick(TControlNotify& notify);
  virtual std::wstring GetSkinFolder();
  virtual std::wstring GetSkinFile() = 0;
  // Escape closes the window with 1; true when the key was used.
  virtual bool HandleDefaultKey(WPARAM key);
  virtual int GetResourceType() const;
  virtual std::wstring GetSkinArchiveName();
  virtual UINT GetResourceID() const;
  virtual LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcActivate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcCalcSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcPaint(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnNcHitTest(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnMouseWheel(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnMouseHover(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnMove(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnChar(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnSetFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                      bool& handled);
  virtual LRESULT OnShowWindow(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  // The window's style without the caption bits.
  virtual LONG GetStyle();

  UINT GetClassStyle() const override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Unhooks the dialog from its paint manager and reaps the control tree.
  void OnFinalMessage(HWND window) override;

  CWindowHostUI paintManager_;
  CWndShadow* shadow_ = nullptr;

 private:
  // The shadow's width on each side at 100 %.
  static constexpr int kShadowWidth = 14;

  LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
  // Makes the skin archive of GetResourceType available; false when it cannot be had.
  bool PrepareSkinSource();
  // The layout of GetSkinFile, built into the paint manager; null when it fails.
  CControlUI* BuildTree();
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  [[noreturn]] static void FailSkinLoading();
};

}  // namespace SkinUI
