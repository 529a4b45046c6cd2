// The engine's own blits, gradients and erasing, for what a driver hands back to the engine: drawn
// pixel by pixel (engine_pixels.cpp) into a bitmap target, or rendered and returned through the
// driver's DrvCopyBits for a device surface.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/engine_internal.h"
#include "platform/engine_bitmaps.h"
#include "win/error.h"

namespace platform::engine {
namespace {

RECTL Ordered(const RECTL& r) {
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

bool Inside(const SURFOBJ& so, LONG x, LONG y) {
  return x >= 0 && y >= 0 && x < so.sizlBitmap.cx && y < so.sizlBitmap.cy;
}

// Only bitmaps can be read.
bool Readable(const SURFOBJ* so) {
  return so != nullptr && so->iType == STYPE_BITMAP && so->pvScan0 != nullptr && BitsPerPixel(so->iBitmapFormat) != 0;
}


COLORREF Mix(const TRIVERTEX& a, const TRIVERTEX& b, double t) {
  auto one = [t](COLOR16 x, COLOR16 y) {
    double v = (1 - t) * x + t * y;
    return static_cast<ULONG>(std::clamp(std::lround(v), 0L, 65535L)) >> 8;
  };
  return one(a.Red, b.Red) | (one(a.Green, b.Green) << 8) | (one(a.Blue, b.Blue) << 16);
}

BOOL FillGradientRect(SURFOBJ* pso, CLIPOBJ* pco, XLATEOBJ* pxlo, const TRIVERTEX& a, const TRIVERTEX& b,
                      const RECTL& limit, bool vertical) {
  // Colours follow the vertices: the upper-left vertex's colour is at its edge whatever the order.
  RECTL r{a.x, a.y, b.x, b.y};
  RECTL box = Ordered(r);
  box = {std::max(box.left, limit.left), std::max(box.top, limit.top), std::min(box.right, limit.right),
         std::min(box.bottom, limit.bottom)};
  if (box.left >= box.right || box.top >= box.bottom) return TRUE;
  double from = vertical ? a.y : a.x, to = vertical ? b.y : b.x;
  return PaintPixels(pso, pco, box, nullptr, [&](LONG x, LONG y, COLORREF) -> std::optional<COLORREF> {
    double at = (vertical ? y : x) + 0.5;
    double t = to == from ? 0 : std::clamp((at - from) / (to - from), 0.0, 1.0);
    return XlateColour(pxlo, Mix(a, b, t));
  });
}

BOOL FillGradientTriangle(SURFOBJ* pso, CLIPOBJ* pco, XLATEOBJ* pxlo, const TRIVERTEX& a, const TRIVERTEX& b,
                          const TRIVERTEX& c, const RECTL& limit) {
  PathPoints path;
  path.MoveTo(a.x * 16, a.y * 16);
  path.LineTo(b.x * 16, b.y * 16);
  path.LineTo(c.x * 16, c.y * 16);
  path.CloseFigure();
  Region area = RasterizePath(path, kFillAlternate, limit);
  if (area.IsEmpty()) return TRUE;
  double det = double(b.y - c.y) * (a.x - c.x) + double(c.x - b.x) * (a.y - c.y);
  if (det == 0) return TRUE;
  return PaintPixels(pso, pco, area.Bounds(), &area, [&](LONG x, LONG y, COLORREF) -> std::optional<COLORREF> {
    double px = x + 0.5, py = y + 0.5;
    double wa = (double(b.y - c.y) * (px - c.x) + double(c.x - b.x) * (py - c.y)) / det;
    double wb = (double(c.y - a.y) * (px - c.x) + double(a.x - c.x) * (py - c.y)) / det;
    double wc = 1 - wa - wb;
    auto one = [&](COLOR16 va, COLOR16 vb, COLOR16 vc) {
      double v = wa * va + wb * vb + wc * vc;
      return static_cast<ULONG>(std::clamp(std::lround(v), 0L, 65535L)) >> 8;
    };
    return XlateColour(pxlo, one(a.Red, b.Red, c.Red) | (one(a.Green, b.Green, c.Green) << 8) |
                                 (one(a.Blue, b.Blue, c.Blue) << 16));
  });
}

}  // namespace
}  // namespace platform::engine

using namespace platform::engine;

extern "C" BOOL EngBitBlt(SURFOBJ* trg, SURFOBJ* src, SURFOBJ* mask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
                          POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  if (trg == nullptr || prclTrg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  unsigned fore = rop4 & 0xFF, back = (rop4 >> 8) & 0xFF;
  auto usesSource = [](unsigned rop3) { return (((rop3 >> 2) ^ rop3) & 0x33) != 0; };
  bool needSource = usesSource(fore) || usesSource(back);
  if ((needSource && (!Readable(src) || pptlSrc == nullptr)) ||
      (mask != nullptr && (!Readable(mask) || mask->iBitmapFormat != BMF_1BPP))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECTL r = Ordered(*prclTrg);
  POINTL srcAt = pptlSrc != nullptr ? *pptlSrc : POINTL{0, 0};
  POINTL maskAt = pptlMask != nullptr ? *pptlMask : POINTL{0, 0};
  POINTL brushOrg = pptlBrush != nullptr ? *pptlBrush : POINTL{0, 0};
  return PaintPixels(trg, pco, r, nullptr, [&](LONG x, LONG y, COLORREF d) -> std::optional<COLORREF> {
    unsigned rop3 = fore;
    if (mask != nullptr) {
      LONG mx = maskAt.x + x - r.left, my = maskAt.y + y - r.top;
      rop3 = Inside(*mask, mx, my) && ReadPixel(*mask, mx, my) != 0 ? fore : back;
    }
    if (rop3 == 0xAA) return std::nullopt;  // the destination as it is
    ULONG s = 0;
    if (usesSource(rop3)) {
      LONG sx = srcAt.x + x - r.left, sy = srcAt.y + y - r.top;
      if (!Inside(*src, sx, sy)) return std::nullopt;
      s = XlateColour(pxlo, ReadPixel(*src, sx, sy));
    }
    ULONG p = (((rop3 >> 4) ^ rop3) & 0x0F) != 0 ? BrushColourAt(pbo, brushOrg, x, y) : 0;
    return ApplyRop3(rop3, p, s, d) & 0x00FFFFFF;
  });
}

extern "C" BOOL EngCopyBits(SURFOBJ* dst, SURFOBJ* src, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                            POINTL* pptlSrc) {
  return EngBitBlt(dst, src, nullptr, pco, pxlo, prclDest, pptlSrc, nullptr, nullptr, nullptr, 0xCCCC);
}

// The source rectangle is stretched over the destination (nearest pixel); a destination whose
// edges are swapped mirrors the image. Source pixels of value TransColor are left out.
extern "C" BOOL EngTransparentBlt(SURFOBJ* dst, SURFOBJ* src, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                                  RECTL* prclSrc, ULONG transColor, ULONG) {
  if (dst == nullptr || !Readable(src) || prclDst == nullptr || prclSrc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECTL d = *prclDst, s = Ordered(*prclSrc);
  RECTL box = Ordered(d);
  LONG dw = box.right - box.left, dh = box.bottom - box.top, sw = s.right - s.left, sh = s.bottom - s.top;
  if (dw == 0 || dh == 0 || sw <= 0 || sh <= 0) return TRUE;
  bool flipX = d.left > d.right, flipY = d.top > d.bottom;
  return PaintPixels(dst, pco, box, nullptr, [&](LONG x, LONG y, COLORREF) -> std::optional<COLORREF> {
    LONG ix = x - box.left, iy = y - box.top;
    if (flipX) ix = dw - 1 - ix;
    if (flipY) iy = dh - 1 - iy;
    LONG sx = s.left + static_cast<LONG>(int64_t(ix) * sw / dw), sy = s.top + static_cast<LONG>(int64_t(iy) * sh / dh);
    if (!Inside(*src, sx, sy)) return std::nullopt;
    ULONG v = ReadPixel(*src, sx, sy);
    if (v == transColor) return std::nullopt;
    return XlateColour(pxlo, v);
  });
}

extern "C" BOOL EngGradientFill(SURFOBJ* dst, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* vertices, ULONG nVertex,
                                PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL*, ULONG ulMode) {
  if (dst == nullptr || vertices == nullptr || pMesh == nullptr || ulMode > GRADIENT_FILL_TRIANGLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECTL limit{0, 0, dst->sizlBitmap.cx, dst->sizlBitmap.cy};
  if (prclExtents != nullptr) {
    RECTL e = Ordered(*prclExtents);
    limit = {std::max(limit.left, e.left), std::max(limit.top, e.top), std::min(limit.right, e.right),
             std::min(limit.bottom, e.bottom)};
  }
  BOOL ok = TRUE;
  for (ULONG i = 0; i < nMesh; ++i) {
    if (ulMode == GRADIENT_FILL_TRIANGLE) {
      const auto& t = static_cast<const GRADIENT_TRIANGLE*>(pMesh)[i];
      if (t.Vertex1 >= nVertex || t.Vertex2 >= nVertex || t.Vertex3 >= nVertex) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      ok &= FillGradientTriangle(dst, pco, pxlo, vertices[t.Vertex1], vertices[t.Vertex2], vertices[t.Vertex3], limit);
    } else {
      const auto& g = static_cast<const GRADIENT_RECT*>(pMesh)[i];
      if (g.UpperLeft >= nVertex || g.LowerRight >= nVertex) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      ok &= FillGradientRect(dst, pco, pxlo, vertices[g.UpperLeft], vertices[g.LowerRight], limit,
                             ulMode == GRADIENT_FILL_RECT_V);
    }
  }
  return ok ? TRUE : FALSE;
}

// iColor is a pixel value of a bitmap target, and a colour (0x00BBGGRR) on a device surface.
extern "C" BOOL EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor) {
  if (pso == nullptr || prcl == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECTL r = Ordered(*prcl);
  if (pso->iType == STYPE_BITMAP) {
    if (!Readable(pso)) return FALSE;
    r = {std::max(r.left, LONG{0}), std::max(r.top, LONG{0}), std::min<LONG>(r.right, pso->sizlBitmap.cx),
         std::min<LONG>(r.bottom, pso->sizlBitmap.cy)};
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) WritePixel(*pso, x, y, iColor);
    return TRUE;
  }
  COLORREF colour = iColor & 0x00FFFFFF;
  return PaintPixels(pso, nullptr, r, nullptr, [colour](LONG, LONG, COLORREF) { return std::optional(colour); });
}
