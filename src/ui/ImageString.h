// The image-string language of skin markup: either a bare file name ("install_0.png") or a
// list of items key='value' ("file='opt_000.png' dest='0,4,16,20'"), optionally followed by a
// modifier string that the program builds at run time.
//
// Contract: pure, any thread. CImageString::Parse walks both strings and hands the drawing
// callback one TImageDrawState per image to draw, in order; the state carries over from one
// image to the next (a "dest" given for the first image still holds for the second). An
// item that cannot be read ends the parsing of its string, but what was gathered so far is
// still drawn. Parsing never reads past a terminator and never fails.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/SkinGeometry.h"

namespace SkinUI {

struct TImageDrawState {
  std::wstring name;          // image name; empty draws nothing
  std::wstring resourceType;  // empty: a file
  TRect dest;                 // in the target's coordinates
  TRect source;               // all zero: the whole image
  TRect corner;               // fixed border widths of the nine-slice
  TRect centerRect;           // all zero: no centre-preserving mode
  uint32_t mask = 0;
  uint8_t fade = 255;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
  bool stretch = true;
  bool center = false;
  bool alignTop = false;
  bool alignLeft = false;
  TSize roundCorner;
};

class CImageString {
 public:
  using DrawCallback = std::function<void(const TImageDrawState&)>;

  // Parses `image` then `modifier` (either may be null) for a control occupying `item`.
  static void Parse(const wchar_t* image, const wchar_t* modifier, const TRect& item,
                    const DrawCallback& draw);

 private:
  static void ParseOne(const wchar_t* text, const TRect& item, TImageDrawState& state,
                       int& imagesStarted, const DrawCallback& draw);
  static void Apply(const std::wstring& key, const std::wstring& value, const TRect& item,
                    TImageDrawState& state, int& imagesStarted, const DrawCallback& draw);
};

}  // namespace SkinUI
