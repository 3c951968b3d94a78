// CImageLayout: where the pieces of an image go when it is drawn: the source rectangle's
// normalisation, fitting and centring of non-stretched images, the nine-slice with its
// corners, hole and tiling, and the centre-preserving mode.
//
// Contract: pure, any thread; no allocation. Pieces are handed to a visitor, only those
// whose destination intersects the paint rectangle and whose source and destination are
// both non-empty. Pieces of a stretched part map their whole source onto their whole
// destination; tiles are cut, never scaled. Any input is accepted: degenerate or
// overlapping corners simply yield fewer pieces.
#pragma once

#include <functional>

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

struct TImagePiece {
  TRect dest;
  TRect source;
};

struct TNineSlice {
  TRect dest;
  TRect paint;
  TRect source;
  TRect corner;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
};

class CImageLayout {
 public:
  using PieceVisitor = std::function<void(const TImagePiece&)>;

  // An all-zero source becomes the whole image; right and bottom are cut at the image's
  // size, left and top at 0.
  static TRect NormalizeSource(const TRect& source, int imageWidth, int imageHeight);

  // Without stretch: keep the source's proportions and centre them in `dest`, or with
  // `center` draw at natural size in the middle of a destination large enough for it.
  static TRect FitDestination(const TRect& dest, const TRect& source, bool stretch, bool center);

  // Pass order: the middle (stretched or tiled, skipped with a hole), then the border pieces
  // top-left, top, top-right, left, right, bottom-left, bottom, bottom-right.
  static void ForEachNineSlicePiece(const TNineSlice& slice, const PieceVisitor& visit);

  // `centerRect` (relative to the source's top left) keeps its natural size; the parts
  // around it stretch to fill `dest`. The spare width goes to the left and right parts in
  // proportion to their widths, or all to the right part with `alignLeft` (likewise
  // vertically with `alignTop`). A destination smaller than the centre shrinks the centre.
  static void ForEachCenterPreservingPiece(const TRect& dest, const TRect& paint,
                                           const TRect& source, const TRect& centerRect,
                                           bool alignTop, bool alignLeft,
                                           const PieceVisitor& visit);

 private:
  static void Emit(const TRect& dest, const TRect& source, const TRect& paint,
                   const PieceVisitor& visit);
  static void Tile(const TRect& middle, const TRect& source, const TNineSlice& slice,
                   const PieceVisitor& visit);
};

}  // namespace SkinUI
