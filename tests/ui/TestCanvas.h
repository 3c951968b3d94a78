// Test helper: a 32-bit top-down DIB section selected into a memory DC, to draw into, to copy
// the screen into, to read back pixel by pixel and to save as a PNG file.
//
// Contract: the test's thread; owns the DC and the bitmap. Pixels are 0xAARRGGBB. Failures
// come back as false.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace testing_support {

class TestCanvas {
 public:
  TestCanvas(int width, int height, uint32_t fill);
  ~TestCanvas();
  TestCanvas(const TestCanvas&) = delete;
  TestCanvas& operator=(const TestCanvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  uint32_t Pixel(int x, int y) const;
  uint32_t Rgb(int x, int y) const { return Pixel(x, y) & 0xFFFFFF; }
  // Copies the screen's pixels from (x, y) on, as the display shows them (screenshots).
  bool CopyFromScreen(int x, int y);
  // Writes the colours as an opaque PNG file; the folder must exist.
  bool SavePng(const std::wstring& path) const;
  // The number of pixels inside (or, with inside false, outside) `rect` that differ from
  // `color` in their colour bytes.
  int CountDiffering(const RECT& rect, uint32_t color, bool inside = true) const;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_;
  int height_;
};

// Channels of two colours differ by at most `tolerance`.
bool Near(uint32_t a, uint32_t b, int tolerance);

}  // namespace testing_support
