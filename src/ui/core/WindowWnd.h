// CWindowWnd: the thin owner of one native window. It registers the window class (a new
// class, or a superclass of an existing one), creates the window with itself as creation
// parameter, routes every message to the virtual HandleMessage, runs modal loops, closes and
// centres the window.
//
// Contract: user-interface thread; the window belongs to the thread that created it. The
// object is linked to its window through the window's user data (superclassed and
// subclassed windows: the window property "WndX"), from the first non-client create message
// to the final non-client destroy message; after that link ends OnFinalMessage runs, which
// is where a self-owning window object may delete itself. A Create that fails calls no
// OnFinalMessage, so the object then still belongs to its caller. Destroying the object
// while its window lives destroys the window (a subclassed window is handed back instead).
// The window procedures never let an exception escape: a handler that throws gets the
// previous window procedure's default handling. Failures come back as null or 0.
#pragma once

#include <windows.h>

namespace SkinUI {

class CWindowWnd {
 public:
  CWindowWnd();
  virtual ~CWindowWnd();
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return window_; }

  // Registers the class and creates the window; null when either fails.
  virtual HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle,
                      int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                      int cy = CW_USEDEFAULT, HMENU menu = nullptr);
  HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rect,
              HMENU menu = nullptr);
  // Takes over the messages of an existing window until Unsubclass or its destruction.
  HWND Subclass(HWND window);
  void Unsubclass();

  // Hides, or shows normally (activated, taking the focus) or without activation.
  virtual void ShowWindow(bool show = true, bool takeFocus = true);
  // Shows the window, disables its owner and runs a message loop until the window is gone
  // or a quit message arrives (which is posted again). The result is the wParam of the last
  // close message posted to the window (Close), 0 without one.
  UINT ShowModal();
  // Posts the close message with `result` as its wParam.
  void Close(UINT result = IDOK);
  // Centres the window over its owner (over the work area when it has none, or the owner is
  // hidden or minimised), kept inside the work area; no resizing, reordering or activation.
  virtual void CenterWindow();
  // The icon resource `resourceId` of the program, large and small.
  void SetIcon(UINT resourceId);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

 protected:
  virtual const wchar_t* GetWindowClassName() const = 0;
  // A class to superclass, or null for a class of its own.
  virtual const wchar_t* GetSuperClassName() const;
  virtual UINT GetClassStyle() const;
  // The default calls the previous window procedure (the platform's default at first).
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND window);

  // The module the classes are registered with: the skin's program instance, else the
  // executable.
  static HINSTANCE ClassInstance();

  HWND window_ = nullptr;
  WNDPROC previousProc_ = ::DefWindowProcW;
  bool subclassed_ = false;

 private:
  bool RegisterWindowClass();
  bool RegisterSuperclass();
  // Linked through user data; superclassed and subclassed windows through the property.
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static CWindowWnd* Link(HWND window, UINT message, LPARAM lParam, bool byProperty);
  LRESULT Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool byProperty);
  LRESULT FinalMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                       bool byProperty);
};

}  // namespace SkinUI
