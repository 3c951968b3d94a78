// The small value rules of the controls that need no window: text style words, tooltip line
// breaks, attribute lists, the progress bar's filled part and its image modifier, and the
// bands of a background gradient.
//
// Contract: pure functions, any thread. Every text input may be null or arbitrary; what
// cannot be read is skipped or ends the reading, and nothing reads past a terminator.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

// Text style bits: the platform's text drawing flags.
constexpr uint32_t kTextLeft = 0x0;
constexpr uint32_t kTextCenter = 0x1;
constexpr uint32_t kTextRight = 0x2;
constexpr uint32_t kTextTop = 0x0;
constexpr uint32_t kTextVCenter = 0x4;
constexpr uint32_t kTextBottom = 0x8;
constexpr uint32_t kTextSingleLine = 0x20;
constexpr uint32_t kTextEndEllipsis = 0x8000;

// The "align" attribute: each of the words left, center, right, top, vcenter, bottom and
// vleft found anywhere in `value` changes `style`, in that order (so "vcenter" also applies
// "center", and "vleft" also applies "left").
uint32_t ApplyAlignWords(uint32_t style, const wchar_t* value);

// A tooltip text with every "<n>" replaced by a line break (CR LF).
std::wstring ExpandLineBreaks(const wchar_t* text);

// Walks `list`: pairs name="value" separated by single blanks, handing each to `apply`.
// Stops at the first pair that does not have this form; returns the number applied.
int ForEachListedAttribute(const wchar_t* list,
                           const std::function<void(const std::wstring& name,
                                                    const std::wstring& value)>& apply);

// The filled part of a progress bar of `size`, relative to its top left corner. A maximum
// not above the minimum counts as minimum + 1 and the value is held within the bounds
// (nothing is stored). Horizontal bars fill from the left, vertical ones from the bottom.
TRect ProgressFillRect(int minimum, int maximum, int value, TSize size, bool horizontal);

// The modifier with which a progress bar draws its fore image over the filled part:
// stretched, or cut from the image at the same place, or cut with rounded corners.
std::wstring ProgressForeModifier(const TRect& fill, bool stretch, bool roundCorner);

// Splits `rect` into at most `maxBands` horizontal bands from top to bottom and gives each
// its colour between `from` and `to` (alpha-red-green-blue, every channel interpolated).
void ForEachGradientBand(const TRect& rect, uint32_t from, uint32_t to, int maxBands,
                         const std::function<void(const TRect& band, uint32_t color)>& paint);

}  // namespace SkinUI
