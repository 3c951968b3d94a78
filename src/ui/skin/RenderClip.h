// CRenderClip: limits the drawing on a device context to a rectangle (optionally with
// rounded corners) for the lifetime of the object, within whatever clip was already in
// place, and puts the previous clip back when destroyed. Clips nest like scopes.
//
// Contract: user-interface thread; objects live on the stack and are destroyed in reverse
// order of creation. Rectangles are in the device context's device coordinates (the
// framework draws without mapping modes). A region that cannot be made leaves the clip as
// it was.
#pragma once

#include <windows.h>

#include "runtime/Win32Handles.h"

namespace SkinUI {

class CRenderClip {
 public:
  // The current clip narrowed to `rect`.
  CRenderClip(HDC dc, const RECT& rect);
  // The current clip narrowed to `rect` with elliptic corners of `roundX` by `roundY`.
  CRenderClip(HDC dc, const RECT& rect, int roundX, int roundY);
  // Exactly the clip that `outer` set (which must still be alive): widens a nested clip back.
  CRenderClip(HDC dc, const CRenderClip& outer);
  ~CRenderClip();
  CRenderClip(const CRenderClip&) = delete;
  CRenderClip& operator=(const CRenderClip&) = delete;

 private:
  void Apply(win::ScopedRegion region, bool intersect);

  HDC dc_;
  win::ScopedRegion previous_;  // null: there was no clip
  win::ScopedRegion region_;   // null with applied_: the clip was removed
  bool applied_ = false;
};

}  // namespace SkinUI
