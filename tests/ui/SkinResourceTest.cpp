// Skin resources under Wine: where images come from, the embedded "ZIPRES" archive, fonts by
// index, default attribute lists, and text and outline drawing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TestCanvas.h"
#include "support/PngWriter.h"
#include "support/TestFiles.h"
#include "support/ZipWriter.h"
#include "ui/DibSection.h"
#include "ui/LayoutXml.h"
#include "ui/SkinModule.h"
#include "ui/SkinPainter.h"
#include "ui/SkinResourceCache.h"
#include "ui/SkinStorage.h"

using namespace SkinUI;
using testing_support::SolidPng;
using testing_support::TempFolder;
using testing_support::WriteBinaryFile;
using testing_support::TestCanvas;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

class SkinResourceTest : public testing::Test {
 protected:
  void SetUp() override {
    CSkinModule::SetInstance(::GetModuleHandleW(nullptr));
    Reset();
  }
  void TearDown() override { Reset(); }
  static void Reset() {
    CSkinStorage::CloseSkinArchive();
    CSkinStorage::SetResourcePath(L"");
  }
};

uint32_t FirstPixel(const TImageRecord* record) {
  return CDibSection::PixelsOf(record->bitmap.get()).pixels[0];
}

}  // namespace

TEST_F(SkinResourceTest, ImagesComeFromTheFolderThePlainPathOrAResource) {
  TempFolder folder(L"images");
  ASSERT_TRUE(WriteBinaryFile(folder / L"bg.png", SolidPng(3, 2, 0x112233FFu)));
  ASSERT_TRUE(WriteBinaryFile(folder / L"bad.png", "not a png"));
  CSkinStorage::SetResourcePath(folder.path());

  auto record = CSkinPainter::LoadImage(L"bg.png", nullptr, 0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->width, 3);
  EXPECT_EQ(record->height, 2);
  EXPECT_FALSE(record->alpha);
  EXPECT_EQ(FirstPixel(record.get()), 0xFF112233u);

  // Not in the skin's folder: the name is tried as a path of its own.
  CSkinStorage::SetResourcePath(L"C:\\nowhere\\");
  const std::wstring fullPath = folder / L"bg.png";
  EXPECT_NE(CSkinPainter::LoadImage(fullPath.c_str(), nullptr, 0), nullptr);
  EXPECT_EQ(CSkinPainter::LoadImage(L"bg.png", nullptr, 0), nullptr);
  CSkinStorage::SetResourcePath(folder.path());
  EXPECT_EQ(CSkinPainter::LoadImage(L"bad.png", nullptr, 0), nullptr);

  // From the test program's own resources ("PNG" 201, the 4 x 4 fixture image).
  auto fromResource = CSkinPainter::LoadImage(MAKEINTRESOURCEW(201), L"PNG", 0);
  ASSERT_NE(fromResource, nullptr);
  EXPECT_EQ(fromResource->width, 4);
  EXPECT_EQ(FirstPixel(fromResource.get()), 0xFF20A040u);
  EXPECT_EQ(CSkinPainter::LoadImage(MAKEINTRESOURCEW(999), L"PNG", 0), nullptr);

  CSkinResourceCache cache;
  EXPECT_NE(cache.AddImage(L"201", L"PNG", 0), nullptr);
  EXPECT_EQ(cache.GetImage(L"201")->resourceType, L"PNG");
  EXPECT_EQ(cache.AddImage(L"x201", L"PNG", 0), nullptr);  // resource names are numbers
  EXPECT_EQ(cache.AddImage(L"201", L"PNG", 0), nullptr);   // already there
  EXPECT_TRUE(cache.RemoveImage(L"201"));
  EXPECT_EQ(cache.GetImage(L"201"), nullptr);
}

TEST_F(SkinResourceTest, ArchiveImagesAreFoundIgnoringCaseAndFallBackToFiles) {
  TempFolder folder(L"loose");
  ASSERT_TRUE(WriteBinaryFile(folder / L"loose.png", SolidPng(1, 1, 0x00FF00FFu)));
  const auto zip = testing_support::BuildZip({{"Skin/Logo.PNG", SolidPng(5, 5, 0xFF000080u)},
                                              {"empty.png", ""}});
  ASSERT_TRUE(CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size()));
  CSkinResourceCache cache;
  const TImageRecord* logo = cache.FindOrLoadImage(L"skin\\logo.png", nullptr, 0);
  ASSERT_NE(logo, nullptr);
  EXPECT_TRUE(logo->alpha);
  EXPECT_EQ(FirstPixel(logo), 0x80800000u);  // premultiplied
  EXPECT_EQ(cache.FindOrLoadImage(L"skin\\logo.png", nullptr, 0), logo);
  EXPECT_EQ(cache.FindOrLoadImage(L"empty.png", nullptr, 0), nullptr);
  EXPECT_NE(cache.FindOrLoadImage((folder / L"loose.png").c_str(), nullptr, 0), nullptr);
}

TEST_F(SkinResourceTest, EmbeddedSkinArchiveResourceServesLayouts) {
  EXPECT_FALSE(CSkinModule::LoadSkinArchiveResource(151));
  ASSERT_TRUE(CSkinModule::LoadSkinArchiveResource(150));
  EXPECT_EQ(CSkinStorage::GetSkinArchive(), L"membuffer");
  CLayoutXml xml;
  ASSERT_TRUE(xml.LoadFromFile(L"fixture.xml")) << xml.GetLastErrorMessage();
  wchar_t text[500];
  ASSERT_TRUE(xml.GetRoot().GetChild().GetAttributeValue(L"text", text));
  EXPECT_STREQ(text, L"\u51EF\u9014\u661F\u8054");
  CSkinResourceCache cache;
  EXPECT_NE(cache.FindOrLoadImage(L"dot.png", nullptr, 0), nullptr);
}

TEST_F(SkinResourceTest, InstancePathIsTheProgramsFolder) {
  wchar_t module[MAX_PATH];
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring expected(module);
  expected.resize(expected.find_last_of(L'\\') + 1);
  EXPECT_EQ(CSkinModule::GetInstancePath(), expected);
  EXPECT_EQ(CSkinModule::GetResourceInstance(), ::GetModuleHandleW(nullptr));
  CSkinModule::SetInstance(nullptr);
  EXPECT_EQ(CSkinModule::GetInstancePath(), L"");
}

TEST(SkinFonts, FontsAreChosenByIndexWithTheDefaultAsFallback) {
  CSkinResourceCache cache;
  HFONT initial = cache.GetFont(-1);
  ASSERT_NE(initial, nullptr);
  HFONT first = cache.AddFont(L"Tahoma", 12, false, false, false);
  HFONT second = cache.AddFont(L"Tahoma", 16, true, true, true);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(cache.GetCustomFontCount(), 2);
  EXPECT_EQ(cache.GetFont(0), first);
  EXPECT_EQ(cache.GetFont(1), second);
  EXPECT_EQ(cache.GetFont(2), initial);
  EXPECT_EQ(cache.GetFont(-1), initial);

  LOGFONTW description = {};
  ASSERT_TRUE(::GetObjectW(second, sizeof(description), &description));
  EXPECT_EQ(description.lfHeight, -16);
  EXPECT_GE(description.lfWeight, FW_BOLD);
  EXPECT_TRUE(description.lfUnderline);
  EXPECT_TRUE(description.lfItalic);
  EXPECT_EQ(description.lfCharSet, DEFAULT_CHARSET);
  EXPECT_STREQ(description.lfFaceName, L"Tahoma");

  const TFontRecord* info = cache.GetFontInfo(1);
  EXPECT_TRUE(info->hasMetrics);
  EXPECT_GT(info->metrics.tmHeight, 12);
  EXPECT_EQ(cache.GetFontInfo(7), cache.GetFontInfo(-1));

  ASSERT_TRUE(cache.SetDefaultFont(L"Tahoma", 20, false, false, false));
  EXPECT_NE(cache.GetFont(-1), initial);
  EXPECT_EQ(cache.GetFontInfo(-1)->size, 20);

  EXPECT_EQ(cache.GetFontIndex(L"Tahoma", 16, true, true, true), 1);
  EXPECT_EQ(cache.GetFontIndex(L"Tahoma", 16, false, true, true), -1);
  CSkinResourceCache child;
  child.SetParent(&cache);
  EXPECT_EQ(child.FindFont(L"Tahoma", 12, false, false, false), first);
  EXPECT_EQ(child.FindFont(L"Arial", 12, false, false, false), nullptr);
  // A face name longer than the platform's limit is cut, not overrun.
  EXPECT_NE(cache.AddFont(std::wstring(100, L'x').c_str(), 12, false, false, false), nullptr);
}

TEST(SkinDefaults, FirstListWinsAndParentsAreConsulted) {
  CSkinResourceCache parent, cache;
  cache.SetParent(&parent);
  parent.AddDefaultAttributeList(L"Button", L"textcolor=\"#ff000000\"");
  parent.AddDefaultAttributeList(L"Label", L"font=\"1\"");
  cache.AddDefaultAttributeList(L"Button", L"height=\"30\"");
  cache.AddDefaultAttributeList(L"Button", L"height=\"99\"");
  EXPECT_STREQ(cache.GetDefaultAttributeList(L"Button"), L"height=\"30\"");
  EXPECT_STREQ(cache.GetDefaultAttributeList(L"Label"), L"font=\"1\"");
  EXPECT_EQ(cache.GetDefaultAttributeList(L"Edit"), nullptr);
  EXPECT_TRUE(cache.RemoveDefaultAttributeList(L"Button"));
  EXPECT_STREQ(cache.GetDefaultAttributeList(L"Button"), L"textcolor=\"#ff000000\"");
}

TEST(SkinText, TextIsDrawnInsideItsRectangleWithoutPrefixes) {
  CSkinResourceCache cache;
  cache.AddFont(L"Tahoma", 14, true, false, false);
  TestCanvas canvas(120, 40, kWhite);
  RECT rect = {10, 10, 110, 30};
  CSkinPainter::DrawText(canvas.dc(), &cache, rect, L"Kelto", 0xFFFF0000, 0,
                         DT_SINGLELINE | DT_VCENTER);
  EXPECT_GT(canvas.CountDiffering(rect, kWhite, true), 10);
  EXPECT_EQ(canvas.CountDiffering(rect, kWhite, false), 0);
  EXPECT_EQ(::GetTextColor(canvas.dc()), RGB(0, 0, 0));  // left as it was

  // '&' is text, not a mnemonic marker: it has a width of its own.
  RECT measured = {0, 0, 0, 0};
  CSkinPainter::DrawText(canvas.dc(), &cache, measured, L"&", 0xFF000000, 0,
                         DT_SINGLELINE | DT_CALCRECT);
  EXPECT_GT(measured.right, 0);

  // Missing text or cache: nothing.
  canvas.Fill(kWhite);
  CSkinPainter::DrawText(canvas.dc(), nullptr, rect, L"Kelto", 0xFFFF0000, 0, 0);
  CSkinPainter::DrawText(canvas.dc(), &cache, rect, nullptr, 0xFFFF0000, 0, 0);
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 120, 40}, kWhite, true), 0);
}

TEST(SkinText, LayeredTextCarriesAlpha) {
  CSkinResourceCache cache;
  cache.AddFont(L"Tahoma", 16, true, false, false);
  TestCanvas canvas(120, 40, 0x00000000);
  RECT rect = {0, 0, 120, 40};
  CSkinPainter::DrawText(canvas.dc(), &cache, rect, L"Kelto", 0xFF20C040, 0,
                         DT_SINGLELINE | DT_VCENTER | DT_CENTER, true);
  int opaque = 0, premultiplied = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 120; ++x) {
      const uint32_t p = canvas.Pixel(x, y);
      const uint32_t a = p >> 24;
      if (a == 255 && (p & 0xFFFFFF) == 0x20C040) ++opaque;
      if (((p >> 8) & 0xFF) <= a && ((p >> 16) & 0xFF) <= a && (p & 0xFF) <= a) ++premultiplied;
    }
  }
  EXPECT_GT(opaque, 10);
  EXPECT_EQ(premultiplied, 120 * 40);
}

TEST(SkinOutlines, LinesAndFramesAreDrawnWithoutFill) {
  TestCanvas canvas(40, 40, kWhite);
  CSkinPainter::DrawRect(canvas.dc(), RECT{5, 5, 35, 35}, 2, 0xFF0000FF);
  EXPECT_EQ(canvas.Rgb(5, 20), 0x0000FFu);
  EXPECT_EQ(canvas.Rgb(6, 20), 0x0000FFu);
  EXPECT_EQ(canvas.Rgb(7, 20), 0xFFFFFFu);
  EXPECT_EQ(canvas.Rgb(34, 20), 0x0000FFu);
  EXPECT_EQ(canvas.Rgb(4, 20), 0xFFFFFFu);   // the frame stays inside the rectangle
  EXPECT_EQ(canvas.Rgb(20, 20), 0xFFFFFFu);  // no fill

  canvas.Fill(kWhite);
  CSkinPainter::DrawLine(canvas.dc(), RECT{0, 10, 40, 10}, 1, 0xFF00FF00);
  EXPECT_EQ(canvas.Rgb(20, 10), 0x00FF00u);
  EXPECT_EQ(canvas.Rgb(20, 11), 0xFFFFFFu);

  canvas.Fill(kWhite);
  CSkinPainter::DrawRoundRect(canvas.dc(), RECT{0, 0, 40, 40}, 1, 12, 12, 0xFFFF0000);
  EXPECT_EQ(canvas.Rgb(20, 0), 0xFF0000u);
  EXPECT_EQ(canvas.Rgb(0, 0), 0xFFFFFFu);  // the corner is rounded away
  EXPECT_EQ(canvas.Rgb(20, 20), 0xFFFFFFu);
}
