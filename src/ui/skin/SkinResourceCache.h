// CSkinResourceCache: the resources one skinned window draws with: its decoded images by
// name, its fonts by index, and the default attribute lists of its control classes. The
// paint manager holds one for its window, and controls and dialogs reach it there
// (GetResourceCache); a parent cache (none in this program) is consulted for fonts and
// default attribute lists. Fonts are made and images chosen for the window's display scale:
// an image named "a.png" comes from "a@2x.png" above 100 % when the skin has one, and parts
// of images are resampled for scales between the sets.
//
// Contract: user-interface thread only. The cache owns every image bitmap, font and list
// it holds and frees them when destroyed or removed; returned pointers and handles stay
// valid until then. Nothing throws: a missing image, font or list comes back as null, and a
// font index out of range falls back to the default font.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/Win32Handles.h"
#include "ui/skin/DisplayScale.h"

namespace SkinUI {

struct TImageRecord {
  win::ScopedBitmap bitmap;  // 32-bit top-down DIB section, premultiplied
  int width = 0;             // in pixels of the file: twice the 1x size for a 2x image
  int height = 0;
  int dpi = kBaseDpi;  // the display its pixels are drawn 1:1 on
  bool alpha = false;  // some pixel has alpha below 255 or was cleared by the mask
  std::wstring resourceType;  // empty for files
  uint32_t mask = 0;
};

struct TFontRecord {
  win::ScopedFont font;
  std::wstring faceName;
  int size = 0;  // character height in pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
  TEXTMETRICW metrics = {};
  bool hasMetrics = false;
  bool scales = true;  // false for the system's font, which comes at the display's size
};

// Part of an image in pixels of the window's scale, to be drawn 1:1 where it is not stretched.
struct TScaledSource {
  const TImageRecord* image = nullptr;  // null: nothing to draw
  TRect source;                         // in the image's pixels
};

class CSkinResourceCache {
 public:
  CSkinResourceCache();
  CSkinResourceCache(const CSkinResourceCache&) = delete;
  CSkinResourceCache& operator=(const CSkinResourceCache&) = delete;

  // The paint window's device context, used to measure fonts; may be null.
  void SetPaintDC(HDC dc) { paintDC_ = dc; }
  void SetParent(CSkinResourceCache* parent) { parent_ = parent; }

  const TDisplayScale& GetScale() const { return scale_; }
  // Every font is made again for `scale` (its handle changes; indices and records stay), and
  // images are loaded again, with their first type and mask, from the set that fits it.
  void SetScale(const TDisplayScale& scale);

  // --- Images (names compared exactly) ---
  // Loads `name` (a file of the skin, or with a resource `type` a numeric resource id that
  // the name spells) and stores it under the name. Null when it cannot be loaded or the name
  // is already taken.
  const TImageRecord* AddImage(const wchar_t* name, const wchar_t* type = nullptr,
                               uint32_t mask = 0);
  const TImageRecord* GetImage(const wchar_t* name) const;
  // The stored record, else AddImage: the first load decides type and mask for good.
  const TImageRecord* FindOrLoadImage(const wchar_t* name, const wchar_t* type = nullptr,
                                      uint32_t mask = 0);
  bool RemoveImage(const wchar_t* name);
  void RemoveAllImages();
  // The size of `image` in 1x pixels, which image strings count in.
  static TSize LogicalSize(const TImageRecord& image);
  // `source` (in 1x pixels of the image stored under `name`) at the window's scale: a part of
  // the image itself when its set is drawn at that scale, else that part alone resampled for
  // it (kept until the scale changes), so that no neighbouring part bleeds in.
  TScaledSource ScaledSource(const wchar_t* name, const TImageRecord& image, const TRect& source);

  // --- Fonts ---
  // Registers a custom font (next index) built on the system's default GUI font.
  HFONT AddFont(const wchar_t* faceName, int size, bool bold, bool underline, bool italic);
  bool SetDefaultFont(const wchar_t* faceName, int size, bool bold, bool underline,
                      bool italic);
  // The custom font at `index`, else the default font (so -1 means the default).
  HFONT GetFont(int index) const;
  // The record at `index` (else the default record) with its text metrics filled.
  const TFontRecord* GetFontInfo(int index);
  // The index of a custom font of this cache with exactly these properties, or -1.
  int GetFontIndex(const wchar_t* faceName, int size, bool bold, bool underline,
                   bool italic) const;
  // A font with these properties from this cache or, failing that, its parents.
  HFONT FindFont(const wchar_t* faceName, int size, bool bold, bool underline,
                 bool italic) const;
  int GetCustomFontCount() const { return static_cast<int>(fonts_.size()); }
  void RemoveAllFonts();

  // --- Default attribute lists, by control class name ---
  // Stores a copy unless the class already has a list (the first wins).
  void AddDefaultAttributeList(const wchar_t* className, const wchar_t* attributes);
  // This cache's list, else the nearest parent's; null when none has one.
  const wchar_t* GetDefaultAttributeList(const wchar_t* className) const;
  bool RemoveDefaultAttributeList(const wchar_t* className);
  void RemoveAllDefaultAttributeLists();

 private:
  std::unique_ptr<TImageRecord> Load(const wchar_t* name, const wchar_t* type,
                                     uint32_t mask) const;
  std::unique_ptr<TFontRecord> MakeFont(const wchar_t* faceName, int size, bool bold,
                                        bool underline, bool italic) const;
  HFONT CreateScaledFont(const TFontRecord& record) const;
  void Measure(TFontRecord& record) const;

  HDC paintDC_ = nullptr;
  CSkinResourceCache* parent_ = nullptr;
  TDisplayScale scale_;
  std::unordered_map<std::wstring, std::unique_ptr<TImageRecord>> images_;
  std::map<std::wstring, std::unique_ptr<TImageRecord>> scaledParts_;
  std::vector<std::unique_ptr<TFontRecord>> fonts_;
  std::unique_ptr<TFontRecord> defaultFont_;
  std::map<std::wstring, std::wstring> defaultAttributes_;
};

}  // namespace SkinUI
