#include "ui/skin/ImageDecoder.h"

#include <climits>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_ONLY_PSD
#define STBI_ONLY_PIC
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace SkinUI {

static_assert(CImageDecoder::kMaxDimension == STBI_MAX_DIMENSIONS, "one limit for both");

void TDecodedImage::Free::operator()(uint8_t* pixels) const { stbi_image_free(pixels); }

bool CImageDecoder::Decode(const uint8_t* bytes, size_t size, TDecodedImage& image) {
  image = TDecodedImage();
  if (!bytes || size == 0 || size > INT_MAX) return false;
  const int length = static_cast<int>(size);
  // The header alone tells the size; a hostile one must not make stb_image allocate.
  int width = 0, height = 0, components = 0;
  if (!stbi_info_from_memory(bytes, length, &width, &height, &components)) return false;
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension ||
      int64_t{width} * height > kMaxPixels) {
    return false;
  }
  uint8_t* pixels = stbi_load_from_memory(bytes, length, &width, &height, &components, 4);
  if (!pixels) return false;
  image.rgba.reset(pixels);
  image.width = width;
  image.height = height;
  return true;
}

bool CImageDecoder::ToPremultipliedBgra(const TDecodedImage& image, uint32_t mask,
                                        uint32_t* out) {
  bool alpha = false;
  const uint8_t* p = image.rgba.get();
  const int64_t count = int64_t{image.width} * image.height;
  for (int64_t i = 0; i < count; ++i, p += 4) {
    const uint32_t r = p[0], g = p[1], b = p[2], a = p[3];
    uint32_t value;
    if (a < 255) {
      value = (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
      alpha = true;
    } else {
      value = (a << 24) | (r << 16) | (g << 8) | b;
    }
    if (value == mask) {
      value = 0;
      alpha = true;
    }
    out[i] = value;
  }
  return alpha;
}

}  // namespace SkinUI
