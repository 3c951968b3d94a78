// CWindowHostResources: the resource side of a window's paint manager. The process-wide
// settings (program module, resource module, skin folder and archive) are static and kept by
// CSkinModule and CSkinStorage; the window's own images, fonts and default attribute lists
// live in the CSkinResourceCache held here. Controls reach both through their manager.
//
// Contract: user-interface thread. The cache owns what it loads; pointers and handles it
// returns stay valid until they are removed or the manager is destroyed. Failures come back
// as null or false, never as exceptions.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/skin/SkinResourceCache.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

class CWindowHostResources {
 public:
  // --- Process-wide settings ---
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  static std::wstring GetInstancePath();
  static void SetResourceInstance(HINSTANCE instance);
  static HINSTANCE GetResourceInstance();
  static void SetResourcePath(const wchar_t* path);
  static const std::wstring& GetResourcePath();
  static bool SetSkinArchive(const void* bytes, size_t size);
  static bool SetSkinArchive(const wchar_t* fileName);
  static const std::wstring& GetSkinArchive();
  static bool IsSkinArchiveCached();

  // --- This window's images ---
  const TImageRecord* GetImage(const wchar_t* name) const { return resources_.GetImage(name); }
  const TImageRecord* AddImage(const wchar_t* name, const wchar_t* type = nullptr,
                               uint32_t mask = 0) {
    return resources_.AddImage(name, type, mask);
  }
  const TImageRecord* FindOrLoadImage(const wchar_t* name, const wchar_t* type = nullptr,
                                      uint32_t mask = 0) {
    return resources_.FindOrLoadImage(name, type, mask);
  }
  bool RemoveImage(const wchar_t* name) { return resources_.RemoveImage(name); }
  void RemoveAllImages() { resources_.RemoveAllImages(); }

  // --- This window's fonts (index -1 is the default font) ---
  HFONT AddFont(const wchar_t* face, int size, bool bold, bool underline, bool italic) {
    return resources_.AddFont(face, size, bold, underline, italic);
  }
  bool SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic) {
    return resources_.SetDefaultFont(face, size, bold, underline, italic);
  }
  HFONT GetFont(int index) const { return resources_.GetFont(index); }
  const TFontRecord* GetFontInfo(int index) { return resources_.GetFontInfo(index); }
  int GetFontIndex(const wchar_t* face, int size, bool bold, bool underline, bool italic) const {
    return resources_.GetFontIndex(face, size, bold, underline, italic);
  }
  void RemoveAllFonts() { resources_.RemoveAllFonts(); }

  // --- Default attribute lists by class (markup element) name ---
  void AddDefaultAttributeList(const wchar_t* className, const wchar_t* attributes) {
    resources_.AddDefaultAttributeList(className, attributes);
  }
  const wchar_t* GetDefaultAttributeList(const wchar_t* className) const {
    return resources_.GetDefaultAttributeList(className);
  }
  bool RemoveDefaultAttributeList(const wchar_t* className) {
    return resources_.RemoveDefaultAttributeList(className);
  }
  void RemoveAllDefaultAttributeLists() { resources_.RemoveAllDefaultAttributeLists(); }

  // The window's display scale, which fonts, images and every length of the skin follow.
  const TDisplayScale& GetDisplayScale() const { return resources_.GetScale(); }
  // A length, size or set of margins of the skin (96 dpi) in the window's pixels.
  int Scaled(int value) const { return GetDisplayScale().Scale(value); }
  SIZE Scaled(SIZE size) const { return ToSIZE(GetDisplayScale().Scale(ToTSize(size))); }
  RECT Scaled(const RECT& rect) const { return ToRECT(GetDisplayScale().Scale(ToTRect(rect))); }

  CSkinResourceCache& GetResourceCache() { return resources_; }
  // Fonts and default attribute lists not found here are looked up in `parent`.
  void SetResourceParent(CWindowHostResources* parent) {
    resources_.SetParent(parent ? &parent->resources_ : nullptr);
  }

 protected:
  CSkinResourceCache resources_;
};

}  // namespace SkinUI
