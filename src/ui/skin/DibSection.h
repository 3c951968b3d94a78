// CDibSection: a 32-bit, top-down device-independent bitmap whose pixels this process can
// read and write directly (blue, green, red, alpha bytes; premultiplied where the framework
// blends).
//
// Contract: user-interface thread. The object owns its bitmap (through win::ScopedBitmap) and
// frees it when destroyed unless Release() handed it over. Create reports failure by false
// and leaves the object empty.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/Win32Handles.h"
#include "ui/skin/PixelBlend.h"

namespace SkinUI {

class CDibSection {
 public:
  CDibSection() = default;
  CDibSection(const CDibSection&) = delete;
  CDibSection& operator=(const CDibSection&) = delete;

  bool Create(int width, int height);

  HBITMAP handle() const { return bitmap_.get(); }
  uint32_t* bits() const { return bits_; }
  int width() const { return width_; }
  int height() const { return height_; }
  TPixelView view() const { return TPixelView{bits_, width_, height_, width_}; }

  // Hands the bitmap to the caller, who then deletes it; the object becomes empty.
  HBITMAP Release();

  // The pixels of a 32-bit top-down DIB section such as this class makes (the platform does
  // not report a section's orientation the same way everywhere, so none other is read); an
  // empty view for anything that is not a 32-bit DIB section.
  static TConstPixelView PixelsOf(HBITMAP bitmap);

 private:
  win::ScopedBitmap bitmap_;
  uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace SkinUI
