// Clipping: the printer gets no clip regions. Vector output is held inside an HP-GL/2 input window
// (one rectangle); everything else is cut into pieces by the engine's enumerations.
#include "graphics/graphics.h"

#include <algorithm>

namespace render {
namespace {

constexpr char kInputWindow[] = "IW%d,%d,%d,%d";  // HP-GL/2 input window

}  // namespace

SIZEL PageLimits(const Pdev& pdev) {
  const devmode::PageGeometry& g = pdev.doc.page;
  const int32_t sx = pdev.doc.scaleX > 0 ? pdev.doc.scaleX : 100;
  const int32_t sy = pdev.doc.scaleY > 0 ? pdev.doc.scaleY : 100;
  return SIZEL{(g.width - g.left - g.right) * 100 / sx, (g.height - g.top - g.bottom) * 100 / sy};
}

int SetWindowFromClip(Pdev& pdev, CLIPOBJ* pco, RECTL* unclamped) {
  if (pco == nullptr) return 0;
  GraphicsCaches& c = pdev.caches;
  switch (pco->iDComplexity) {
    case DC_TRIVIAL:
      // Always written: whatever window the printer holds, a trivial clip means the whole frame.
      c.clipValid = 1;
      SetClipWindow(pdev, nullptr);
      return 0;
    case DC_RECT:
    case DC_COMPLEX: {
      const RECTL b = pco->rclBounds;
      if (b.left == c.clip[0] && b.top == c.clip[1] && b.right == c.clip[2] && b.bottom == c.clip[3]) return 1;
      const SIZEL limit = PageLimits(pdev);
      const LONG left = std::max<LONG>(b.left, 0), top = std::max<LONG>(b.top, 0);
      const LONG right = std::min<LONG>(b.right, limit.cx), bottom = std::min<LONG>(b.bottom, limit.cy);
      if (left >= right || top >= bottom) return 0;
      c.clip[0] = left;
      c.clip[1] = top;
      c.clip[2] = right;
      c.clip[3] = bottom;
      EnterHpgl2(pdev, 0);
      WriteCommand(pdev, kInputWindow, left, top, right, bottom);
      c.clipValid = 1;
      if (unclamped != nullptr) *unclamped = b;
      return 1;
    }
    default:
      return 1;
  }
}

}  // namespace render
