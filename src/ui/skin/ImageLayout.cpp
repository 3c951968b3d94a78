#include "ui/skin/ImageLayout.h"

#include <algorithm>

namespace SkinUI {

namespace {

TRect MakeRect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  return TRect{ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(right),
               ClampCoordinate(bottom)};
}

// First and last index of the tiles of size `piece` laid from `origin` over `length` that
// reach into [clipFrom, clipTo); last < first when none does.
void TileRange(int64_t origin, int64_t length, int64_t piece, int64_t clipFrom, int64_t clipTo,
               int64_t& first, int64_t& last) {
  const int64_t count = (length + piece - 1) / piece;
  first = clipFrom > origin ? (clipFrom - origin) / piece : 0;
  last = clipTo > origin ? std::min(count - 1, (clipTo - 1 - origin) / piece) : -1;
}

}  // namespace

TRect CImageLayout::NormalizeSource(const TRect& source, int imageWidth, int imageHeight) {
  TRect s = source.IsZero() ? TRect{0, 0, imageWidth, imageHeight} : source;
  s.right = std::min(s.right, imageWidth);
  s.bottom = std::min(s.bottom, imageHeight);
  s.left = std::max(s.left, 0);
  s.top = std::max(s.top, 0);
  return s;
}

TRect CImageLayout::FitDestination(const TRect& dest, const TRect& source, bool stretch,
                                   bool center) {
  const int64_t dw = dest.Width(), dh = dest.Height();
  const int64_t sw = source.Width(), sh = source.Height();
  if (stretch || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return dest;
  TRect fitted = dest;
  if (!center) {
    if (dw * sh > sw * dh) {
      const int64_t width = sw * dh / sh;
      fitted.left = ClampCoordinate(dest.left + (dw - width) / 2);
      fitted.right = ClampCoordinate(fitted.left + width);
    } else if (dw * sh < sw * dh) {
      const int64_t height = dw * sh / sw;
      fitted.top = ClampCoordinate(dest.top + (dh - height) / 2);
      fitted.bottom = ClampCoordinate(fitted.top + height);
    }
  } else if (dw >= sw && dh >= sh) {
    fitted = MakeRect(dest.left + (dw - sw) / 2, dest.top + (dh - sh) / 2,
                      dest.left + (dw - sw) / 2 + sw, dest.top + (dh - sh) / 2 + sh);
  }
  return fitted;
}

void CImageLayout::Emit(const TRect& dest, const TRect& source, const TRect& paint,
                        const PieceVisitor& visit) {
  if (dest.IsEmpty() || source.IsEmpty() || !Intersects(dest, paint)) return;
  visit(TImagePiece{dest, source});
}

void CImageLayout::ForEachNineSlicePiece(const TNineSlice& slice, const PieceVisitor& visit) {
  const TRect& d = slice.dest;
  const TRect& s = slice.source;
  const TRect& p = slice.paint;
  // Negative border widths mean nothing; they count as none.
  const int64_t cl = std::max(slice.corner.left, 0), ct = std::max(slice.corner.top, 0);
  const int64_t cr = std::max(slice.corner.right, 0), cb = std::max(slice.corner.bottom, 0);

  // Pass 1: the middle.
  if (!slice.hole) {
    const TRect middle = MakeRect(d.left + cl, d.top + ct, d.right - cr, d.bottom - cb);
    const TRect middleSource = MakeRect(s.left + cl, s.top + ct, s.right - cr, s.bottom - cb);
    if (!slice.xtiled && !slice.ytiled) {
      Emit(middle, middleSource, p, visit);
    } else {
      Tile(middle, middleSource, slice, visit);
    }
  }

  // Pass 2: the border pieces; corners keep their size, edges stretch along their edge.
  if (cl > 0 && ct > 0) {
    Emit(MakeRect(d.left, d.top, d.left + cl, d.top + ct),
         MakeRect(s.left, s.top, s.left + cl, s.top + ct), p, visit);
  }
  if (ct > 0) {
    Emit(MakeRect(d.left + cl, d.top, d.right - cr, d.top + ct),
         MakeRect(s.left + cl, s.top, s.right - cr, s.top + ct), p, visit);
  }
  if (cr > 0 && ct > 0) {
    Emit(MakeRect(d.right - cr, d.top, d.right, d.top + ct),
         MakeRect(s.right - cr, s.top, s.right, s.top + ct), p, visit);
  }
  if (cl > 0) {
    Emit(MakeRect(d.left, d.top + ct, d.left + cl, d.bottom - cb),
         MakeRect(s.left, s.top + ct, s.left + cl, s.bottom - cb), p, visit);
  }
  if (cr > 0) {
    Emit(MakeRect(d.right - cr, d.top + ct, d.right, d.bottom - cb),
         MakeRect(s.right - cr, s.top + ct, s.right, s.bottom - cb), p, visit);
  }
  if (cl > 0 && cb > 0) {
    Emit(MakeRect(d.left, d.bottom - cb, d.left + cl, d.bottom),
         MakeRect(s.left, s.bottom - cb, s.left + cl, s.bottom), p, visit);
  }
  if (cb > 0) {
    Emit(MakeRect(d.left + cl, d.bottom - cb, d.right - cr, d.bottom),
         MakeRect(s.left + cl, s.bottom - cb, s.right - cr, s.bottom), p, visit);
  }
  if (cr > 0 && cb > 0) {
    Emit(MakeRect(d.right - cr, d.bottom - cb, d.right, d.bottom),
         MakeRect(s.right - cr, s.bottom - cb, s.right, s.bottom), p, visit);
  }
}

void CImageLayout::Tile(const TRect& middle, const TRect& source, const TNineSlice& slice,
                        const PieceVisitor& visit) {
  if (middle.IsEmpty() || source.IsEmpty()) return;
  const TRect& p = slice.paint;
  const int64_t pw = source.Width(), ph = source.Height();
  // Only the tiles that reach into the paint rectangle are visited.
  int64_t firstCol = 0, lastCol = 0, firstRow = 0, lastRow = 0;
  if (slice.xtiled) TileRange(middle.left, middle.Width(), pw, p.left, p.right, firstCol, lastCol);
  if (slice.ytiled) TileRange(middle.top, middle.Height(), ph, p.top, p.bottom, firstRow, lastRow);
  for (int64_t row = firstRow; row <= lastRow; ++row) {
    for (int64_t col = firstCol; col <= lastCol; ++col) {
      TRect dest = middle;
      TRect src = source;
      if (slice.xtiled) {
        dest.left = ClampCoordinate(middle.left + col * pw);
        dest.right = ClampCoordinate(std::min<int64_t>(dest.left + pw, middle.right));
        src.right = ClampCoordinate(src.left + dest.Width());
      }
      if (slice.ytiled) {
        dest.top = ClampCoordinate(middle.top + row * ph);
        dest.bottom = ClampCoordinate(std::min<int64_t>(dest.top + ph, middle.bottom));
        src.bottom = ClampCoordinate(src.top + dest.Height());
      }
      Emit(dest, src, p, visit);
    }
  }
}

void CImageLayout::ForEachCenterPreservingPiece(const TRect& dest, const TRect& paint,
                                                const TRect& source, const TRect& centerRect,
                                                bool alignTop, bool alignLeft,
                                                const PieceVisitor& visit) {
  // Splits one axis into three parts: before the centre, the centre, after it.
  auto split = [](int64_t srcFrom, int64_t srcTo, int64_t centerFrom, int64_t centerTo,
                  int64_t dstFrom, int64_t dstTo, bool alignStart, int64_t srcEdges[4],
                  int64_t dstEdges[4]) {
    const int64_t length = srcTo - srcFrom;
    const int64_t c0 = std::clamp<int64_t>(centerFrom, 0, length);
    const int64_t c1 = std::clamp<int64_t>(centerTo, c0, length);
    const int64_t before = c0, middle = c1 - c0, after = length - c1;
    const int64_t room = dstTo - dstFrom;
    const int64_t shownMiddle = std::min(middle, room);
    const int64_t spare = room - shownMiddle;
    int64_t shownBefore;
    if (alignStart) {
      shownBefore = std::min(before, spare);
    } else {
      shownBefore = (before + after) > 0 ? spare * before / (before + after) : spare / 2;
    }
    srcEdges[0] = srcFrom;
    srcEdges[1] = srcFrom + c0;
    srcEdges[2] = srcFrom + c1;
    srcEdges[3] = srcTo;
    dstEdges[0] = dstFrom;
    dstEdges[1] = dstFrom + shownBefore;
    dstEdges[2] = dstFrom + shownBefore + shownMiddle;
    dstEdges[3] = dstTo;
  };
  if (dest.IsEmpty() || source.IsEmpty()) return;
  int64_t sx[4], dx[4], sy[4], dy[4];
  split(source.left, source.right, centerRect.left, centerRect.right, dest.left, dest.right,
        alignLeft, sx, dx);
  split(source.top, source.bottom, centerRect.top, centerRect.bottom, dest.top, dest.bottom,
        alignTop, sy, dy);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      Emit(MakeRect(dx[col], dy[row], dx[col + 1], dy[row + 1]),
           MakeRect(sx[col], sy[row], sx[col + 1], sy[row + 1]), paint, visit);
    }
  }
}

}  // namespace SkinUI
