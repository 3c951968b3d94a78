// Readers for the values that skin markup writes as text: decimal numbers, number lists,
// colours and booleans.
//
// Contract: pure functions, any thread. Every reader accepts any zero-terminated text (or
// null) and never reads past its terminator; what cannot be read becomes 0 or false. Numbers
// behave like the C library's wcstol/wcstoul on a platform with a 32-bit long: leading
// white space, an optional sign, digits up to the first other character, saturation on
// overflow.
#pragma once

#include <cstdint>

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

// A signed decimal. `end` (optional) receives where reading stopped; it is `text` itself when
// no digit was read.
int ParseInt(const wchar_t* text, const wchar_t** end = nullptr);

// An unsigned hexadecimal value with an optional "0x" prefix.
uint32_t ParseHex(const wchar_t* text, const wchar_t** end = nullptr);

// A colour, alpha-red-green-blue from the high byte down: an optional '#' then ParseHex.
uint32_t ParseColor(const wchar_t* text);

// "l,t,r,b": each later number starts one character after the end of the previous one, so
// any single separator works. Numbers missing at the end of the text are 0.
TRect ParseRect(const wchar_t* text);

// "cx,cy", read the same way.
TSize ParseSize(const wchar_t* text);

// Markup booleans are true only when written exactly "true".
bool ParseBool(const wchar_t* text);

}  // namespace SkinUI
