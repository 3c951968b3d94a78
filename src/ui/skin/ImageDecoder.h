// CImageDecoder: turns the bytes of a skin image (PNG, JPEG, BMP, GIF, PSD, PIC) into
// premultiplied 32-bit pixels through stb_image.
//
// Contract: pure, any thread. Image bytes are untrusted: Decode refuses anything stb_image
// cannot read and any image larger than kMaxDimension on a side or kMaxPixels in all, before
// allocating its pixels. Failures come back as false; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace SkinUI {

struct TDecodedImage {
  struct Free {
    void operator()(uint8_t* pixels) const;
  };
  int width = 0;
  int height = 0;
  std::unique_ptr<uint8_t, Free> rgba;  // width * height pixels, 8-bit red, green, blue, alpha
};

class CImageDecoder {
 public:
  static constexpr int kMaxDimension = 16384;
  static constexpr int64_t kMaxPixels = 16 << 20;

  static bool Decode(const uint8_t* bytes, size_t size, TDecodedImage& image);

  // Writes the image's pixels premultiplied, as 0xAARRGGBB values, to `out` (width * height
  // of them). A pixel whose result equals `mask` becomes fully transparent. Returns whether
  // any pixel has alpha below 255.
  static bool ToPremultipliedBgra(const TDecodedImage& image, uint32_t mask, uint32_t* out);
};

}  // namespace SkinUI
