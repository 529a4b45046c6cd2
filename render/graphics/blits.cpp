// The image blits: copies and stretches as raster pictures, transparent blits as a mask and an
// image, and what the driver leaves to the engine's own drawing.
#include <algorithm>
#include <cstring>

#include "devmode/trace.h"
#include "graphics/graphics.h"
#include "win/memory.h"

// Bound weakly: an engine without one of these gets a refusal from the hook, not a driver that
// fails to load.
#pragma weak EngBitBlt
#pragma weak EngTransparentBlt
#pragma weak EngGradientFill
#pragma weak EngEraseSurface

namespace render {
namespace {

constexpr uint8_t kSourceCopy = 0xCC;
constexpr uint8_t kMaskOr = 0xEE;      // source OR destination: the mask whitens what the image covers
constexpr uint8_t kImageAnd = 0x88;    // source AND destination: white pixels leave the page alone
constexpr ULONG kEraseToWhite = 0xFFFFFFFF;
constexpr ULONG kGradientTriangle = 2;  // GRADIENT_FILL_TRIANGLE

void Unavailable(const char* what) { devmode::DebugTrace("%s: the engine offers no fallback\n", what); }

}  // namespace

EngineFallbacks& Fallbacks() {
  static EngineFallbacks table{&EngBitBlt, &EngTransparentBlt, &EngGradientFill, &EngEraseSurface};
  return table;
}

Pdev* BlitDevice(SURFOBJ* pso) {
  Pdev* pdev = ValidPdev(pso);
  if (pdev == nullptr || pdev->blitAborted) return nullptr;
  if (EngCheckAbort(pso)) {
    pdev->blitAborted = 1;
    return nullptr;
  }
  return pdev;
}

BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest, POINTL* pptlSrc) {
  // The printed page cannot be read back: a copy from anything but a bitmap leaves white.
  if (psoSrc == nullptr || psoSrc->iType != STYPE_BITMAP) {
    EngineFallbacks& f = Fallbacks();
    if (f.eraseSurface == nullptr) {
      Unavailable("DrvCopyBits");
      return FALSE;
    }
    return f.eraseSurface(psoDest, prclDest, kEraseToWhite);
  }
  if (psoDest == nullptr || psoDest->iType != STYPE_DEVICE || prclDest == nullptr) return FALSE;
  Pdev* pdev = BlitDevice(psoDest);
  if (pdev == nullptr) return FALSE;
  RECTL bounds = *prclDest;
  const int visible = ClampToPage(*pdev, &bounds);
  if (visible == 0) return TRUE;
  EnterPcl(*pdev, 1);
  SetPclRasterOps(*pdev, 1, 1, kSourceCopy);
  const RECTL& d = *prclDest;
  const POINTL origin = pptlSrc != nullptr ? *pptlSrc : POINTL{0, 0};
  return WriteRasterImage(*pdev, pco, psoSrc, SIZEL{d.right - d.left, d.bottom - d.top}, origin, d, pxlo, visible == 2,
                          &bounds);
}

BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ*, CLIPOBJ* pco, XLATEOBJ* pxlo, COLORADJUSTMENT*,
                   POINTL*, RECTL* prclDest, RECTL* prclSrc, POINTL*, ULONG) {
  Pdev* pdev = BlitDevice(psoDest);
  if (pdev == nullptr || psoSrc == nullptr || prclDest == nullptr || prclSrc == nullptr) return FALSE;
  RECTL bounds = *prclDest;
  const int visible = ClampToPage(*pdev, &bounds);
  if (visible == 0) return TRUE;
  // A mirrored source is a mirrored destination.
  RECTL source = *prclSrc, destination = *prclDest;
  if (source.left > source.right) {
    std::swap(source.left, source.right);
    std::swap(destination.left, destination.right);
  }
  if (source.top > source.bottom) {
    std::swap(source.top, source.bottom);
    std::swap(destination.top, destination.bottom);
  }
  SetPclRasterOps(*pdev, 1, 1, kSourceCopy);
  return WriteRasterImage(*pdev, pco, psoSrc, SIZEL{source.right - source.left, source.bottom - source.top},
                          POINTL{source.left, source.top}, destination, pxlo, visible == 2, &bounds);
}

BOOL DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst, RECTL* prclSrc,
                       ULONG iTransColor, ULONG ulReserved) {
  const ULONG format = psoSrc != nullptr ? psoSrc->iBitmapFormat : 0;
  if (format != BMF_24BPP && format != BMF_32BPP) {
    EngineFallbacks& f = Fallbacks();
    if (f.transparentBlt == nullptr) {
      Unavailable("DrvTransparentBlt");
      return FALSE;
    }
    return f.transparentBlt(psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor, ulReserved);
  }
  Pdev* pdev = BlitDevice(psoDst);
  PixelView view;
  if (pdev == nullptr || prclDst == nullptr || prclSrc == nullptr || !ViewOfSurface(psoSrc, &view)) return FALSE;
  RECTL bounds = *prclDst;
  if (ClampToPage(*pdev, &bounds) == 0) return TRUE;
  // The part of the source rectangle inside the bitmap.
  RECTL s = *prclSrc;
  if (s.left > s.right) std::swap(s.left, s.right);
  if (s.top > s.bottom) std::swap(s.top, s.bottom);
  s = RECTL{std::max<LONG>(s.left, 0), std::max<LONG>(s.top, 0), std::min(s.right, view.width),
            std::min(s.bottom, view.height)};
  if (s.left >= s.right || s.top >= s.bottom) return TRUE;
  const LONG width = s.right - s.left, height = s.bottom - s.top;
  const int bytes = view.bpp / 8;
  const int64_t maskRow = (int64_t{width} + 31) / 32 * 4, imageRow = (int64_t{width} * bytes + 3) / 4 * 4;
  auto* mask = static_cast<uint8_t*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(maskRow * height)));
  auto* image = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(imageRow * height)));
  if (mask == nullptr || image == nullptr) {
    if (mask != nullptr) GlobalFree(mask);
    if (image != nullptr) GlobalFree(image);
    return FALSE;
  }
  // The colour bytes decide; the fourth byte of a 32-bpp pixel carries no colour.
  const ULONG key = iTransColor & 0xFFFFFF;
  for (LONG y = 0; y < height; ++y) {
    const uint8_t* from = view.Row(s.top + y) + int64_t{s.left} * bytes;
    uint8_t* to = image + y * imageRow;
    std::memcpy(to, from, static_cast<size_t>(width) * static_cast<size_t>(bytes));
    for (LONG x = 0; x < width; ++x) {
      uint8_t* p = to + int64_t{x} * bytes;
      if (static_cast<ULONG>(p[0] | p[1] << 8 | p[2] << 16) == key) std::memset(p, 0xFF, static_cast<size_t>(bytes));
      else mask[y * maskRow + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  SURFOBJ maskSurface{};
  maskSurface.sizlBitmap = SIZEL{width, height};
  maskSurface.pvScan0 = maskSurface.pvBits = mask;
  maskSurface.lDelta = static_cast<LONG>(maskRow);
  maskSurface.iBitmapFormat = BMF_1BPP;
  maskSurface.iType = STYPE_BITMAP;
  SURFOBJ imageSurface = maskSurface;
  imageSurface.pvScan0 = imageSurface.pvBits = image;
  imageSurface.lDelta = static_cast<LONG>(imageRow);
  imageSurface.iBitmapFormat = format;
  const SIZEL size{width, height};
  SetPclRasterOps(*pdev, 0, 0, kMaskOr);
  BOOL ok = WriteRasterImage(*pdev, pco, &maskSurface, size, POINTL{0, 0}, *prclDst, nullptr, false, &bounds);
  if (ok) {
    SetPclRasterOps(*pdev, 0, 0, kImageAnd);
    ok = WriteRasterImage(*pdev, pco, &imageSurface, size, POINTL{0, 0}, *prclDst, pxlo, false, &bounds);
  }
  GlobalFree(mask);
  GlobalFree(image);
  return ok;
}

BOOL DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex, PVOID pMesh,
                     ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode) {
  Pdev* pdev = BlitDevice(psoDest);
  if (pdev == nullptr) return FALSE;
  // The engine draws triangles into a white rectangle: its white must not cover what lies around
  // them, so the source is left transparent while the cache claims opaque.
  if (ulMode == kGradientTriangle) pdev->caches.sourceTransparency = 1;
  EngineFallbacks& f = Fallbacks();
  if (f.gradientFill == nullptr) {
    Unavailable("DrvGradientFill");
    return TRUE;
  }
  f.gradientFill(psoDest, pco, pxlo, pVertex, nVertex, pMesh, nMesh, prclExtents, pptlDitherOrg, ulMode);
  return TRUE;
}

}  // namespace render
