#include "ui/SkinResourceCache.h"

#include <cwchar>

#include "ui/SkinPainter.h"

namespace SkinUI {

namespace {

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
}

// --- Images -------------------------------------------------------------------------------

const TImageRecord* CSkinResourceCache::AddImage(const wchar_t* name, const wchar_t* type,
                                                 uint32_t mask) {
  if (!name || !*name) return nullptr;
  std::unique_ptr<TImageRecord> record;
  if (type && *type) {
    // A resource image is named by the number of its id.
    if (*name < L'0' || *name > L'9') return nullptr;
    const int id = static_cast<int>(std::wcstol(name, nullptr, 10));
    record = CSkinPainter::LoadImage(MAKEINTRESOURCEW(id), type, mask);
  } else {
    record = CSkinPainter::LoadImage(name, nullptr, mask);
  }
  if (!record) return nullptr;
  record->resourceType = type ? type : L"";
  record->mask = mask;
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

void CSkinResourceCache::RemoveAllImages() { images_.clear(); }

// --- Fonts --------------------------------------------------------------------------------

std::unique_ptr<TFontRecord> CSkinResourceCache::MakeFont(const wchar_t* faceName, int size,
                                                          bool bold, bool underline,
                                                          bool italic) const {
  LOGFONTW description = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
  std::wcsncpy(description.lfFaceName, faceName ? faceName : L"", LF_FACESIZE - 1);
  description.lfFaceName[LF_FACESIZE - 1] = 0;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfHeight = -size;
  if (bold) description.lfWeight += FW_BOLD;
  description.lfUnderline = underline ? TRUE : FALSE;
  description.lfItalic = italic ? TRUE : FALSE;
  HFONT font = ::CreateFontIndirectW(&description);
  if (!font) return nullptr;
  auto record = std::make_unique<TFontRecord>();
  record->font.reset(font);
  record->faceName = description.lfFaceName;
  record->size = size;
  record->bold = bold;
  record->underline = underline;
  record->italic = italic;
  if (paintDC_) Measure(*record);
  return record;
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
