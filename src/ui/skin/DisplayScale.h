// TDisplayScale: how large a window's pixels are drawn, from the dots per inch of its display
// (96 is 100 %). Layouts, image strings and fonts are written for 96 dpi and the controls
// keep those values; layout and painting turn them into the window's pixels through this
// scale, so that a change of display takes a new scale and a new layout and nothing else.
// Skin images come in sets: 1x ("name.png", for 96 dpi) and 2x ("name@2x.png", 192 dpi).
//
// Contract: plain values and pure functions, any thread. Any dpi is accepted and held within
// 96 (no display is set below 100 %) and kMaxDpi. Results are rounded half away from zero and
// clamped to +/- kCoordinateLimit; because the scale never shrinks, Unscale(Scale(v)) is v
// wherever Scale(v) is not clamped.
#pragma once

#include <cstdint>
#include <string>

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

constexpr int kBaseDpi = 96;
constexpr int kMaxDpi = 8 * kBaseDpi;

class TDisplayScale {
 public:
  TDisplayScale() = default;
  explicit TDisplayScale(int dpi);

  int dpi() const { return dpi_; }
  bool operator==(const TDisplayScale& o) const { return dpi_ == o.dpi_; }
  bool operator!=(const TDisplayScale& o) const { return dpi_ != o.dpi_; }

  // A length or offset at 96 dpi in the window's pixels, and back.
  int Scale(int64_t value) const;
  int Unscale(int64_t value) const;
  TSize Scale(const TSize& size) const { return TSize{Scale(size.cx), Scale(size.cy)}; }
  TSize Unscale(const TSize& size) const { return TSize{Unscale(size.cx), Unscale(size.cy)}; }
  // Each of the four values on its own (margins, or offsets from an item's corner).
  TRect Scale(const TRect& rect) const;

  // The dpi of the image set drawn at this scale: 1x up to 100 %, 2x above.
  int ImageSetDpi() const { return dpi_ > kBaseDpi ? 2 * kBaseDpi : kBaseDpi; }

 private:
  int dpi_ = kBaseDpi;
};

// The file of image `name` in the set of `setDpi`: "a.png" at 96, "a@2x.png" at 192 (the
// suffix goes before the extension; a name without one gets it at the end).
std::wstring ImageSetFileName(const std::wstring& name, int setDpi);

}  // namespace SkinUI
