// The image-string language of skin markup: either a bare file name ("install_0.png") or a
// list of items key='value' ("file='opt_000.png' dest='0,4,16,20'"), optionally followed by a
// modifier string that the program builds at run time.
//
// Contract: pure, any thread. CImageString::Parse walks both strings and hands the drawing
// callback one TImageDrawState per image to draw, in order; the state carries over from one
// image to the next (a "dest" given for the first image still holds for the second). An
// item that cannot be read ends the parsing of its string, but what was gathered so far is
// still drawn. Parsing never reads past a terminator and never fails. Lengths are written
// for 96 dpi: the destination and the rounded corners are drawn at the window's scale, while
// "source", "corner" and "centerrect" stay in pixels of the image's 1x file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/markup/SkinGeometry.h"
#include "ui/skin/DisplayScale.h"

namespace SkinUI {

struct TImageDrawState {
  std::wstring name;          // image name; empty draws nothing
  std::wstring resourceType;  // empty: a file
  TRect dest;                 // in the target's coordinates (its pixels)
  TRect source;               // in the 1x image; all zero: the whole image
  TRect corner;               // fixed border widths of the nine-slice, 1x
  TRect centerRect;           // 1x; all zero: no centre-preserving mode
  uint32_t mask = 0;
  uint8_t fade = 255;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
  bool stretch = true;
  bool center = false;
  bool alignTop = false;
  bool alignLeft = false;
  TSize roundCorner;          // in the target's pixels
};

class CImageString {
 public:
  using DrawCallback = std::function<void(const TImageDrawState&)>;

  // Parses `image` then `modifier` (either may be null) for a control occupying `item` in a
  // window drawn at `scale`.
  static void Parse(const wchar_t* image, const wchar_t* modifier, const TRect& item,
                    const DrawCallback& draw, const TDisplayScale& scale = TDisplayScale());

 private:
  struct TContext {
    const TRect& item;
    const TDisplayScale& scale;
    const DrawCallback& draw;
  };
  static void ParseOne(const wchar_t* text, const TContext& context, TImageDrawState& state,
                       int& imagesStarted);
  static void Apply(const std::wstring& key, const std::wstring& value, const TContext& context,
                    TImageDrawState& state, int& imagesStarted);
};

}  // namespace SkinUI
