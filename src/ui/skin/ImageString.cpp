#include "ui/skin/ImageString.h"

#include "ui/markup/SkinValues.h"

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) { return c >= 1 && c <= 32; }

// "dest" and "rdest": offsets from the item's top left or bottom right corner, cut at the
// item's right and bottom.
TRect PlaceInItem(const TRect& offsets, int originX, int originY, const TRect& item) {
  TRect dest{ClampCoordinate(int64_t{originX} + offsets.left),
             ClampCoordinate(int64_t{originY} + offsets.top),
             ClampCoordinate(int64_t{originX} + offsets.right),
             ClampCoordinate(int64_t{originY} + offsets.bottom)};
  if (dest.right > item.right) dest.right = item.right;
  if (dest.bottom > item.bottom) dest.bottom = item.bottom;
  return dest;
}

}  // namespace

void CImageString::Parse(const wchar_t* image, const wchar_t* modifier, const TRect& item,
                         const DrawCallback& draw, const TDisplayScale& scale) {
  TImageDrawState state;
  state.name = image ? image : L"";
  state.dest = item;
  int imagesStarted = 0;
  const TContext context{item, scale, draw};
  ParseOne(image, context, state, imagesStarted);
  imagesStarted = 0;
  ParseOne(modifier, context, state, imagesStarted);
  draw(state);
}

void CImageString::ParseOne(const wchar_t* text, const TContext& context,
                            TImageDrawState& state, int& imagesStarted) {
  if (!text) return;
  const wchar_t* p = text;
  std::wstring key, value;
  while (*p) {
    while (IsBlank(*p)) ++p;
    const wchar_t* keyStart = p;
    while (*p && *p != L'=' && !IsBlank(*p)) ++p;
    key.assign(keyStart, p);
    while (IsBlank(*p)) ++p;
    if (*p != L'=') return;
    ++p;
    while (IsBlank(*p)) ++p;
    if (*p != L'\'') return;
    ++p;
    const wchar_t* valueStart = p;
    while (*p && *p != L'\'') ++p;
    if (*p != L'\'') return;
    value.assign(valueStart, p);
    ++p;
    if (!value.empty()) Apply(key, value, context, state, imagesStarted);
    // Items are separated by a space; anything else ends the string.
    if (*p != L' ') return;
    ++p;
  }
}

void CImageString::Apply(const std::wstring& key, const std::wstring& value,
                         const TContext& context, TImageDrawState& state, int& imagesStarted) {
  const wchar_t* v = value.c_str();
  const TRect& item = context.item;
  const DrawCallback& draw = context.draw;
  if (key == L"file" || key == L"res") {
    if (imagesStarted > 0) draw(state);
    state.name = value;
    if (key == L"file") ++imagesStarted;
  } else if (key == L"restype") {
    if (imagesStarted > 0) draw(state);
    state.resourceType = value;
    ++imagesStarted;
  } else if (key == L"dest") {
    state.dest = PlaceInItem(context.scale.Scale(ParseRect(v)), item.left, item.top, item);
  } else if (key == L"rdest") {
    state.dest = PlaceInItem(context.scale.Scale(ParseRect(v)), item.right, item.bottom, item);
  } else if (key == L"source") {
    state.source = ParseRect(v);
  } else if (key == L"corner") {
    state.corner = ParseRect(v);
  } else if (key == L"centerrect") {
    state.centerRect = ParseRect(v);
  } else if (key == L"mask") {
    state.mask = ParseColor(v);
  } else if (key == L"fade") {
    state.fade = static_cast<uint8_t>(ParseInt(v));
  } else if (key == L"hole") {
    state.hole = ParseBool(v);
  } else if (key == L"xtiled") {
    state.xtiled = ParseBool(v);
  } else if (key == L"ytiled") {
    state.ytiled = ParseBool(v);
  } else if (key == L"stretch") {
    state.stretch = ParseBool(v);
  } else if (key == L"center") {
    state.center = ParseBool(v);
  } else if (key == L"aligntop") {
    state.alignTop = ParseBool(v);
  } else if (key == L"alignleft") {
    state.alignLeft = ParseBool(v);
  } else if (key == L"roundcorner") {
    state.roundCorner = context.scale.Scale(ParseSize(v));
  }
  // "gray", "angle" and unknown keys are read and ignored.
}

}  // namespace SkinUI
