// The attribute table of CControlUI: how each markup attribute of the control base changes
// the control. Derived controls handle their own names and pass the rest here.
#include <cwchar>
#include <unordered_map>

#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/markup/ControlValues.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

namespace {

const wchar_t* SkipBlanks(const wchar_t* text) {
  while (*text == L' ' || *text == L'\t') ++text;
  return text;
}

// "bordersize" is one number, or four when anything but blanks follows the first.
bool IsSingleNumber(const wchar_t* text) {
  const wchar_t* end = text;
  ParseInt(text, &end);
  return *SkipBlanks(end) == 0;
}

}  // namespace

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!name || !value) return;
  using Setter = void (*)(CControlUI&, const wchar_t*);
  static const std::unordered_map<std::wstring, Setter> kTable = {
      {L"pos",
       [](CControlUI& c, const wchar_t* v) {
         const TPosValue pos = ParsePosValue(v);
         c.SetFixedXY(ToSIZE(pos.fixedXY));
         c.SetFixedWidth(pos.width);
         c.SetFixedHeight(pos.height);
       }},
      {L"relativepos",
       [](CControlUI& c, const wchar_t* v) {
         const TRect r = ParseRect(v);
         c.SetRelativePos(SIZE{r.left, r.top}, SIZE{r.right, r.bottom});
       }},
      {L"padding", [](CControlUI& c, const wchar_t* v) { c.SetPadding(ToRECT(ParseRect(v))); }},
      {L"bkcolor", [](CControlUI& c, const wchar_t* v) { c.SetBkColor(ParseColor(SkipBlanks(v))); }},
      {L"bkcolor1", [](CControlUI& c, const wchar_t* v) { c.SetBkColor(ParseColor(SkipBlanks(v))); }},
      {L"bkcolor2",
       [](CControlUI& c, const wchar_t* v) {
         c.bkColor2_ = ParseColor(SkipBlanks(v));
         c.Invalidate();
       }},
      {L"bkcolor3",
       [](CControlUI& c, const wchar_t* v) {
         c.bkColor3_ = ParseColor(SkipBlanks(v));
         c.Invalidate();
       }},
      {L"bordercolor", [](CControlUI& c, const wchar_t* v) { c.SetBorderColor(ParseColor(v)); }},
      {L"focusbordercolor",
       [](CControlUI& c, const wchar_t* v) {
         c.focusBorderColor_ = ParseColor(v);
         c.Invalidate();
       }},
      {L"colorhsl", [](CControlUI& c, const wchar_t* v) { c.colorHsl_ = ParseBool(v); }},
      {L"bordersize",
       [](CControlUI& c, const wchar_t* v) {
         if (IsSingleNumber(v)) {
           c.borderSizes_ = RECT{};
           c.SetBorderSize(ParseInt(v));
         } else {
           c.borderSizes_ = ToRECT(ParseRect(v));
           c.Invalidate();
         }
       }},
      {L"leftbordersize",
       [](CControlUI& c, const wchar_t* v) { c.borderSizes_.left = ParseInt(v); c.Invalidate(); }},
      {L"topbordersize",
       [](CControlUI& c, const wchar_t* v) { c.borderSizes_.top = ParseInt(v); c.Invalidate(); }},
      {L"rightbordersize",
       [](CControlUI& c, const wchar_t* v) { c.borderSizes_.right = ParseInt(v); c.Invalidate(); }},
      {L"bottombordersize",
       [](CControlUI& c, const wchar_t* v) { c.borderSizes_.bottom = ParseInt(v); c.Invalidate(); }},
      {L"borderstyle", [](CControlUI& c, const wchar_t* v) { c.borderStyle_ = ParseInt(v); }},
      {L"borderround",
       [](CControlUI& c, const wchar_t* v) {
         c.borderRound_ = ToSIZE(ParseSize(v));
         c.Invalidate();
       }},
      {L"bkimage", [](CControlUI& c, const wchar_t* v) { c.SetBkImage(v); }},
      {L"foreimage",
       [](CControlUI& c, const wchar_t* v) {
         c.foreImage_ = v;
         c.Invalidate();
       }},
      {L"width", [](CControlUI& c, const wchar_t* v) { c.SetFixedWidth(ParseInt(v)); }},
      {L"height", [](CControlUI& c, const wchar_t* v) { c.SetFixedHeight(ParseInt(v)); }},
      {L"minwidth", [](CControlUI& c, const wchar_t* v) { c.SetMinWidth(ParseInt(v)); }},
      {L"minheight", [](CControlUI& c, const wchar_t* v) { c.SetMinHeight(ParseInt(v)); }},
      {L"maxwidth", [](CControlUI& c, const wchar_t* v) { c.SetMaxWidth(ParseInt(v)); }},
      {L"maxheight", [](CControlUI& c, const wchar_t* v) { c.SetMaxHeight(ParseInt(v)); }},
      {L"name", [](CControlUI& c, const wchar_t* v) { c.SetName(v); }},
      {L"text", [](CControlUI& c, const wchar_t* v) { c.SetText(v); }},
      {L"tooltip", [](CControlUI& c, const wchar_t* v) { c.SetToolTip(v); }},
      {L"userdata", [](CControlUI& c, const wchar_t* v) { c.SetUserData(v); }},
      {L"enabled", [](CControlUI& c, const wchar_t* v) { c.SetEnabled(ParseBool(v)); }},
      {L"mouse", [](CControlUI& c, const wchar_t* v) { c.SetMouseEnabled(ParseBool(v)); }},
      {L"keyboard", [](CControlUI& c, const wchar_t* v) { c.SetKeyboardEnabled(ParseBool(v)); }},
      {L"visible", [](CControlUI& c, const wchar_t* v) { c.SetVisible(ParseBool(v)); }},
      {L"float", [](CControlUI& c, const wchar_t* v) { c.SetFloat(ParseBool(v)); }},
      {L"shortcut", [](CControlUI& c, const wchar_t* v) { c.SetShortcut(v[0]); }},
      {L"menu", [](CControlUI& c, const wchar_t* v) { c.SetContextMenuUsed(ParseBool(v)); }},
      {L"virtualwnd",
       [](CControlUI& c, const wchar_t* v) {
         c.virtualWnd_ = v;
         if (c.manager_) c.manager_->UsedVirtualWnd(true);
       }},
  };
  const auto found = kTable.find(name);
  if (found != kTable.end()) found->second(*this, value);
}

void CControlUI::ApplyAttributeList(const wchar_t* list) {
  ForEachListedAttribute(list, [this](const std::wstring& name, const std::wstring& value) {
    SetAttribute(name.c_str(), value.c_str());
  });
}

}  // namespace SkinUI
