#include "ui/skin/SkinPainter.h"

#include <algorithm>
#include <vector>

#include "ui/markup/SkinStorage.h"
#include "ui/skin/AlphaBlender.h"
#include "ui/skin/DibSection.h"
#include "ui/skin/GdiplusPainter.h"
#include "ui/skin/ImageDecoder.h"
#include "ui/skin/ImageLayout.h"
#include "ui/skin/PixelBlend.h"
#include "ui/skin/SkinModule.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

namespace {

// Off-screen copies for rounded clipping are not made beyond this many pixels; larger
// images are drawn unclipped.
constexpr int64_t kMaxRoundedPixels = 4096 * 4096;

// Draws image pieces from one bitmap selected into a memory DC, each piece copied or blended
// as the image needs; restores the target's stretch mode afterwards.
class CPieceBlitter {
 public:
  CPieceBlitter(HDC target, HBITMAP bitmap, bool blend, BYTE fade, const RECT& paint)
      : target_(target), bitmap_(bitmap), blend_(blend), fade_(fade), paint_(paint),
        sourceDC_(::CreateCompatibleDC(target)), select_(sourceDC_.get(), bitmap) {
    oldStretchMode_ = ::SetStretchBltMode(target, HALFTONE);
    ::SetBrushOrgEx(target, 0, 0, &oldBrushOrigin_);
  }
  ~CPieceBlitter() {
    if (oldStretchMode_) ::SetStretchBltMode(target_, oldStretchMode_);
    ::SetBrushOrgEx(target_, oldBrushOrigin_.x, oldBrushOrigin_.y, nullptr);
  }
  CPieceBlitter(const CPieceBlitter&) = delete;
  CPieceBlitter& operator=(const CPieceBlitter&) = delete;

  bool ready() const { return sourceDC_.valid(); }

  void operator()(const TImagePiece& piece) const {
    const RECT d = ToRECT(piece.dest), s = ToRECT(piece.source);
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    if (blend_) {
      CAlphaBlender::Blend(target_, d, paint_, sourceDC_.get(), bitmap_, s, fade_);
    } else if (dw == sw && dh == sh) {
      ::BitBlt(target_, d.left, d.top, dw, dh, sourceDC_.get(), s.left, s.top, SRCCOPY);
    } else {
      ::StretchBlt(target_, d.left, d.top, dw, dh, sourceDC_.get(), s.left, s.top, sw, sh,
                   SRCCOPY);
    }
  }

 private:
  HDC target_;
  HBITMAP bitmap_;
  bool blend_;
  BYTE fade_;
  RECT paint_;
  win::ScopedMemoryDC sourceDC_;
  win::ScopedSelectObject select_;
  int oldStretchMode_ = 0;
  POINT oldBrushOrigin_ = {};
};

// Selects a pen and a brush for outline drawing and puts the previous ones back.
class COutlinePen {
 public:
  COutlinePen(HDC dc, int style, int size, uint32_t color)
      : pen_(::CreatePen(style, size, CSkinPainter::ToColorRef(color))),
        selectPen_(dc, pen_.get()),
        selectBrush_(dc, ::GetStockObject(NULL_BRUSH)) {}
  bool ready() const { return pen_.valid(); }

 private:
  win::ScopedPen pen_;
  win::ScopedSelectObject selectPen_;
  win::ScopedSelectObject selectBrush_;
};

}  // namespace

COLORREF CSkinPainter::ToColorRef(uint32_t color) {
  return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

std::unique_ptr<TImageRecord> CSkinPainter::LoadImage(const wchar_t* nameOrId,
                                                      const wchar_t* type, uint32_t mask) {
  if (!nameOrId) return nullptr;
  const bool isId = IS_INTRESOURCE(nameOrId);
  std::vector<uint8_t> bytes;
  bool loaded = false;
  // Steps 1-3: the resource, or the skin's folder or archive.
  if (type && *type) {
    loaded = CSkinModule::LoadResourceBytes(nameOrId, type, bytes) &&
             bytes.size() <= kMaxImageFileSize;
  } else if (!isId) {
    loaded = CSkinStorage::ReadSkinFile(nameOrId, kMaxImageFileSize, bytes) == CSkinStorage::kRead;
  }
  // Step 4: the name as a plain path.
  if (!loaded && !isId) {
    loaded = CSkinStorage::ReadDiskFile(nameOrId, kMaxImageFileSize, bytes) == CSkinStorage::kRead;
  }
  if (!loaded) return nullptr;

  // Step 5: decode.
  TDecodedImage decoded;
  if (!CImageDecoder::Decode(bytes.data(), bytes.size(), decoded)) return nullptr;
  std::vector<uint8_t>().swap(bytes);
  // Steps 6 and 7: a ready-to-blend bitmap.
  CDibSection dib;
  if (!dib.Create(decoded.width, decoded.height)) return nullptr;
  auto record = std::make_unique<TImageRecord>();
  record->alpha = CImageDecoder::ToPremultipliedBgra(decoded, mask, dib.bits());
  record->width = decoded.width;
  record->height = decoded.height;
  record->bitmap.reset(dib.Release());
  return record;
}

bool CSkinPainter::DrawImageString(HDC dc, CSkinResourceCache* resources, const RECT& item,
                                   const RECT& paint, const wchar_t* image,
                                   const wchar_t* modifier) {
  if (!dc || !resources) return false;
  CImageString::Parse(
      image, modifier, ToTRect(item),
      [&](const TImageDrawState& state) { DrawOneImage(dc, *resources, state, paint); },
      resources->GetScale());
  return true;
}

void CSkinPainter::DrawOneImage(HDC dc, CSkinResourceCache& resources,
                                const TImageDrawState& state, const RECT& paint) {
  // Step 1: the image record, loaded on first use.
  if (state.name.empty()) return;
  const TImageRecord* image = resources.FindOrLoadImage(
      state.name.c_str(), state.resourceType.empty() ? nullptr : state.resourceType.c_str(),
      state.mask);
  if (!image) return;
  // Steps 2 and 3: the source within the image; nothing outside the paint rectangle.
  const TSize size = CSkinResourceCache::LogicalSize(*image);
  const TRect source = CImageLayout::NormalizeSource(state.source, size.cx, size.cy);
  const TRect clip = ToTRect(paint);
  if (!Intersects(state.dest, clip)) return;
  // From here on in pixels of the window: the source, its corners and its centre as drawn.
  const TScaledSource scaled = resources.ScaledSource(state.name.c_str(), *image, source);
  if (!scaled.image) return;
  const TDisplayScale& scale = resources.GetScale();
  TImageDrawState drawn = state;
  drawn.corner = scale.Scale(state.corner);
  drawn.centerRect = scale.Scale(state.centerRect);
  // Step 4: fitting.
  const TRect dest =
      CImageLayout::FitDestination(state.dest, scaled.source, state.stretch, state.center);
  // Steps 5 and 6.
  if (state.roundCorner.cx > 0 && state.roundCorner.cy > 0 &&
      dest.Width() * dest.Height() <= kMaxRoundedPixels) {
    DrawRounded(dc, *scaled.image, drawn, dest, scaled.source);
  } else {
    DrawFitted(dc, *scaled.image, drawn, dest, clip, scaled.source);
  }
}

void CSkinPainter::DrawFitted(HDC dc, const TImageRecord& image, const TImageDrawState& state,
                              const TRect& dest, const TRect& paint, const TRect& source) {
  if (state.centerRect.IsZero()) {
    DrawImage(dc, image.bitmap.get(), ToRECT(dest), ToRECT(paint), ToRECT(source),
              ToRECT(state.corner), image.alpha, state.fade, state.hole, state.xtiled,
              state.ytiled);
    return;
  }
  CPieceBlitter blit(dc, image.bitmap.get(), image.alpha || state.fade < 255, state.fade,
                     ToRECT(paint));
  if (!blit.ready()) return;
  CImageLayout::ForEachCenterPreservingPiece(dest, paint, source, state.centerRect,
                                             state.alignTop, state.alignLeft, std::cref(blit));
}

void CSkinPainter::DrawRounded(HDC dc, const TImageRecord& image, const TImageDrawState& state,
                               const TRect& dest, const TRect& source) {
  const int width = static_cast<int>(dest.Width()), height = static_cast<int>(dest.Height());
  if (width <= 0 || height <= 0) return;
  // Pass 1: what lies under the image, with the image drawn over it at the origin.
  CDibSection composed, result;
  if (!composed.Create(width, height) || !result.Create(width, height)) return;
  win::ScopedMemoryDC composedDC(::CreateCompatibleDC(dc)), resultDC(::CreateCompatibleDC(dc));
  if (!composedDC || !resultDC) return;
  win::ScopedSelectObject selectComposed(composedDC.get(), composed.handle());
  win::ScopedSelectObject selectResult(resultDC.get(), result.handle());
  ::BitBlt(composedDC.get(), 0, 0, width, height, dc, dest.left, dest.top, SRCCOPY);
  const TRect local{0, 0, width, height};
  DrawFitted(composedDC.get(), image, state, local, local, source);
  // Pass 2: the untouched background, with the composed image filled in through the
  // rounded rectangle.
  ::BitBlt(resultDC.get(), 0, 0, width, height, dc, dest.left, dest.top, SRCCOPY);
  ::GdiFlush();
  if (!CGdiplusPainter::FillRoundedTexture(resultDC.get(), composed, width, height,
                                           state.roundCorner.cx, state.roundCorner.cy)) {
    return;
  }
  // Pass 3: back to the target.
  ::BitBlt(dc, dest.left, dest.top, width, height, resultDC.get(), 0, 0, SRCCOPY);
}

void CSkinPainter::DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint,
                             const RECT& source, const RECT& corners, bool alpha, BYTE fade,
                             bool hole, bool xtiled, bool ytiled) {
  if (!dc || !bitmap) return;
  CPieceBlitter blit(dc, bitmap, alpha || fade < 255, fade, paint);
  if (!blit.ready()) return;
  TNineSlice slice;
  slice.dest = ToTRect(dest);
  slice.paint = ToTRect(paint);
  slice.source = ToTRect(source);
  slice.corner = ToTRect(corners);
  slice.hole = hole;
  slice.xtiled = xtiled;
  slice.ytiled = ytiled;
  CImageLayout::ForEachNineSlicePiece(slice, std::cref(blit));
}

void CSkinPainter::DrawColor(HDC dc, const RECT& rect, uint32_t color) {
  if (!dc || color <= 0x00FFFFFF) return;
  if ((color >> 24) == 0xFF) {
    win::ScopedBrush brush(::CreateSolidBrush(ToColorRef(color)));
    if (brush) ::FillRect(dc, &rect, brush.get());
    return;
  }
  // Blended through a one-pixel bitmap, premultiplied like every blended source.
  CDibSection pixel;
  if (!pixel.Create(1, 1)) return;
  pixel.bits()[0] = CPixelBlend::Premultiply(color);
  win::ScopedMemoryDC pixelDC(::CreateCompatibleDC(dc));
  if (!pixelDC) return;
  win::ScopedSelectObject select(pixelDC.get(), pixel.handle());
  CAlphaBlender::Blend(dc, rect, rect, pixelDC.get(), pixel.handle(), RECT{0, 0, 1, 1}, 255);
}

void CSkinPainter::DrawLine(HDC dc, const RECT& rect, int size, uint32_t color, int style) {
  if (!dc) return;
  COutlinePen pen(dc, style, size, color);
  if (!pen.ready()) return;
  POINT old;
  ::MoveToEx(dc, rect.left, rect.top, &old);
  ::LineTo(dc, rect.right, rect.bottom);
  ::MoveToEx(dc, old.x, old.y, nullptr);
}

void CSkinPainter::DrawRect(HDC dc, const RECT& rect, int size, uint32_t color) {
  if (!dc) return;
  COutlinePen pen(dc, PS_SOLID | PS_INSIDEFRAME, size, color);
  if (pen.ready()) ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CSkinPainter::DrawRoundRect(HDC dc, const RECT& rect, int size, int width, int height,
                                 uint32_t color) {
  if (!dc) return;
  COutlinePen pen(dc, PS_SOLID | PS_INSIDEFRAME, size, color);
  if (pen.ready()) ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, width, height);
}

void CSkinPainter::DrawText(HDC dc, CSkinResourceCache* resources, RECT& rect,
                            const wchar_t* text, uint32_t color, int font, UINT style,
                            bool layered) {
  if (!dc || !resources || !text) return;
  HFONT chosen = resources->GetFont(font);
  if (layered && !(style & DT_CALCRECT)) {
    DrawLayeredText(dc, chosen, rect, text, color, style);
    return;
  }
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, ToColorRef(color));
  {
    win::ScopedSelectObject select(dc, chosen);
    ::DrawTextW(dc, text, -1, &rect, style | DT_NOPREFIX);
  }
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

void CSkinPainter::DrawLayeredText(HDC dc, HFONT font, const RECT& rect, const wchar_t* text,
                                   uint32_t color, UINT style) {
  // GDI text leaves alpha at 0, which a layered window shows as a hole. The text is drawn
  // white on black off-screen, its brightness taken as coverage, and blended in colour.
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  CDibSection coverage;
  if (width <= 0 || height <= 0 || !coverage.Create(width, height)) return;
  win::ScopedMemoryDC coverageDC(::CreateCompatibleDC(dc));
  if (!coverageDC) return;
  win::ScopedSelectObject selectBitmap(coverageDC.get(), coverage.handle());
  win::ScopedSelectObject selectFont(coverageDC.get(), font);
  ::SetBkMode(coverageDC.get(), TRANSPARENT);
  ::SetTextColor(coverageDC.get(), RGB(255, 255, 255));
  RECT local = {0, 0, width, height};
  ::DrawTextW(coverageDC.get(), text, -1, &local, style | DT_NOPREFIX);
  ::GdiFlush();
  const uint32_t alpha = color >> 24;
  const uint32_t premultiplied = CPixelBlend::Premultiply(color | 0xFF000000u);
  uint32_t* bits = coverage.bits();
  for (int64_t i = 0, count = int64_t{width} * height; i < count; ++i) {
    const uint32_t p = bits[i];
    const uint32_t level = std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF});
    const uint8_t a = static_cast<uint8_t>(level * alpha / 255);
    bits[i] = CPixelBlend::Over(0, premultiplied, a);
  }
  CAlphaBlender::Blend(dc, rect, rect, coverageDC.get(), coverage.handle(),
                       RECT{0, 0, width, height}, 255);
}

}  // namespace SkinUI
