// CWndShadow: the soft grey shadow around a borderless window, drawn into a separate
// layered, click-through pop-up window ("QvShadowWnd") that the parent owns and that follows
// the parent's moves, resizes, showing and hiding.
//
// Contract: user-interface thread only; the parent must belong to the calling thread.
// Initialize runs once at program start, before any window exists. A shadow is made with
// new and handed a parent with Create. From a successful Create on, the object belongs to
// the parent window: it subclasses the parent and deletes itself after the parent's own
// final-destroy (WM_NCDESTROY) handling has run, restoring the parent's window procedure
// first; whoever made it keeps only a pointer, valid until then. A failed Create (no
// Initialize, no UpdateLayeredWindow, a parent that is no window of this thread or already
// has a shadow) leaves the object with its maker, who deletes it. Deleting an attached
// shadow earlier is allowed: it unhooks itself from its parent and destroys its window.
// Errors come back as false; a failed drawing leaves the previous shadow on screen. The
// parent procedure lets no exception escape.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/Win32Handles.h"
#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

class CWndShadow {
 public:
  CWndShadow();
  virtual ~CWndShadow();

  CWndShadow(const CWndShadow&) = delete;
  CWndShadow& operator=(const CWndShadow&) = delete;

  // Resolves UpdateLayeredWindow and registers the shadow window class with `instance`.
  // False when already initialized or when layered windows are not available.
  static bool Initialize(HINSTANCE instance);

  // Attaches the shadow to `parent` (see the contract for ownership). The shadow is drawn
  // one second later, or at the parent's first show or paint.
  bool Create(HWND parent);

  // Settings, taken at the next drawing: the width on each side (0 to 127, default 14), the
  // shift against the parent (-128 to 127 each, default 0, 0), the colour (default
  // 0x505050). Values outside the ranges are clamped.
  void SetSize(int size);
  void SetPosition(int offsetX, int offsetY);
  void SetColor(COLORREF color);

  // The shadow window; null before Create and after the parent's destruction.
  HWND GetHWND() const { return window_.get(); }

 private:
  enum Status : uint8_t {
    kEnabled = 1,
    kShadowVisible = 2,
    kParentVisible = 4,
  };

  static LRESULT CALLBACK ParentProc(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT ParentFinalDestroy(CWndShadow* shadow, HWND parent, WPARAM wParam,
                                    LPARAM lParam);
  static void CALLBACK FirstDrawTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
  static CWndShadow* FromParent(HWND parent);

  // Follows a parent message after the parent's previous procedure has handled it.
  void FollowParent(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
  void FollowParentSize(HWND parent, WPARAM wParam, LPARAM lParam);
  // The visibility rule: shows and redraws the shadow when the parent is visible and
  // neither minimised nor maximised, else hides it.
  void ApplyVisibility(HWND parent);
  // The shadow window's rectangle for the parent's current one; false when there is none.
  bool BoundsAround(HWND parent, TRect* bounds) const;
  void MoveToParent(HWND parent);
  void Redraw(HWND parent);
  void HideWindow();
  // Gives the parent its window procedure back and leaves the parent map.
  void Detach();

  win::ScopedWindow window_;
  int8_t size_ = 14;
  int8_t offsetX_ = 0;
  int8_t offsetY_ = 0;
  // The parent's client size at the last resize, packed as WM_SIZE packs it.
  uint32_t lastParentSize_ = 0;
  bool updateNeeded_ = false;
  COLORREF color_ = RGB(0x50, 0x50, 0x50);
  uint8_t status_ = 0;
  WNDPROC previousProc_ = nullptr;
  HWND parent_ = nullptr;
};

}  // namespace SkinUI
