// Test helper: encodes 8-bit RGBA pixels as a PNG file, so that tests make the images they
// decode and draw.
//
// Contract: pure (zlib only), any thread; the result is a complete, valid PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// `rgba` holds width * height pixels, each 0xRRGGBBAA written as bytes R, G, B, A.
std::string EncodePng(int width, int height, const std::vector<uint32_t>& rgba);

// An image of one colour (0xRRGGBBAA).
std::string SolidPng(int width, int height, uint32_t rgba);

}  // namespace testing_support
