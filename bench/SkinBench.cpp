// Benchmarks of the skin foundations. Each figure is a ratio against a reference measured in
// the same run, printed as "BENCH <name> <value> <unit>":
//   layout_parse_per_utf8_decode   parsing a large layout / only decoding its UTF-8
//   image_string_draw_per_bitblt   a cached nine-slice image string over a 540x355 window /
//                                  one plain BitBlt of the same area
//   image_first_draw_per_cached    the first draw (archive, decode, premultiply) / a later one
//   software_blend_per_alphablend  the software blend / the platform's AlphaBlend, same area
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "support/PngWriter.h"
#include "support/ZipWriter.h"
#include "ui/markup/LayoutXml.h"
#include "ui/markup/SkinStorage.h"
#include "ui/markup/Utf8.h"
#include "ui/skin/AlphaBlender.h"
#include "ui/skin/DibSection.h"
#include "ui/skin/SkinPainter.h"

using namespace SkinUI;
using bench_support::Median;
using bench_support::Report;
using bench_support::Surface;

namespace {

std::string BigLayout() {
  std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"540,355\">\n";
  for (int i = 0; i < 3000; ++i) {
    text += "  <HorizontalLayout height=\"30\" padding=\"4,2,4,2\">\n"
            "    <Button name=\"btn_" + std::to_string(i) +
            "\" text=\"\xE5\xAE\x89\xE8\xA3\x85 &amp; go\" normalimage=\"file='b.png' "
            "source='0,0,80,30' corner='3,3,3,3'\" tooltip=\"t\"/>\n"
            "    <!-- a comment -->\n  </HorizontalLayout>\n";
  }
  return text + "</Window>\n";
}

}  // namespace

int main() {
  // Layout parsing against decoding alone.
  const std::string layout = BigLayout();
  const auto* bytes = reinterpret_cast<const uint8_t*>(layout.data());
  std::vector<wchar_t> wide(layout.size() + 1);
  const double decode = Median(15, [&] { Utf8ToWide(bytes, layout.size(), wide.data()); });
  const double parse = Median(15, [&] {
    CLayoutXml xml;
    if (!xml.LoadFromMem(bytes, layout.size())) std::printf("parse failed\n");
  });
  Report("layout_parse_per_utf8_decode", parse / decode, "ratio");

  // A skin archive with one 80x30 button image with alpha.
  std::vector<uint32_t> pixels(80 * 30);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0x3070B000u | (i % 256);
  const auto zip = testing_support::BuildZip({{"b.png", testing_support::EncodePng(80, 30, pixels), false}});
  CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size());

  Surface target(nullptr), source(nullptr);
  const RECT window = {0, 0, 540, 355};
  const wchar_t* image = L"file='b.png' corner='3,3,3,3'";
  const double blit = Median(31, [&] {
    ::BitBlt(target.dc, 0, 0, 540, 355, source.dc, 0, 0, SRCCOPY);
    ::GdiFlush();
  });
  double first = 0;
  {
    CSkinResourceCache cache;
    first = Median(1, [&] {
      CSkinPainter::DrawImageString(target.dc, &cache, window, window, image);
      ::GdiFlush();
    });
    const double cached = Median(31, [&] {
      CSkinPainter::DrawImageString(target.dc, &cache, window, window, image);
      ::GdiFlush();
    });
    Report("image_string_draw_per_bitblt", cached / blit, "ratio");
    Report("image_first_draw_per_cached", first / cached, "ratio");
  }

  // The software blend against the platform's, one image scaled over the window.
  CDibSection art;
  art.Create(80, 30);
  std::copy(pixels.begin(), pixels.end(), art.bits());
  HDC artDC = ::CreateCompatibleDC(nullptr);
  HGDIOBJ oldArt = ::SelectObject(artDC, art.handle());
  const RECT whole = {0, 0, 80, 30};
  const double platform = Median(15, [&] {
    CAlphaBlender::Blend(target.dc, window, window, artDC, art.handle(), whole, 200);
    ::GdiFlush();
  });
  const double software = Median(15, [&] {
    CAlphaBlender::SoftwareBlend(target.dc, window, window, art.handle(), whole, 200);
    ::GdiFlush();
  });
  Report("software_blend_per_alphablend", software / platform, "ratio");
  ::SelectObject(artDC, oldArt);
  ::DeleteDC(artDC);
  CSkinStorage::CloseSkinArchive();
  return 0;
}
