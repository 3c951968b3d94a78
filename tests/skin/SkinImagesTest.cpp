// The images the layouts name and the program draws: each is in the archive, decodes and
// fits the control that shows it, every state of a control has its image, and the progress
// bar's two images hold up under the image string the install dialog builds for every
// filled width.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "SkinArchiveTest.h"
#include "ui/ImageLayout.h"
#include "ui/ImageString.h"
#include "ui/Utf8.h"

namespace skin_testing {
namespace {

using SkinUI::CImageLayout;
using SkinUI::CImageString;
using SkinUI::TDecodedImage;
using SkinUI::TImageDrawState;
using SkinUI::TImagePiece;
using SkinUI::TNineSlice;
using SkinUI::TRect;

const wchar_t* const kImageAttributes[] = {
    L"bkimage",       L"foreimage",     L"normalimage",   L"hotimage",
    L"pushedimage",   L"focusedimage",  L"disabledimage", L"selectedimage",
    L"selectedhotimage", L"hotforeimage"};

std::string Utf8(const std::wstring& text) { return SkinUI::WideToUtf8(text); }

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::vector<TImageDrawState> Draws(const std::wstring& image, const TRect& item) {
  std::vector<TImageDrawState> draws;
  CImageString::Parse(image.c_str(), nullptr, item,
                      [&](const TImageDrawState& state) { draws.push_back(state); });
  return draws;
}

TRect WholeImage(const TDecodedImage& image) { return TRect{0, 0, image.width, image.height}; }

// The progress bar's image string as the install dialog builds it for a bar `width` pixels
// wide, `filled` of them filled, with the shine at its start.
std::wstring ProgramProgressString(int width, int filled) {
  const int x = 0, a = 0, s = 80, d = std::min(filled, x), f = 0;
  const int s2a = d > f ? f - x + 230 : 0, s2b = d > f ? d - x + 230 : 0;
  const int g = std::min(filled, 110);
  const std::wstring gap = std::wstring(9, L'\t') + L"   ";
  wchar_t text[520];
  std::swprintf(text, 520,
                L"file='progress_bk.png' dest='0,0,%d,30' %ls"
                L"file='progress_fore.png' corner='0,10,%d,10' dest='0,0,%d,30' %ls"
                L"file='pro_flash_bk.png' corner='0,0,0,0' dest='%d,0,%d,30' source='%d,0,%d,30' %ls"
                L"file='pro_flash_fore.png' corner='0,0,0,0' dest='%d,0,%d,30' source='%d,0,%d,30' %ls",
                width, gap.c_str(), g, filled, gap.c_str(), a, x, s, 80, gap.c_str(), f, d, s2a,
                s2b, gap.c_str());
  return text;
}

std::vector<TImagePiece> Pieces(const TImageDrawState& d, const TDecodedImage& image,
                                const TRect& paint) {
  TNineSlice slice;
  slice.dest = d.dest;
  slice.paint = paint;
  slice.source = CImageLayout::NormalizeSource(d.source, image.width, image.height);
  slice.corner = d.corner;
  slice.hole = d.hole;
  slice.xtiled = d.xtiled;
  slice.ytiled = d.ytiled;
  std::vector<TImagePiece> pieces;
  CImageLayout::ForEachNineSlicePiece(slice, [&](const TImagePiece& p) { pieces.push_back(p); });
  return pieces;
}

uint32_t Pixel(const TDecodedImage& image, int x, int y) {
  const uint8_t* p = image.rgba.get() + (static_cast<size_t>(y) * image.width + x) * 4;
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

class LayoutImages : public SkinArchiveTest, public testing::WithParamInterface<const wchar_t*> {
 protected:
  void SetUp() override {
    SkinArchiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(LoadLayout(GetParam(), layout_));
  }
  LayoutIndex layout_;
};

INSTANTIATE_TEST_SUITE_P(Skin, LayoutImages,
                         testing::Values(L"InstallPackages.xml", L"MessageBox.xml"));

TEST_P(LayoutImages, AreInTheArchiveDecodeAndFitTheirControls) {
  for (const TLayoutElement& e : layout_.elements()) {
    for (const wchar_t* attribute : kImageAttributes) {
      if (!e.Has(attribute)) continue;
      const std::string where = Utf8(e.Attr(L"name")) + " " + Utf8(attribute);
      const std::vector<TImageDrawState> draws = Draws(e.Attr(attribute), e.item);
      EXPECT_FALSE(draws.empty()) << where;
      for (const TImageDrawState& d : draws) {
        const TDecodedImage* image = Image(d.name);
        if (!image) {
          ADD_FAILURE() << where << ": " << Utf8(d.name) << " is not in the archive or does not decode";
          continue;
        }
        const TRect source = d.source.IsZero() ? WholeImage(*image) : d.source;
        EXPECT_TRUE(source.left >= 0 && source.top >= 0 && source.right <= image->width &&
                    source.bottom <= image->height && !source.IsEmpty())
            << where << ": the source lies outside " << Utf8(d.name);
        EXPECT_LE(d.corner.left + d.corner.right, source.Width()) << where;
        EXPECT_LE(d.corner.top + d.corner.bottom, source.Height()) << where;
        if (d.corner.IsZero() && d.stretch) {
          // Scaled bitmaps blur: an image without corners is drawn at its own size.
          EXPECT_EQ(d.dest.Width(), source.Width()) << where << " is scaled";
          EXPECT_EQ(d.dest.Height(), source.Height()) << where << " is scaled";
        }
        if (!d.stretch && d.center) {
          EXPECT_LE(source.Width(), d.dest.Width()) << where << " is squeezed";
          EXPECT_LE(source.Height(), d.dest.Height()) << where << " is squeezed";
        }
      }
    }
  }
}

TEST_P(LayoutImages, EveryStateOfAControlHasItsOwnImageOfOneSize) {
  const auto states = [](const std::wstring& type) -> std::vector<const wchar_t*> {
    if (type == L"Button") return {L"normalimage", L"hotimage", L"pushedimage", L"disabledimage"};
    if (type == L"Option") return {L"bkimage", L"hotimage", L"selectedimage", L"selectedhotimage"};
    if (type == L"Edit") return {L"normalimage", L"hotimage", L"focusedimage", L"disabledimage"};
    return {};
  };
  for (const TLayoutElement& e : layout_.elements()) {
    const std::vector<const wchar_t*> wanted = states(e.type);
    if (wanted.empty()) continue;
    const std::string name = Utf8(e.Attr(L"name"));
    if (e.type == L"Button" && !e.Has(L"normalimage")) {
      // A text link: its colour answers the mouse instead of an image.
      EXPECT_FALSE(e.Attr(L"text").empty()) << name;
      EXPECT_TRUE(e.Has(L"hottextcolor")) << name;
      EXPECT_NE(e.Attr(L"hottextcolor"), e.Attr(L"textcolor")) << name;
      continue;
    }
    std::set<std::wstring> distinct;
    std::vector<TImageDrawState> firsts;
    for (const wchar_t* state : wanted) {
      EXPECT_TRUE(e.Has(state)) << name << " lacks " << Utf8(state);
      distinct.insert(e.Attr(state));
      const auto draws = Draws(e.Attr(state), e.item);
      if (!draws.empty()) firsts.push_back(draws.front());
    }
    EXPECT_EQ(distinct.size(), wanted.size()) << name << " shows two states alike";
    for (const TImageDrawState& d : firsts) {
      EXPECT_EQ(d.dest, firsts.front().dest) << name << ": states jump";
      EXPECT_EQ(d.source.Width(), firsts.front().source.Width()) << name;
      EXPECT_EQ(d.source.Height(), firsts.front().source.Height()) << name;
    }
    if (e.type == L"Option") {
      // The box is 16 x 16, four pixels below the option's top left.
      const TRect box{e.item.left, e.item.top + 4, e.item.left + 16, e.item.top + 20};
      for (const TImageDrawState& d : firsts) EXPECT_EQ(d.dest, box) << name;
    }
  }
}

class SkinImages : public SkinArchiveTest {};

TEST_F(SkinImages, ArchiveHoldsBothLayoutsAndOnlyImagesThatAreDrawn) {
  std::set<std::wstring> used = {L"progress_fore.png"};  // named by the program's own string
  for (const wchar_t* file : {L"InstallPackages.xml", L"MessageBox.xml"}) {
    LayoutIndex layout;
    ASSERT_TRUE(LoadLayout(file, layout));
    for (const TLayoutElement& e : layout.elements()) {
      for (const wchar_t* attribute : kImageAttributes) {
        for (const TImageDrawState& d : Draws(e.Attr(attribute), e.item)) used.insert(Lower(d.name));
      }
    }
  }
  std::set<std::wstring> layouts;
  for (const std::wstring& entry : EntryNames()) {
    const std::wstring name = Lower(entry);
    const bool xml = name.size() > 4 && name.compare(name.size() - 4, 4, L".xml") == 0;
    const bool png = name.size() > 4 && name.compare(name.size() - 4, 4, L".png") == 0;
    EXPECT_TRUE(xml || png) << Utf8(entry) << " does not belong in the skin";
    if (xml) layouts.insert(entry);
    if (png) {
      EXPECT_EQ(used.count(name), 1u) << Utf8(entry) << " is never drawn";
    }
  }
  EXPECT_EQ(layouts, (std::set<std::wstring>{L"InstallPackages.xml", L"MessageBox.xml"}));
}

class ProgressBarImages : public SkinArchiveTest {
 protected:
  static constexpr int kWidth = 500;
  static constexpr int kHead = 110;  // the program's corner never exceeds this
  const TRect kBar{20, 250, 20 + kWidth, 280};
};

TEST_F(ProgressBarImages, TrackIsTheBarsSizeAndTheFillIsTallEnoughToCut) {
  const TDecodedImage* track = Image(L"progress_bk.png");
  const TDecodedImage* fill = Image(L"progress_fore.png");
  ASSERT_NE(track, nullptr);
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(track->width, kWidth);
  EXPECT_EQ(track->height, 30);
  EXPECT_EQ(fill->height, 30) << "the fill's ten-pixel top and bottom rows are drawn unscaled";
  EXPECT_GE(fill->width, kWidth);
  // The track's string while downloading: its three-pixel corners stay sharp.
  for (const TImageDrawState& d : Draws(L"file='progress_bk.png' corner='3,3,3,3'", kBar)) {
    for (const TImagePiece& p : Pieces(d, *track, kBar)) {
      EXPECT_EQ(p.source.Width(), p.dest.Width());
      EXPECT_EQ(p.source.Height(), p.dest.Height());
    }
  }
}

TEST_F(ProgressBarImages, FillCoversExactlyTheFilledWidthWithItsHeadUnscaled) {
  const TDecodedImage* track = Image(L"progress_bk.png");
  const TDecodedImage* fill = Image(L"progress_fore.png");
  ASSERT_TRUE(track && fill);
  for (int filled = 0; filled <= kWidth; ++filled) {
    int64_t fillArea = 0, trackArea = 0;
    bool headUnscaled = filled == 0;
    for (const TImageDrawState& d : Draws(ProgramProgressString(kWidth, filled), kBar)) {
      if (d.name == L"progress_bk.png") {
        for (const TImagePiece& p : Pieces(d, *track, kBar)) trackArea += p.dest.Width() * p.dest.Height();
      } else if (d.name == L"progress_fore.png") {
        for (const TImagePiece& p : Pieces(d, *fill, kBar)) {
          EXPECT_TRUE(p.dest.left >= kBar.left && p.dest.right <= kBar.left + filled &&
                      p.dest.top >= kBar.top && p.dest.bottom <= kBar.bottom)
              << "filled " << filled;
          EXPECT_TRUE(p.source.right <= fill->width && p.source.bottom <= fill->height);
          EXPECT_EQ(p.source.Height(), p.dest.Height()) << "filled " << filled;
          fillArea += p.dest.Width() * p.dest.Height();
          if (p.dest.right == kBar.left + filled && p.source.right == fill->width &&
              p.source.Width() == p.dest.Width()) {
            headUnscaled = true;
          }
        }
      }
    }
    EXPECT_EQ(trackArea, int64_t{kWidth} * 30) << "filled " << filled;
    EXPECT_EQ(fillArea, int64_t{filled} * 30) << "filled " << filled;
    EXPECT_TRUE(headUnscaled) << "filled " << filled;
  }
}

TEST_F(ProgressBarImages, FillBodyIsTheSameInEveryColumnSoStretchingNeverShows) {
  const TDecodedImage* fill = Image(L"progress_fore.png");
  ASSERT_NE(fill, nullptr);
  for (int y = 0; y < fill->height; ++y) {
    for (int x = 1; x < fill->width - kHead; ++x) {
      ASSERT_EQ(Pixel(*fill, x, y), Pixel(*fill, 0, y)) << "column " << x << ", row " << y;
    }
  }
}

TEST_F(ProgressBarImages, TrackAndFillAreSolidAlongTheMiddle) {
  const TDecodedImage* track = Image(L"progress_bk.png");
  const TDecodedImage* fill = Image(L"progress_fore.png");
  ASSERT_TRUE(track && fill);
  const int middle = 15;
  for (int x = 1; x < kWidth - 1; ++x) EXPECT_EQ(Pixel(*track, x, middle) & 0xFF, 0xFFu) << x;
  // Cut anywhere, the fill starts with a solid column.
  for (int x = 0; x < fill->width - 1; ++x) EXPECT_EQ(Pixel(*fill, x, middle) & 0xFF, 0xFFu) << x;
}

}  // namespace
}  // namespace skin_testing
