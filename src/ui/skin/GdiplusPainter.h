// CGdiplusPainter: the drawing that needs GDI+ (anti-aliased rounded clipping of images),
// through its flat API.
//
// Contract: user-interface thread. GDI+ is started on first use and stays started for the
// process. Every GDI+ object is released before a call returns; failures come back as false
// and leave the target as it was.
#pragma once

#include <windows.h>

#include "ui/skin/DibSection.h"

namespace SkinUI {

class CGdiplusPainter {
 public:
  // Fills the rounded rectangle (0, 0, width, height) with elliptic corners of radii `radiusX`
  // and `radiusY` on `target` with a texture brush made of `texture`'s pixels (taken as
  // opaque), anti-aliased along the edge.
  static bool FillRoundedTexture(HDC target, const CDibSection& texture, int width, int height,
                                 int radiusX, int radiusY);
};

}  // namespace SkinUI
