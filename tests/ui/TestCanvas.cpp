#include "TestCanvas.h"

#include <cstdlib>

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
  Fill(fill);
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

void TestCanvas::Fill(uint32_t color) {
  ::GdiFlush();
  for (int i = 0; i < width_ * height_; ++i) bits_[i] = color;
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
