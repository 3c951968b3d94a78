#include "ui/skin/AlphaBlender.h"

#include "ui/skin/DibSection.h"
#include "ui/skin/PixelBlend.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

namespace {

using AlphaBlendFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                         BLENDFUNCTION);

AlphaBlendFunction PlatformBlend() {
  // Looked up once; the library stays loaded for the process.
  static const AlphaBlendFunction function = [] {
    HMODULE library = ::LoadLibraryW(L"msimg32.dll");
    if (!library) return AlphaBlendFunction{nullptr};
    return reinterpret_cast<AlphaBlendFunction>(
        reinterpret_cast<void*>(::GetProcAddress(library, "AlphaBlend")));
  }();
  return function;
}

}  // namespace

bool CAlphaBlender::HasPlatformBlend() { return PlatformBlend() != nullptr; }

bool CAlphaBlender::Blend(HDC target, const RECT& dest, const RECT& clip, HDC sourceDC,
                          HBITMAP bitmap, const RECT& source, BYTE constantAlpha) {
  if (AlphaBlendFunction blend = PlatformBlend()) {
    const BLENDFUNCTION function = {AC_SRC_OVER, 0, constantAlpha, AC_SRC_ALPHA};
    return blend(target, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top,
                 sourceDC, source.left, source.top, source.right - source.left,
                 source.bottom - source.top, function) != FALSE;
  }
  return SoftwareBlend(target, dest, clip, bitmap, source, constantAlpha);
}

bool CAlphaBlender::SoftwareBlend(HDC target, const RECT& dest, const RECT& clip,
                                  HBITMAP bitmap, const RECT& source, BYTE constantAlpha) {
  const TConstPixelView pixels = CDibSection::PixelsOf(bitmap);
  const TRect area = Intersection(ToTRect(dest), ToTRect(clip));
  if (!pixels.pixels || area.IsEmpty()) return false;
  const int width = static_cast<int>(area.Width()), height = static_cast<int>(area.Height());
  // Pass 1: the target's pixels under the area.
  CDibSection scratch;
  if (!scratch.Create(width, height)) return false;
  win::ScopedMemoryDC scratchDC(::CreateCompatibleDC(target));
  if (!scratchDC) return false;
  win::ScopedSelectObject select(scratchDC.get(), scratch.handle());
  if (!::BitBlt(scratchDC.get(), 0, 0, width, height, target, area.left, area.top, SRCCOPY)) {
    return false;
  }
  ::GdiFlush();
  // Pass 2: blend in memory, in the scratch bitmap's coordinates.
  const TRect shifted{dest.left - area.left, dest.top - area.top, dest.right - area.left,
                      dest.bottom - area.top};
  CPixelBlend::Blend(scratch.view(), shifted, TRect{0, 0, width, height}, pixels,
                     ToTRect(source), constantAlpha);
  // Pass 3: back to the target, under its own clipping.
  return ::BitBlt(target, area.left, area.top, width, height, scratchDC.get(), 0, 0,
                  SRCCOPY) != FALSE;
}

}  // namespace SkinUI
