// The faces the layouts name must draw every Chinese text of the skin with real glyphs. On a
// Chinese Windows they are installed; in the test prefix Wine substitutes WenQuanYi Micro
// Hei for them. Without a face that has the characters, every one of them would come out as
// the same empty box, in the windows and in every screenshot taken of them.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "DialogTexts.h"
#include "SkinArchiveTest.h"
#include "runtime/Win32Handles.h"
#include "ui/SkinValues.h"
#include "ui/Utf8.h"

namespace skin_testing {
namespace {

struct TLayoutFont {
  std::wstring face;
  int size = 12;
  bool bold = false;
};

// The font as the paint manager makes it: the system's GUI font, with the face, the
// default character set, the size as a character height and the weight changed.
win::ScopedFont MakeFont(const TLayoutFont& wanted) {
  LOGFONTW font = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  lstrcpynW(font.lfFaceName, wanted.face.c_str(), LF_FACESIZE);
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfHeight = -wanted.size;
  if (wanted.bold) font.lfWeight += 700;
  return win::ScopedFont(::CreateFontIndirectW(&font));
}

class SkinFonts : public SkinArchiveTest {
 protected:
  void SetUp() override {
    SkinArchiveTest::SetUp();
    if (HasFatalFailure()) return;
    for (const wchar_t* file : {L"InstallPackages.xml", L"MessageBox.xml"}) {
      LayoutIndex layout;
      ASSERT_TRUE(LoadLayout(file, layout));
      for (const TLayoutElement& e : layout.elements()) {
        if (e.type == L"Font") {
          fonts_.push_back({e.Attr(L"name"), SkinUI::ParseInt(e.Attr(L"size").c_str()),
                            e.Attr(L"bold") == L"true"});
        } else if (!e.Attr(L"text").empty()) {
          texts_.push_back(e.Attr(L"text"));
        }
      }
    }
    for (const auto* list : {&kMessageTexts, &kMessageTitles, &kOkCaptions, &kCancelCaptions,
                             &kCodeLines, &kFolderTips, &kSpeedLines, &kPhaseLines}) {
      texts_.insert(texts_.end(), list->begin(), list->end());
    }
    ASSERT_FALSE(fonts_.empty());
  }

  std::vector<TLayoutFont> fonts_;
  std::vector<std::wstring> texts_;
};

TEST_F(SkinFonts, EveryFontHasAGlyphForEveryCharacterOfEveryText) {
  win::ScopedMemoryDC dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc.valid());
  for (const TLayoutFont& wanted : fonts_) {
    win::ScopedFont font = MakeFont(wanted);
    ASSERT_TRUE(font.valid()) << SkinUI::WideToUtf8(wanted.face);
    win::ScopedSelectObject selected(dc.get(), font.get());
    for (const std::wstring& text : texts_) {
      std::vector<WORD> glyphs(text.size());
      ASSERT_NE(::GetGlyphIndicesW(dc.get(), text.c_str(), static_cast<int>(text.size()),
                                   glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS),
                GDI_ERROR);
      for (size_t i = 0; i < text.size(); ++i) {
        EXPECT_NE(glyphs[i], 0xFFFF) << SkinUI::WideToUtf8(wanted.face) << " " << wanted.size
                                     << " has no glyph for \"" << SkinUI::WideToUtf8(text.substr(i, 1))
                                     << "\" of \"" << SkinUI::WideToUtf8(text) << "\"";
      }
    }
  }
}

TEST_F(SkinFonts, ChineseCharactersComeOutAsDistinctShapes) {
  // Drawn one by one in the layouts' default face, the characters of the game's name and of
  // the install button differ from each other and from the box a missing glyph draws.
  const std::wstring characters = L"凯途星联一键安装\xE000";  // U+E000: no face has it
  const int cell = 32;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = cell;
  info.bmiHeader.biHeight = -cell;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  win::ScopedMemoryDC dc(::CreateCompatibleDC(nullptr));
  win::ScopedBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_TRUE(dc.valid() && bitmap.valid() && bits);
  win::ScopedSelectObject selectBitmap(dc.get(), bitmap.get());
  win::ScopedFont font = MakeFont({fonts_.front().face, 24, false});
  win::ScopedSelectObject selectFont(dc.get(), font.get());
  ::SetBkMode(dc.get(), TRANSPARENT);
  ::SetTextColor(dc.get(), RGB(0, 0, 0));

  std::set<std::vector<uint32_t>> shapes;
  for (wchar_t c : characters) {
    auto* pixels = static_cast<uint32_t*>(bits);
    std::fill(pixels, pixels + cell * cell, 0x00FFFFFFu);
    RECT box = {0, 0, cell, cell};
    ::DrawTextW(dc.get(), &c, 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::GdiFlush();
    std::vector<uint32_t> shape(pixels, pixels + cell * cell);
    int ink = 0;
    for (uint32_t p : shape) ink += (p & 0xFFFFFF) != 0xFFFFFF;
    if (c != L'\xE000') {
      EXPECT_GT(ink, 20) << "U+" << std::hex << static_cast<int>(c) << " drew nothing";
    }
    EXPECT_TRUE(shapes.insert(shape).second)
        << "U+" << std::hex << static_cast<int>(c) << " looks like another character or a box";
  }
}

}  // namespace
}  // namespace skin_testing
