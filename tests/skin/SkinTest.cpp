// The installer's skin as the program reads it: both layouts built by the dialog builder from
// the skin archive this program carries as "ZIPRES" 150, as the installer does, and laid out
// page by page, at 100, 125, 150 and 200 %. Checked where a fault would show only to a
// player: texts without room or without glyphs, images missing, blurred by scaling, not from
// the set that fits the scale or unlike in their states, and the progress bar's images under
// the string the install dialog draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "DialogTexts.h"
#include "app/InstallProgress.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/TabLayoutUI.h"
#include "ui/core/ContainerUI.h"
#include "ui/markup/SkinStorage.h"
#include "ui/markup/SkinValues.h"
#include "ui/markup/Utf8.h"
#include "ui/skin/DibSection.h"
#include "ui/skin/ImageLayout.h"
#include "ui/skin/ImageString.h"
#include "ui/skin/SkinModule.h"
#include "ui/windows/DialogBuilder.h"

using namespace SkinUI;
using namespace skin_testing;

namespace {

const wchar_t* const kImageAttributes[] = {
    L"bkimage",      L"foreimage",     L"normalimage",   L"hotimage",         L"pushedimage",
    L"focusedimage", L"disabledimage", L"selectedimage", L"selectedhotimage", L"hotforeimage"};

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

std::wstring Attr(const CLayoutXmlNode& element, const wchar_t* name) {
  wchar_t value[520] = L"";
  return element.GetAttributeValue(name, value, 520) ? value : L"";
}

// The images an image string draws over a control's place in a window drawn at `scale`.
std::vector<TImageDrawState> Draws(const std::wstring& image, const RECT& r,
                                   const TDisplayScale& scale = TDisplayScale()) {
  std::vector<TImageDrawState> draws;
  if (image.empty()) return draws;
  CImageString::Parse(
      image.c_str(), nullptr, TRect{r.left, r.top, r.right, r.bottom},
      [&](const TImageDrawState& state) { draws.push_back(state); }, scale);
  return draws;
}

// A layout of the archive built into a manager without a window of `dpi` and laid out at
// the window's size, each page of "tb_main" in turn, so that every control has its place.
class Layout {
 public:
  explicit Layout(const wchar_t* file, int dpi = kBaseDpi) {
    CSkinModule::SetInstance(::GetModuleHandleW(nullptr));
    if (!CSkinStorage::GetSkinArchiveHandle()) CSkinModule::LoadSkinArchiveResource(150);
    host.SetDpi(dpi);
    root_ = builder_.Create(file, nullptr, nullptr, &host);
    if (!root_) return;
    host.AttachDialog(root_);
    const CLayoutXmlNode window = builder_.GetMarkup().GetRoot();
    const TSize size = host.GetDisplayScale().Scale(ParseSize(Attr(window, L"size").c_str()));
    area = RECT{0, 0, size.cx, size.cy};
    CLayoutXmlNode first = window.GetChild();
    for (; std::wstring(first.GetName()) == L"Font"; first = first.GetSibling()) ++fonts;
    auto* pages = static_cast<CTabLayoutUI*>(host.FindControl(L"tb_main"));
    for (int page = 0; page == 0 || (pages && page < pages->GetCount()); ++page) {
      if (pages) pages->SelectItem(page);
      root_->SetPos(area);
      Walk(first, root_);
    }
  }
  bool built() const { return root_ != nullptr; }
  void LayOut() { root_->SetPos(area); }

  CWindowHostUI host;
  // Every control beside its element, in the order they showed.
  std::vector<std::pair<CLayoutXmlNode, CControlUI*>> items;
  RECT area = {};
  int fonts = 0;

 private:
  // An element the builder skipped (a misspelt name) shows as a count of children that
  // differs.
  void Walk(const CLayoutXmlNode& element, CControlUI* control) {
    if (control->IsVisible() && seen_.insert(control).second) items.emplace_back(element, control);
    auto* container = static_cast<IContainerUI*>(control->GetInterface(L"IContainer"));
    std::vector<CLayoutXmlNode> children;
    for (CLayoutXmlNode c = element.GetChild(); c.IsValid(); c = c.GetSibling()) {
      children.push_back(c);
    }
    const int count = container ? container->GetCount() : 0;
    EXPECT_EQ(count, static_cast<int>(children.size())) << Utf8(control->GetName());
    for (int i = 0; i < count && count == static_cast<int>(children.size()); ++i) {
      Walk(children[i], container->GetItemAt(i));
    }
  }

  CDialogBuilder builder_;
  CControlUI* root_ = nullptr;
  std::set<CControlUI*> seen_;
};

class Skin : public testing::TestWithParam<const wchar_t*> {};

INSTANTIATE_TEST_SUITE_P(Layouts, Skin, testing::Values(L"InstallPackages.xml", L"MessageBox.xml"));

void CheckLayout(const wchar_t* file, int dpi);

TEST_P(Skin, TextsFitInFacesWithTheirGlyphsAndImagesShowUnscaledAndAlikeInEachState) {
  for (const int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    CheckLayout(GetParam(), dpi);
  }
}

void CheckLayout(const wchar_t* file, int dpi) {
  Layout layout(file, dpi);
  ASSERT_TRUE(layout.built());
  const TDisplayScale& scale = layout.host.GetDisplayScale();
  const struct {
    const wchar_t* name;
    const std::vector<const wchar_t*>& texts;
    int margin;  // a button's text needs air on both sides, in pixels of the screen
  } written[] = {{L"lb_tip", kFolderTips, 0},         {L"lb_speed", kSpeedLines, 0},
                 {L"lb_download", kPhaseLines, 0},    {L"lb_text", kMessageTexts, 0},
                 {L"lb_title", kMessageTitles, 0},    {L"btn_ok", kOkCaptions, 8},
                 {L"btn_cancel", kCancelCaptions, 8}, {L"lb_code", kCodeLines, 0}};
  // The boxes that show a code hide the cancel button's holder.
  if (CControlUI* holder = layout.host.FindControl(L"hlt_btn_0")) {
    holder->SetVisible(false);
    layout.LayOut();
  }
  std::vector<std::wstring> all;
  // How wide a Chinese face draws a text, a little generously: Chinese characters and
  // full-width punctuation take one em, ASCII about six tenths of one.
  const auto expectFits = [&](CControlUI* control, const std::wstring& text, int margin) {
    auto* label = static_cast<CLabelUI*>(control->GetInterface(L"Label"));
    ASSERT_NE(label, nullptr) << Utf8(control->GetName());
    const int size =
        scale.Scale(layout.host.GetResourceCache().GetFontInfo(label->GetFont())->size);
    int tenths = 0;
    for (wchar_t c : text) tenths += c < 0x80 ? 6 * size : 10 * size;
    const RECT pos = label->GetPos();
    const TRect padding = scale.Scale(ToTRect(label->GetTextPadding()));
    EXPECT_LE((tenths + 9) / 10,
              pos.right - pos.left - padding.left - padding.right - 2 * margin)
        << Utf8(control->GetName()) << ": " << Utf8(text);
    all.push_back(text);
  };
  for (const auto& [element, control] : layout.items) {
    if (!Attr(element, L"text").empty()) expectFits(control, Attr(element, L"text"), 0);
  }
  for (const auto& w : written) {
    CControlUI* control = layout.host.FindControl(w.name);
    for (const wchar_t* text : w.texts) {
      if (control) expectFits(control, text, w.margin);
    }
  }
  // Without a face that has the characters, each would come out as the same empty box.
  HDC dc = ::CreateCompatibleDC(nullptr);
  for (int font = 0; font < layout.fonts; ++font) {
    const HGDIOBJ old = ::SelectObject(dc, layout.host.GetResourceCache().GetFont(font));
    for (const std::wstring& text : all) {
      std::vector<WORD> glyphs(text.size());
      ::GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS);
      EXPECT_EQ(std::count(glyphs.begin(), glyphs.end(), 0xFFFF), 0)
          << Utf8(layout.host.GetResourceCache().GetFontInfo(font)->faceName) << " lacks glyphs of "
          << Utf8(text);
    }
    ::SelectObject(dc, old);
  }
  ::DeleteDC(dc);

  // Images: in the archive and in the set of the scale, drawn at their own size (scaled from
  // 2x only between 100 and 200 %), alike in every state of a control.
  const auto states = [](const std::wstring& type) -> std::vector<const wchar_t*> {
    if (type == L"Button") return {L"normalimage", L"hotimage", L"pushedimage", L"disabledimage"};
    if (type == L"Option") return {L"bkimage", L"hotimage", L"selectedimage", L"selectedhotimage"};
    if (type == L"Edit") return {L"normalimage", L"hotimage", L"focusedimage", L"disabledimage"};
    return {};
  };
  for (const auto& [element, control] : layout.items) {
    const RECT pos = control->GetPos();
    const std::string name = Utf8(control->GetName());
    for (const wchar_t* attribute : kImageAttributes) {
      for (const TImageDrawState& d : Draws(Attr(element, attribute), pos, scale)) {
        const std::string where = name + " " + Utf8(attribute) + " " + Utf8(d.name);
        const TImageRecord* image = layout.host.GetResourceCache().FindOrLoadImage(d.name.c_str());
        EXPECT_NE(image, nullptr) << where << " is not in the archive or does not decode";
        if (!image) continue;
        const TSize size = CSkinResourceCache::LogicalSize(*image);
        EXPECT_EQ(image->dpi, scale.ImageSetDpi()) << where;
        EXPECT_EQ(image->width, TDisplayScale(image->dpi).Scale(size.cx)) << where;
        const TRect s = d.source.IsZero() ? TRect{0, 0, size.cx, size.cy} : d.source;
        EXPECT_TRUE(s.left >= 0 && s.top >= 0 && s.right <= size.cx && s.bottom <= size.cy &&
                    !s.IsEmpty())
            << where << ": the source lies outside the image";
        // Scaled bitmaps blur: an image without corners is drawn at its own size.
        if (d.corner.IsZero() && d.stretch) {
          EXPECT_TRUE(d.dest.Width() == scale.Scale(s.Width()) &&
                      d.dest.Height() == scale.Scale(s.Height()))
              << where;
        }
      }
    }
    const std::vector<const wchar_t*> wanted = states(element.GetName());
    if (wanted.empty()) continue;
    if (std::wstring(element.GetName()) == L"Button" && Attr(element, L"normalimage").empty()) {
      // A text link: its colour answers the mouse instead of an image.
      EXPECT_NE(Attr(element, L"hottextcolor"), Attr(element, L"textcolor")) << name;
      continue;
    }
    std::set<std::wstring> distinct;
    const std::vector<TImageDrawState> first = Draws(Attr(element, wanted[0]), pos, scale);
    for (const wchar_t* state : wanted) {
      const std::vector<TImageDrawState> draws = Draws(Attr(element, state), pos, scale);
      distinct.insert(Attr(element, state));
      EXPECT_TRUE(!draws.empty() && !first.empty() && draws[0].dest == first[0].dest &&
                  draws[0].source.Width() == first[0].source.Width() &&
                  draws[0].source.Height() == first[0].source.Height())
          << name << " " << Utf8(state) << " is missing or unlike the other states";
    }
    EXPECT_EQ(distinct.size(), wanted.size()) << name << " shows two states alike";
  }
}

TEST(SkinImages, TheProgressBarsImagesHoldUnderTheDialogsStringAtEveryWidth) {
  Layout install(L"InstallPackages.xml");
  ASSERT_TRUE(install.built());
  // The track is the bar's size; the fill as tall, at least as wide, and the same in every
  // column left of its head, so that stretching it never shows.
  const RECT bar = install.host.FindControl(L"pro_InstallProgress")->GetPos();
  const int width = bar.right - bar.left;
  const TImageRecord* track = install.host.GetResourceCache().FindOrLoadImage(L"progress_bk.png");
  const TImageRecord* fill = install.host.GetResourceCache().FindOrLoadImage(L"progress_fore.png");
  ASSERT_TRUE(track && fill);
  EXPECT_EQ(track->width, width);
  EXPECT_EQ(track->height, bar.bottom - bar.top);
  EXPECT_EQ(fill->height, track->height);
  const TConstPixelView pixels = CDibSection::PixelsOf(fill->bitmap.get());
  for (int y = 0; y < fill->height; ++y) {
    for (int x = 1; x < fill->width - install_progress::kForeHeadWidth; ++x) {
      ASSERT_EQ(pixels.pixels[y * pixels.stride + x], pixels.pixels[y * pixels.stride]) << x;
    }
  }
  // Every filled width: the track covers the bar, the fill exactly the filled part with its
  // head at its own size; no piece of either is scaled up or down.
  const TRect item{bar.left, bar.top, bar.right, bar.bottom};
  for (int filled = 0; filled <= width; ++filled) {
    int64_t trackArea = 0, fillArea = 0;
    bool headUnscaled = filled == 0;
    const std::wstring image = install_progress::ProgressBarImage(width, filled, 0);
    for (const TImageDrawState& d : Draws(image, bar)) {
      const TImageRecord* record = d.name == L"progress_bk.png" ? track : fill;
      if (d.name != L"progress_bk.png" && d.name != L"progress_fore.png") continue;
      const TRect source = CImageLayout::NormalizeSource(d.source, record->width, record->height);
      CImageLayout::ForEachNineSlicePiece(
          TNineSlice{d.dest, item, source, d.corner}, [&](const TImagePiece& p) {
            const int64_t area = int64_t{p.dest.Width()} * p.dest.Height();
            EXPECT_EQ(p.source.Height(), p.dest.Height()) << Utf8(d.name) << " filled " << filled;
            (record == track ? trackArea : fillArea) += area;
            if (record == fill) {
              EXPECT_LE(p.dest.right, bar.left + filled) << "filled " << filled;
              headUnscaled |= p.dest.right == bar.left + filled && p.source.right == fill->width &&
                              p.source.Width() == p.dest.Width();
            }
          });
    }
    EXPECT_EQ(trackArea, int64_t{width} * track->height) << "filled " << filled;
    EXPECT_EQ(fillArea, int64_t{filled} * fill->height) << "filled " << filled;
    EXPECT_TRUE(headUnscaled) << "filled " << filled;
  }
}

}  // namespace
