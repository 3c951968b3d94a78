// CWindowHostSettings: the settings a skinned window takes from its layout's "Window"
// element (resizing borders, caption, corners, size limits, shadow, default colours), kept
// by the window's paint manager (CWindowHostUI::Settings) for the window base and the
// controls. The initial size is the manager's own, since setting it resizes the window.
//
// Contract: user-interface thread. Plain values with accessors; setting one changes nothing
// on screen by itself (the window base and the paint manager read them when they need them).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace SkinUI {

class CWindowHostSettings {
 public:
  RECT GetSizeBox() const { return sizeBox_; }
  void SetSizeBox(const RECT& box) { sizeBox_ = box; }
  RECT GetCaptionRect() const { return caption_; }
  void SetCaptionRect(const RECT& caption) { caption_ = caption; }
  SIZE GetRoundCorner() const { return roundCorner_; }
  void SetRoundCorner(int cx, int cy) { roundCorner_ = SIZE{cx, cy}; }
  SIZE GetShadowCorner() const { return shadowCorner_; }
  void SetShadowCorner(int cx, int cy) { shadowCorner_ = SIZE{cx, cy}; }
  SIZE GetSizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(int cx, int cy) { sizeGrip_ = SIZE{cx, cy}; }
  // 0 = no limit.
  SIZE GetMinInfo() const { return minInfo_; }
  void SetMinInfo(int cx, int cy) { minInfo_ = SIZE{cx, cy}; }
  SIZE GetMaxInfo() const { return maxInfo_; }
  void SetMaxInfo(int cx, int cy) { maxInfo_ = SIZE{cx, cy}; }

  // Layered painting ("bktrans") and the shadow a layered window draws itself.
  bool IsBackgroundTransparent() const { return backgroundTransparent_; }
  void SetBackgroundTransparent(bool on) { backgroundTransparent_ = on; }
  bool IsShadowWanted() const { return shadow_; }
  void SetShadowWanted(bool on) { shadow_ = on; }
  bool IsSelfShadow() const { return selfShadow_; }
  void SetSelfShadow(bool on) { selfShadow_ = on; }
  RECT GetShadowBorder() const { return shadowBorder_; }
  void SetShadowBorder(const RECT& border) { shadowBorder_ = border; }
  const std::wstring& GetShadowImage() const { return shadowImage_; }
  void SetShadowImage(const wchar_t* name) { shadowImage_ = name ? name : L""; }
  bool IsShowUpdateRect() const { return showUpdateRect_; }
  void SetShowUpdateRect(bool show) { showUpdateRect_ = show; }

  // Default colours, alpha-red-green-blue.
  uint32_t GetDefaultDisabledColor() const { return disabledColor_; }
  void SetDefaultDisabledColor(uint32_t color) { disabledColor_ = color; }
  uint32_t GetDefaultFontColor() const { return fontColor_; }
  void SetDefaultFontColor(uint32_t color) { fontColor_ = color; }
  uint32_t GetDefaultLinkFontColor() const { return linkColor_; }
  void SetDefaultLinkFontColor(uint32_t color) { linkColor_ = color; }
  uint32_t GetDefaultLinkHoverFontColor() const { return linkHoverColor_; }
  void SetDefaultLinkHoverFontColor(uint32_t color) { linkHoverColor_ = color; }
  uint32_t GetDefaultSelectedBkColor() const { return selectedBkColor_; }
  void SetDefaultSelectedBkColor(uint32_t color) { selectedBkColor_ = color; }

 private:
  RECT sizeBox_ = {}, caption_ = {}, shadowBorder_ = {};
  SIZE roundCorner_ = {}, shadowCorner_ = {}, sizeGrip_ = {}, minInfo_ = {}, maxInfo_ = {};
  bool backgroundTransparent_ = false, shadow_ = false, selfShadow_ = false;
  bool showUpdateRect_ = false;
  std::wstring shadowImage_;
  uint32_t disabledColor_ = 0xFFA7A6AA, fontColor_ = 0xFF000000, linkColor_ = 0xFF0000FF;
  uint32_t linkHoverColor_ = 0xFFD3215F, selectedBkColor_ = 0xFFBAE4FF;
};

}  // namespace SkinUI
