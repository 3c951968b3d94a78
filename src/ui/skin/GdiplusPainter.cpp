#include "ui/skin/GdiplusPainter.h"

// GDI+'s headers need the COM declarations first.
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

namespace SkinUI {

namespace {

namespace gp = Gdiplus::DllExports;

bool EnsureStarted() {
  static const bool started = [] {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return started;
}

template <typename T, Gdiplus::GpStatus (*Delete)(T*)>
struct GpDeleter {
  void operator()(T* object) const { Delete(object); }
};
using GpBitmapPtr = std::unique_ptr<Gdiplus::GpBitmap, GpDeleter<Gdiplus::GpImage, gp::GdipDisposeImage>>;
using GpBrushPtr = std::unique_ptr<Gdiplus::GpBrush, GpDeleter<Gdiplus::GpBrush, gp::GdipDeleteBrush>>;
using GpGraphicsPtr =
    std::unique_ptr<Gdiplus::GpGraphics, GpDeleter<Gdiplus::GpGraphics, gp::GdipDeleteGraphics>>;
using GpPathPtr = std::unique_ptr<Gdiplus::GpPath, GpDeleter<Gdiplus::GpPath, gp::GdipDeletePath>>;

}  // namespace

bool CGdiplusPainter::FillRoundedTexture(HDC target, const CDibSection& texture, int width,
                                         int height, int radiusX, int radiusY) {
  using Gdiplus::Ok;
  if (!target || !texture.bits() || width <= 0 || height <= 0 || !EnsureStarted()) return false;

  Gdiplus::GpBitmap* rawBitmap = nullptr;
  if (gp::GdipCreateBitmapFromScan0(texture.width(), texture.height(), texture.width() * 4,
                                    PixelFormat32bppRGB, reinterpret_cast<BYTE*>(texture.bits()),
                                    &rawBitmap) != Ok) {
    return false;
  }
  GpBitmapPtr bitmap(rawBitmap);
  Gdiplus::GpTexture* rawBrush = nullptr;
  if (gp::GdipCreateTexture(bitmap.get(), Gdiplus::WrapModeTile, &rawBrush) != Ok) return false;
  GpBrushPtr brush(rawBrush);
  Gdiplus::GpGraphics* rawGraphics = nullptr;
  if (gp::GdipCreateFromHDC(target, &rawGraphics) != Ok) return false;
  GpGraphicsPtr graphics(rawGraphics);
  gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
  gp::GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHighQuality);
  Gdiplus::GpPath* rawPath = nullptr;
  if (gp::GdipCreatePath(Gdiplus::FillModeAlternate, &rawPath) != Ok) return false;
  GpPathPtr path(rawPath);

  // Corner arcs clockwise from the top left, joined by the straight edges.
  const Gdiplus::REAL w = static_cast<Gdiplus::REAL>(width);
  const Gdiplus::REAL h = static_cast<Gdiplus::REAL>(height);
  const Gdiplus::REAL rx = static_cast<Gdiplus::REAL>(radiusX);
  const Gdiplus::REAL ry = static_cast<Gdiplus::REAL>(radiusY);
  const Gdiplus::REAL dx = 2 * rx, dy = 2 * ry;
  gp::GdipAddPathArc(path.get(), 0, 0, dx, dy, 180, 90);
  gp::GdipAddPathLine(path.get(), rx, 0, w - rx, 0);
  gp::GdipAddPathArc(path.get(), w - dx, 0, dx, dy, 270, 90);
  gp::GdipAddPathLine(path.get(), w, ry, w, h - ry);
  gp::GdipAddPathArc(path.get(), w - dx, h - dy, dx, dy, 0, 90);
  gp::GdipAddPathLine(path.get(), w - rx, h, rx, h);
  gp::GdipAddPathArc(path.get(), 0, h - dy, dx, dy, 90, 90);
  gp::GdipAddPathLine(path.get(), 0, h - ry, 0, ry);
  gp::GdipClosePathFigure(path.get());
  return gp::GdipFillPath(graphics.get(), brush.get(), path.get()) == Ok;
}

}  // namespace SkinUI
