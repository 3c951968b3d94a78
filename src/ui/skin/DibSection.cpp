#include "ui/skin/DibSection.h"

namespace SkinUI {

bool CDibSection::Create(int width, int height) {
  bitmap_.reset();
  bits_ = nullptr;
  width_ = height_ = 0;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) ::DeleteObject(bitmap);
    return false;
  }
  bitmap_.reset(bitmap);
  bits_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  return true;
}

HBITMAP CDibSection::Release() {
  bits_ = nullptr;
  width_ = height_ = 0;
  return bitmap_.release();
}

TConstPixelView CDibSection::PixelsOf(HBITMAP bitmap) {
  DIBSECTION section = {};
  if (!bitmap || ::GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return {};
  const BITMAP& bm = section.dsBm;
  if (!bm.bmBits || bm.bmBitsPixel != 32 || bm.bmWidth <= 0 || bm.bmHeight <= 0) return {};
  return TConstPixelView{static_cast<const uint32_t*>(bm.bmBits), bm.bmWidth, bm.bmHeight,
                         bm.bmWidthBytes / 4};
}

}  // namespace SkinUI
