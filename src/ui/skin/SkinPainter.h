// Layer skin (src/ui/skin), above markup: turning the skin into pixels. Images and their
// decoding, image strings, display scales, pixel arithmetic, the painter and the resource
// cache of fonts and images, and the program module that holds the skin. It draws into any
// device context it is handed and knows nothing of controls or windows.
//
// CSkinPainter: the stateless drawing of the skin framework: images decoded into
// premultiplied bitmaps, image strings with their nine-slice, tiling, fitting and rounded
// clipping, colours with alpha, outlines and text.
//
// Contract: user-interface thread; every operation takes the target device context first
// and leaves its selected objects, stretch mode, text colour and background mode as it
// found them. Images and fonts come from the caller's CSkinResourceCache (the paint
// manager's). Nothing is reported to the user: a missing or undecodable image draws nothing,
// an unknown font index uses the default font. DrawImageString returns false only when the
// cache or the device context is missing.
//
// Note: <windows.h> maps the names LoadImage and DrawText to their wide forms; every user
// of this header sees the same mapping.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/skin/ImageString.h"
#include "ui/skin/SkinResourceCache.h"

namespace SkinUI {

class CSkinPainter {
 public:
  // Image files above this size are not images of a skin.
  static constexpr size_t kMaxImageFileSize = 16u << 20;

  // Decodes one image: `nameOrId` is a resource (a name or MAKEINTRESOURCE id) when `type`
  // is given, else a file of the skin; as a last resort the name is read as a plain path.
  static std::unique_ptr<TImageRecord> LoadImage(const wchar_t* nameOrId, const wchar_t* type,
                                                 uint32_t mask);

  // Parses and draws `image` (then `modifier`) over `item`, clipped to `paint`.
  static bool DrawImageString(HDC dc, CSkinResourceCache* resources, const RECT& item,
                              const RECT& paint, const wchar_t* image,
                              const wchar_t* modifier = nullptr);

  // Nine-slice drawing of `source` of `bitmap` (a 32-bit top-down DIB section, as image
  // records hold) onto `dest`; only pieces that meet `paint` are drawn. Blends when `alpha`
  // is set or `fade` is below 255.
  static void DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint,
                        const RECT& source, const RECT& corners, bool alpha, BYTE fade = 255,
                        bool hole = false, bool xtiled = false, bool ytiled = false);

  // Alpha 0 draws nothing, alpha 255 fills, anything else blends.
  static void DrawColor(HDC dc, const RECT& rect, uint32_t color);
  // Outlines with a pen of `size` pixels; nothing is filled.
  static void DrawLine(HDC dc, const RECT& rect, int size, uint32_t color, int style = PS_SOLID);
  static void DrawRect(HDC dc, const RECT& rect, int size, uint32_t color);
  static void DrawRoundRect(HDC dc, const RECT& rect, int size, int width, int height,
                            uint32_t color);

  // Draws `text` in `rect` with the font at `font` of `resources` and the platform's text
  // style bits (plus no-prefix: '&' is drawn as itself). With DT_CALCRECT only measures,
  // into `rect`. `layered` draws with real alpha, for 32-bit layered-window bitmaps.
  static void DrawText(HDC dc, CSkinResourceCache* resources, RECT& rect, const wchar_t* text,
                       uint32_t color, int font, UINT style, bool layered = false);

  // An alpha-red-green-blue colour as the platform's COLORREF (alpha dropped).
  static COLORREF ToColorRef(uint32_t color);

 private:
  static void DrawOneImage(HDC dc, CSkinResourceCache& resources, const TImageDrawState& state,
                           const RECT& paint);
  static void DrawFitted(HDC dc, const TImageRecord& image, const TImageDrawState& state,
                         const TRect& dest, const TRect& paint, const TRect& source);
  static void DrawRounded(HDC dc, const TImageRecord& image, const TImageDrawState& state,
                          const TRect& dest, const TRect& source);
  static void DrawLayeredText(HDC dc, HFONT font, const RECT& rect, const wchar_t* text,
                              uint32_t color, UINT style);
};

}  // namespace SkinUI
