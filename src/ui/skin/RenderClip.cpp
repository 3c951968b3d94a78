#include "ui/skin/RenderClip.h"

namespace SkinUI {

CRenderClip::CRenderClip(HDC dc, const RECT& rect) : dc_(dc) {
  Apply(win::ScopedRegion(::CreateRectRgnIndirect(&rect)), true);
}

CRenderClip::CRenderClip(HDC dc, const RECT& rect, int roundX, int roundY) : dc_(dc) {
  // The region's right and bottom edges are exclusive like the rectangle's, but a rounded
  // region stops one pixel short of them.
  Apply(win::ScopedRegion(::CreateRoundRectRgn(rect.left, rect.top, rect.right + 1,
                                               rect.bottom + 1, roundX, roundY)),
        true);
}

CRenderClip::CRenderClip(HDC dc, const CRenderClip& outer) : dc_(dc) {
  // What the outer clip set; when it could not set anything, the clip it found.
  const HRGN source = outer.applied_ ? outer.region_.get() : outer.previous_.get();
  win::ScopedRegion copy;
  if (source) {
    copy.reset(::CreateRectRgn(0, 0, 0, 0));
    if (!copy || ::CombineRgn(copy.get(), source, nullptr, RGN_COPY) == ERROR) return;
  }
  Apply(std::move(copy), false);
}

void CRenderClip::Apply(win::ScopedRegion region, bool intersect) {
  win::ScopedRegion previous(::CreateRectRgn(0, 0, 0, 0));
  if (!previous) return;
  if (::GetClipRgn(dc_, previous.get()) == 1) previous_ = std::move(previous);
  if (intersect) {
    if (!region) return;
    if (previous_) ::CombineRgn(region.get(), region.get(), previous_.get(), RGN_AND);
  }
  region_ = std::move(region);
  // SelectClipRgn copies the region; null removes the clip altogether.
  ::SelectClipRgn(dc_, region_.get());
  applied_ = true;
}

CRenderClip::~CRenderClip() {
  if (applied_) ::SelectClipRgn(dc_, previous_ ? previous_.get() : nullptr);
}

}  // namespace SkinUI
