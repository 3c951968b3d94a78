#include "TestCanvas.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/PngWriter.h"

namespace testing_support {

TestCanvas::TestCanvas(int width, int height, uint32_t fill) : width_(width), height_(height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<uint32_t*>(bits);
  dc_ = ::CreateCompatibleDC(nullptr);
  old_ = ::SelectObject(dc_, bitmap_);
  for (int i = 0; i < width_ * height_; ++i) bits_[i] = fill;
}

TestCanvas::~TestCanvas() {
  ::SelectObject(dc_, old_);
  ::DeleteDC(dc_);
  ::DeleteObject(bitmap_);
}

uint32_t TestCanvas::Pixel(int x, int y) const {
  ::GdiFlush();
  return bits_[y * width_ + x];
}

bool TestCanvas::CopyFromScreen(int x, int y) {
  HDC screen = ::GetDC(nullptr);
  if (!screen) return false;
  const bool copied = ::BitBlt(dc_, 0, 0, width_, height_, screen, x, y, SRCCOPY) != FALSE;
  ::ReleaseDC(nullptr, screen);
  ::GdiFlush();
  return copied;
}

bool TestCanvas::SavePng(const std::wstring& path) const {
  ::GdiFlush();
  std::vector<uint32_t> rgba(static_cast<size_t>(width_) * height_);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = (bits_[i] << 8) | 0xFF;
  const std::string png = EncodePng(width_, height_, rgba);
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

int TestCanvas::CountDiffering(const RECT& rect, uint32_t color, bool inside) const {
  ::GdiFlush();
  int count = 0;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const POINT point = {x, y};
      if ((::PtInRect(&rect, point) != FALSE) != inside) continue;
      if ((bits_[y * width_ + x] & 0xFFFFFF) != (color & 0xFFFFFF)) ++count;
    }
  }
  return count;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    if (std::abs(ca - cb) > tolerance) return false;
  }
  return true;
}

}  // namespace testing_support
