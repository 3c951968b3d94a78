#include "ui/skin/SkinResourceCache.h"

#include <cwchar>

#include "ui/skin/DibSection.h"
#include "ui/skin/PixelBlend.h"
#include "ui/skin/SkinPainter.h"

namespace SkinUI {

namespace {

// Parts resampled for the window's scale come from a skin's image strings, which name a few
// dozen; a program that kept naming new ones would only lose them all now and then.
constexpr size_t kMaxScaledParts = 256;

bool SameFont(const TFontRecord& f, const wchar_t* faceName, int size, bool bold,
              bool underline, bool italic) {
  return f.faceName == faceName && f.size == size && f.bold == bold &&
         f.underline == underline && f.italic == italic;
}

}  // namespace

CSkinResourceCache::CSkinResourceCache() {
  // Until the skin names one, the default font is the system's GUI font as it stands.
  LOGFONTW description = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
  defaultFont_ = std::make_unique<TFontRecord>();
  defaultFont_->font.reset(::CreateFontIndirectW(&description));
  defaultFont_->faceName = description.lfFaceName;
  defaultFont_->size = description.lfHeight < 0 ? -description.lfHeight : description.lfHeight;
  defaultFont_->bold = description.lfWeight >= FW_BOLD;
  defaultFont_->underline = description.lfUnderline != 0;
  defaultFont_->italic = description.lfItalic != 0;
  defaultFont_->scales = false;
}

void CSkinResourceCache::SetScale(const TDisplayScale& scale) {
  if (scale == scale_) return;
  const bool newSet = scale.ImageSetDpi() != scale_.ImageSetDpi();
  scale_ = scale;
  scaledParts_.clear();
  for (auto& font : fonts_) {
    if (HFONT made = CreateScaledFont(*font)) font->font.reset(made);
    Measure(*font);
  }
  if (defaultFont_->scales) {
    if (HFONT made = CreateScaledFont(*defaultFont_)) defaultFont_->font.reset(made);
    Measure(*defaultFont_);
  }
  if (!newSet) return;
  for (auto& image : images_) {
    const wchar_t* type = image.second->resourceType.empty() ? nullptr
                                                             : image.second->resourceType.c_str();
    auto again = Load(image.first.c_str(), type, image.second->mask);
    if (again) image.second = std::move(again);
  }
}

// --- Images -------------------------------------------------------------------------------

std::unique_ptr<TImageRecord> CSkinResourceCache::Load(const wchar_t* name, const wchar_t* type,
                                                       uint32_t mask) const {
  std::unique_ptr<TImageRecord> record;
  if (type && *type) {
    // A resource image is named by the number of its id; resources come in one set.
    if (*name < L'0' || *name > L'9') return nullptr;
    const int id = static_cast<int>(std::wcstol(name, nullptr, 10));
    record = CSkinPainter::LoadImage(MAKEINTRESOURCEW(id), type, mask);
  } else {
    if (const int setDpi = scale_.ImageSetDpi(); setDpi != kBaseDpi) {
      record = CSkinPainter::LoadImage(ImageSetFileName(name, setDpi).c_str(), nullptr, mask);
      if (record) record->dpi = setDpi;
    }
    // A skin without the set has its 1x image scaled up.
    if (!record) record = CSkinPainter::LoadImage(name, nullptr, mask);
  }
  if (!record) return nullptr;
  record->resourceType = type ? type : L"";
  record->mask = mask;
  return record;
}

const TImageRecord* CSkinResourceCache::AddImage(const wchar_t* name, const wchar_t* type,
                                                 uint32_t mask) {
  if (!name || !*name) return nullptr;
  std::unique_ptr<TImageRecord> record = Load(name, type, mask);
  if (!record) return nullptr;
  auto inserted = images_.emplace(name, std::move(record));
  return inserted.second ? inserted.first->second.get() : nullptr;
}

const TImageRecord* CSkinResourceCache::GetImage(const wchar_t* name) const {
  if (!name) return nullptr;
  auto found = images_.find(name);
  return found == images_.end() ? nullptr : found->second.get();
}

const TImageRecord* CSkinResourceCache::FindOrLoadImage(const wchar_t* name,
                                                        const wchar_t* type, uint32_t mask) {
  if (const TImageRecord* record = GetImage(name)) return record;
  AddImage(name, type, mask);
  return GetImage(name);
}

bool CSkinResourceCache::RemoveImage(const wchar_t* name) {
  return name && images_.erase(name) > 0;
}

void CSkinResourceCache::RemoveAllImages() {
  scaledParts_.clear();
  images_.clear();
}

TSize CSkinResourceCache::LogicalSize(const TImageRecord& image) {
  const TDisplayScale set(image.dpi);
  return set.Unscale(TSize{image.width, image.height});
}

TScaledSource CSkinResourceCache::ScaledSource(const wchar_t* name, const TImageRecord& image,
                                               const TRect& source) {
  if (source.IsEmpty()) return TScaledSource();
  const TDisplayScale set(image.dpi);
  if (image.dpi == scale_.dpi()) return TScaledSource{&image, set.Scale(source)};
  const std::wstring key = std::wstring(name ? name : L"") + L"|" + std::to_wstring(source.left) +
                           L"," + std::to_wstring(source.top) + L"," +
                           std::to_wstring(source.right) + L"," + std::to_wstring(source.bottom);
  auto found = scaledParts_.find(key);
  if (found == scaledParts_.end()) {
    const TSize size = scale_.Scale(TSize{static_cast<int>(source.Width()),
                                          static_cast<int>(source.Height())});
    CDibSection part;
    if (size.cx <= 0 || size.cy <= 0 || !part.Create(size.cx, size.cy)) return TScaledSource();
    CPixelBlend::Resample(CDibSection::PixelsOf(image.bitmap.get()), set.Scale(source),
                          part.view());
    auto record = std::make_unique<TImageRecord>();
    record->width = size.cx;
    record->height = size.cy;
    record->alpha = image.alpha;
    record->dpi = scale_.dpi();
    record->bitmap.reset(part.Release());
    if (scaledParts_.size() >= kMaxScaledParts) scaledParts_.clear();
    found = scaledParts_.emplace(key, std::move(record)).first;
  }
  const TImageRecord& part = *found->second;
  return TScaledSource{&part, TRect{0, 0, part.width, part.height}};
}

// --- Fonts --------------------------------------------------------------------------------

std::unique_ptr<TFontRecord> CSkinResourceCache::MakeFont(const wchar_t* faceName, int size,
                                                          bool bold, bool underline,
                                                          bool italic) const {
  auto record = std::make_unique<TFontRecord>();
  record->faceName = std::wstring(faceName ? faceName : L"").substr(0, LF_FACESIZE - 1);
  record->size = size;
  record->bold = bold;
  record->underline = underline;
  record->italic = italic;
  HFONT font = CreateScaledFont(*record);
  if (!font) return nullptr;
  record->font.reset(font);
  if (paintDC_) Measure(*record);
  return record;
}

HFONT CSkinResourceCache::CreateScaledFont(const TFontRecord& record) const {
  LOGFONTW description = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
  std::wcsncpy(description.lfFaceName, record.faceName.c_str(), LF_FACESIZE - 1);
  description.lfFaceName[LF_FACESIZE - 1] = 0;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfHeight = -scale_.Scale(record.size);
  if (record.bold) description.lfWeight += FW_BOLD;
  description.lfUnderline = record.underline ? TRUE : FALSE;
  description.lfItalic = record.italic ? TRUE : FALSE;
  return ::CreateFontIndirectW(&description);
}

void CSkinResourceCache::Measure(TFontRecord& record) const {
  HDC dc = paintDC_;
  win::ScopedMemoryDC screenDC;
  if (!dc) {
    screenDC.reset(::CreateCompatibleDC(nullptr));
    dc = screenDC.get();
  }
  if (!dc) return;
  win::ScopedSelectObject select(dc, record.font.get());
  record.hasMetrics = ::GetTextMetricsW(dc, &record.metrics) != FALSE;
}

HFONT CSkinResourceCache::AddFont(const wchar_t* faceName, int size, bool bold, bool underline,
                                  bool italic) {
  std::unique_ptr<TFontRecord> record = MakeFont(faceName, size, bold, underline, italic);
  if (!record) return nullptr;
  fonts_.push_back(std::move(record));
  return fonts_.back()->font.get();
}

bool CSkinResourceCache::SetDefaultFont(const wchar_t* faceName, int size, bool bold,
                                        bool underline, bool italic) {
  std::unique_ptr<TFontRecord> record = MakeFont(faceName, size, bold, underline, italic);
  if (!record) return false;
  defaultFont_ = std::move(record);
  return true;
}

HFONT CSkinResourceCache::GetFont(int index) const {
  if (index >= 0 && index < GetCustomFontCount()) return fonts_[index]->font.get();
  return defaultFont_->font.get();
}

const TFontRecord* CSkinResourceCache::GetFontInfo(int index) {
  TFontRecord& record =
      (index >= 0 && index < GetCustomFontCount()) ? *fonts_[index] : *defaultFont_;
  if (!record.hasMetrics) Measure(record);
  return &record;
}

int CSkinResourceCache::GetFontIndex(const wchar_t* faceName, int size, bool bold,
                                     bool underline, bool italic) const {
  if (!faceName) return -1;
  for (int i = 0; i < GetCustomFontCount(); ++i) {
    if (SameFont(*fonts_[i], faceName, size, bold, underline, italic)) return i;
  }
  return -1;
}

HFONT CSkinResourceCache::FindFont(const wchar_t* faceName, int size, bool bold,
                                   bool underline, bool italic) const {
  for (const CSkinResourceCache* cache = this; cache; cache = cache->parent_) {
    const int index = cache->GetFontIndex(faceName, size, bold, underline, italic);
    if (index >= 0) return cache->fonts_[index]->font.get();
  }
  return nullptr;
}

void CSkinResourceCache::RemoveAllFonts() { fonts_.clear(); }

// --- Default attribute lists --------------------------------------------------------------

void CSkinResourceCache::AddDefaultAttributeList(const wchar_t* className,
                                                 const wchar_t* attributes) {
  if (!className || !attributes) return;
  defaultAttributes_.emplace(className, attributes);
}

const wchar_t* CSkinResourceCache::GetDefaultAttributeList(const wchar_t* className) const {
  if (!className) return nullptr;
  for (const CSkinResourceCache* cache = this; cache; cache = cache->parent_) {
    auto found = cache->defaultAttributes_.find(className);
    if (found != cache->defaultAttributes_.end()) return found->second.c_str();
  }
  return nullptr;
}

bool CSkinResourceCache::RemoveDefaultAttributeList(const wchar_t* className) {
  return className && defaultAttributes_.erase(className) > 0;
}

void CSkinResourceCache::RemoveAllDefaultAttributeLists() { defaultAttributes_.clear(); }

}  // namespace SkinUI
