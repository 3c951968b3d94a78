// CControlUI: the base of every element of a skinned window, a rectangle of the client area
// with a name, text, colours, images, a border, a tooltip and state flags. The paint manager
// (CWindowHostUI) positions, paints and feeds it with events; markup configures it through
// SetAttribute, whose table is the control's public vocabulary.
//
// Contract: user-interface thread only. A control is owned by its container (the root by
// the paint manager) and holds plain pointers to its manager and parent; destroying it runs
// its destroy hooks and lets the manager forget every reference to it. Failures come back
// as false or null; nothing throws. Colours are alpha-red-green-blue. Lengths (position,
// sizes, paddings, borders) are kept as set, at 96 dpi; the item rectangle and everything
// painted are in the window's pixels, at its display scale (DisplayScale.h).
#pragma once

#include <windows.h>

#include <string>

#include "ui/core/ControlEvents.h"
#include "ui/core/EventHooks.h"
#include "ui/core/LayoutMath.h"
#include "ui/skin/DisplayScale.h"

namespace SkinUI {

class CWindowHostUI;
class CControlUI;

using FindControlProc = CControlUI* (*)(CControlUI* control, void* data);

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  virtual std::wstring GetName() const;
  virtual void SetName(const wchar_t* name);
  virtual const wchar_t* GetClass() const;
  virtual void* GetInterface(const wchar_t* name);
  virtual UINT GetControlFlags() const;
  virtual bool Activate();
  virtual CWindowHostUI* GetManager() const;
  virtual void SetManager(CWindowHostUI* manager, CControlUI* parent, bool init = true);
  virtual CControlUI* GetParent() const;
  virtual std::wstring GetText() const;
  virtual void SetText(const wchar_t* text);

  // --- Position ---
  virtual const RECT& GetPos() const;
  virtual void SetPos(RECT rect);
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual int GetX() const;
  virtual int GetY() const;
  virtual RECT GetPadding() const;
  virtual void SetPadding(RECT padding);
  virtual SIZE GetFixedXY() const;
  virtual void SetFixedXY(SIZE xy);
  virtual int GetFixedWidth() const;
  virtual void SetFixedWidth(int cx);
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int cy);
  virtual int GetMinWidth() const;
  virtual void SetMinWidth(int cx);
  virtual int GetMaxWidth() const;
  virtual void SetMaxWidth(int cx);
  virtual int GetMinHeight() const;
  virtual void SetMinHeight(int cy);
  virtual int GetMaxHeight() const;
  virtual void SetMaxHeight(int cy);
  virtual void SetRelativePos(SIZE move, SIZE zoom);
  virtual void SetRelativeParentSize(SIZE size);
  virtual TRelativePos GetRelativePos() const;
  virtual bool IsRelativePos() const;

  // --- Tooltip, shortcut, menu, user data ---
  virtual std::wstring GetToolTip() const;
  virtual void SetToolTip(const wchar_t* text);
  virtual void SetToolTipWidth(int width);
  virtual int GetToolTipWidth() const;
  virtual wchar_t GetShortcut() const;
  virtual void SetShortcut(wchar_t ch);
  virtual bool IsContextMenuUsed() const;
  virtual void SetContextMenuUsed(bool used);
  virtual std::wstring GetUserData() const;
  virtual void SetUserData(const wchar_t* text);
  virtual UINT_PTR GetTag() const;
  virtual void SetTag(UINT_PTR tag);

  // --- State ---
  virtual bool IsVisible() const;
  virtual void SetVisible(bool visible = true);
  virtual void SetInheritedVisible(bool visible = true);
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool enabled = true);
  virtual bool IsMouseEnabled() const;
  virtual void SetMouseEnabled(bool enabled = true);
  virtual bool IsKeyboardEnabled() const;
  virtual void SetKeyboardEnabled(bool enabled = true);
  virtual bool IsFocused() const;
  virtual void SetFocus();
  virtual bool IsFloat() const;
  virtual void SetFloat(bool floating = true);

  virtual CControlUI* FindControl(FindControlProc proc, void* data, UINT flags);
  virtual void Invalidate();
  virtual void Init();
  virtual void DoInit();
  virtual void Event(TControlEvent& event);
  virtual void DoEvent(TControlEvent& event);
  virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
  virtual SIZE EstimateSize(SIZE available);

  // --- Painting ---
  virtual void DoPaint(HDC dc, const RECT& paint);
  virtual void PaintBkColor(HDC dc);
  virtual void PaintBkImage(HDC dc);
  virtual void PaintStatusImage(HDC dc);
  virtual void PaintText(HDC dc);
  virtual void PaintBorder(HDC dc);
  virtual void DoPostPaint(HDC dc, const RECT& paint);

  void NeedUpdate();
  void NeedParentUpdate();
  bool IsUpdateNeeded() const { return updateNeeded_; }
  // Applies name="value" pairs separated by single blanks (a default attribute list).
  void ApplyAttributeList(const wchar_t* list);
  // Draws `image` (then `modifier`) over the item, clipped to the part being painted; a
  // string that cannot be drawn (no manager or no device context) is cleared.
  bool DrawImage(HDC dc, std::wstring& image, const wchar_t* modifier = nullptr);
  uint32_t GetAdjustColor(uint32_t color) const;
  void SetBkColor(uint32_t color);
  void SetBkImage(const wchar_t* image);
  void SetBorderColor(uint32_t color);
  void SetBorderSize(int size);
  std::wstring GetBkImage() const { return bkImage_; }
  uint32_t GetBkColor() const { return bkColor_; }
  std::wstring GetVirtualWnd() const;
  // The scale of the window the control is in; 100 % without one.
  const TDisplayScale& DisplayScale() const;

  CEventHooks<CControlUI&> OnInit, OnDestroy, OnSize;
  CEventHooks<TControlEvent&> OnEvent;
  CEventHooks<TControlNotify&> OnNotify;

 protected:
  // The item rectangle clipped by every ancestor's; empty when nothing of it shows.
  RECT VisibleRect(RECT rect) const;
  // A control that does not take the mouse hands mouse events to its parent (or, at the
  // root, to the base handling); true when `event` was handed on.
  bool PassMouseEventOn(TControlEvent& event);
  // Stores a size limit and asks for a new layout when it changed.
  void SetSizeLimit(LONG& field, int value);

  CWindowHostUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  std::wstring virtualWnd_, name_;
  bool updateNeeded_ = true, menuUsed_ = false;
  RECT item_ = {}, padding_ = {};
  SIZE fixedXY_ = {}, fixedSize_ = {}, minSize_ = {}, maxSize_ = {9999, 9999};
  bool visible_ = true, internVisible_ = true, enabled_ = true, mouseEnabled_ = true;
  bool keyboardEnabled_ = true, focused_ = false, float_ = false, insidePosChange_ = false;
  TRelativePos relativePos_;
  std::wstring text_, tooltip_, userData_;
  wchar_t shortcut_ = 0;
  UINT_PTR tag_ = 0;
  uint32_t bkColor_ = 0, bkColor2_ = 0, bkColor3_ = 0;
  std::wstring bkImage_, foreImage_;
  uint32_t borderColor_ = 0, focusBorderColor_ = 0;
  bool colorHsl_ = false;
  int borderSize_ = 0, borderStyle_ = 0, tooltipWidth_ = 300;
  SIZE borderRound_ = {};
  RECT paintRect_ = {}, borderSizes_ = {};
};

}  // namespace SkinUI
