// Fuzz target: any text as an image string and its modifier, laid out the way the painter
// lays it out (source, fitting, nine-slice or centre-preserving pieces).
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/markup/Utf8.h"
#include "ui/skin/ImageLayout.h"
#include "ui/skin/ImageString.h"

using namespace SkinUI;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first zero byte separates the image string from the modifier.
  size_t split = 0;
  while (split < size && data[split] != 0) ++split;
  const std::wstring image = Utf8ToWide(std::string(reinterpret_cast<const char*>(data), split));
  const std::wstring modifier =
      split < size ? Utf8ToWide(std::string(reinterpret_cast<const char*>(data) + split + 1,
                                            size - split - 1))
                   : std::wstring();
  const TRect item{10, 20, 330, 220};
  const TRect paint{0, 0, 400, 300};
  size_t pieces = 0;
  auto count = [&](const TImagePiece& piece) {
    if (piece.dest.IsEmpty() || piece.source.IsEmpty()) __builtin_trap();
    ++pieces;
  };
  CImageString::Parse(image.c_str(), modifier.c_str(), item, [&](const TImageDrawState& state) {
    const int width = static_cast<int>(state.name.size() % 64) + 1;
    const int height = static_cast<int>(state.resourceType.size() % 64) + 1;
    const TRect source = CImageLayout::NormalizeSource(state.source, width, height);
    const TRect dest =
        CImageLayout::FitDestination(state.dest, source, state.stretch, state.center);
    if (!Intersects(dest, paint)) return;
    if (state.centerRect.IsZero()) {
      CImageLayout::ForEachNineSlicePiece(TNineSlice{dest, paint, source, state.corner,
                                                     state.hole, state.xtiled, state.ytiled},
                                          count);
    } else {
      CImageLayout::ForEachCenterPreservingPiece(dest, paint, source, state.centerRect,
                                                 state.alignTop, state.alignLeft, count);
    }
  });
  return pieces == SIZE_MAX;
}
