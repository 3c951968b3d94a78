// RAII owners for Win32 handles: kernel handles, windows, device contexts and GDI objects.
//
// Contract: each owner closes its handle exactly once, in its destructor or on reset(); it is
// movable, not copyable. release() hands the handle back to the caller, who then owns it.
// Owners are not thread-safe; a handle may be used on any thread the handle itself allows
// (windows and DCs only on the thread that owns the window).
#pragma once

#include <windows.h>

#include <utility>

namespace win {

// Traits: static bool IsValid(H), static void Close(H), static H Invalid().
template <typename H, typename Traits>
class ScopedHandleT {
 public:
  ScopedHandleT() : handle_(Traits::Invalid()) {}
  explicit ScopedHandleT(H handle) : handle_(handle) {}
  ~ScopedHandleT() { reset(); }

  ScopedHandleT(ScopedHandleT&& other) noexcept : handle_(other.release()) {}
  ScopedHandleT& operator=(ScopedHandleT&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedHandleT(const ScopedHandleT&) = delete;
  ScopedHandleT& operator=(const ScopedHandleT&) = delete;

  H get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return valid(); }

  void reset(H handle = Traits::Invalid()) {
    if (Traits::IsValid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }
  H release() { return std::exchange(handle_, Traits::Invalid()); }

 private:
  H handle_;
};

struct KernelHandleTraits {
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
  static HANDLE Invalid() { return nullptr; }
};
// Kernel objects: files, processes, threads, events, mutexes. Both null and
// INVALID_HANDLE_VALUE count as "no handle".
using ScopedHandle = ScopedHandleT<HANDLE, KernelHandleTraits>;

struct WindowTraits {
  static bool IsValid(HWND h) { return h != nullptr; }
  static void Close(HWND h) { if (::IsWindow(h)) ::DestroyWindow(h); }
  static HWND Invalid() { return nullptr; }
};
// A window this code created; destroyed on the owning thread.
using ScopedWindow = ScopedHandleT<HWND, WindowTraits>;

template <typename T>
struct GdiObjectTraits {
  static bool IsValid(T h) { return h != nullptr; }
  static void Close(T h) { ::DeleteObject(h); }
  static T Invalid() { return nullptr; }
};
using ScopedBitmap = ScopedHandleT<HBITMAP, GdiObjectTraits<HBITMAP>>;
using ScopedFont = ScopedHandleT<HFONT, GdiObjectTraits<HFONT>>;
using ScopedBrush = ScopedHandleT<HBRUSH, GdiObjectTraits<HBRUSH>>;
using ScopedPen = ScopedHandleT<HPEN, GdiObjectTraits<HPEN>>;
using ScopedRegion = ScopedHandleT<HRGN, GdiObjectTraits<HRGN>>;

struct MemoryDCTraits {
  static bool IsValid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
  static HDC Invalid() { return nullptr; }
};
// A DC from CreateCompatibleDC / CreateDC.
using ScopedMemoryDC = ScopedHandleT<HDC, MemoryDCTraits>;

// A window's DC from GetDC, given back with ReleaseDC.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedGetDC() { if (dc_) ::ReleaseDC(window_, dc_); }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a DC and selects the previous one back on scope exit.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() { if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_); }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A loaded module from LoadLibrary, freed with FreeLibrary.
struct ModuleTraits {
  static bool IsValid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
  static HMODULE Invalid() { return nullptr; }
};
using ScopedModule = ScopedHandleT<HMODULE, ModuleTraits>;

}  // namespace win
