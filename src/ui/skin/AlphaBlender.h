// CAlphaBlender: per-pixel-alpha source-over drawing with a constant alpha, through the
// platform's AlphaBlend when "msimg32.dll" has it and through an equivalent software blend
// otherwise.
//
// Contract: user-interface thread (GDI objects are used as given). AlphaBlend is looked up
// once per process and the library stays loaded. Sources are premultiplied 32-bit bitmaps.
// Both paths draw only inside `clip` and the target's own clipping; a blend that cannot be
// done returns false and leaves the target unchanged.
#pragma once

#include <windows.h>

namespace SkinUI {

class CAlphaBlender {
 public:
  // Blends `source` (a rectangle of `bitmap`, a 32-bit top-down DIB section selected into
  // `sourceDC`) scaled onto `dest` of `target`.
  static bool Blend(HDC target, const RECT& dest, const RECT& clip, HDC sourceDC,
                    HBITMAP bitmap, const RECT& source, BYTE constantAlpha);

  // The software path alone: reads the target's pixels under `dest` ∩ `clip`, blends in
  // memory (nearest-pixel scaling) and writes them back.
  static bool SoftwareBlend(HDC target, const RECT& dest, const RECT& clip, HBITMAP bitmap,
                            const RECT& source, BYTE constantAlpha);

  static bool HasPlatformBlend();
};

}  // namespace SkinUI
