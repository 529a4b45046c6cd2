// DrvBitBlt: images through the raster writer; fills without a source as PCL rectangle fills or
// HP-GL/2 rectangles, cut to the clip region by the engine's rectangle enumeration.
#include <algorithm>
#include <cstdlib>

#include "devmode/trace.h"
#include "graphics/graphics.h"

namespace render {
namespace {

constexpr char kRectangleSize[] = "\x1b*c%da%dB";  // rectangle width and height in dots
constexpr char kFillRectangle[] = "\x1b*c%dP";     // fill the rectangle: 0 black, 1 white, 5 current pattern
constexpr char kThinPen[] = "WU0PW0";              // thinnest pen for the rectangle's edge
constexpr char kWindowOff[] = "IW;";               // HP-GL/2 input window: whole picture frame
constexpr char kRectangle[] = "RR%d,%d";           // fill rectangle, relative corner
constexpr char kRectangleAt[] = "PU%d,%dRR%d,%d";  // pen up to the corner, fill rectangle
constexpr char kEdgeRectangle[] = "ER;";           // outline the same rectangle
constexpr char kSolidBlack[] = "\x1b*v0T";          // current pattern: solid black
constexpr int kBlack = 0, kWhite = 1, kCurrentPattern = 5;
constexpr int kDecorationRop = 160;

bool Decoration(const Pdev& pdev) { return (pdev.doc.OutputFlags & kDecorationMode) != 0; }
bool Vector(const Pdev& pdev) { return pdev.settings.priv.VectorGraphics != 0; }

int FillCode(const BRUSHOBJ* pbo) {
  if (pbo == nullptr || pbo->iSolidColor == 0xFFFFFFFF) return kCurrentPattern;
  const ULONG rgb = pbo->iSolidColor & 0xFFFFFF;
  return rgb == 0 ? kBlack : rgb == 0xFFFFFF ? kWhite : kCurrentPattern;
}

void PclRectangle(Pdev& pdev, LONG left, LONG top, int width, int height, int fill) {
  MovePclCursor(pdev, left, top);
  WriteCommand(pdev, kRectangleSize, width, height);
  WriteCommand(pdev, kFillRectangle, fill);
}

void ThinPen(Pdev& pdev) {
  if (pdev.lines.penWidth == 0) return;
  WriteCommand(pdev, kThinPen);
  pdev.lines.penWidth = 0;
}

}  // namespace

int ClampToPage(const Pdev& pdev, RECTL* r) {
  if (r->top > r->bottom) std::swap(r->top, r->bottom);
  if (r->left > r->right) std::swap(r->left, r->right);
  const SIZEL limit = PageLimits(pdev);
  const bool outside = r->left < 0 || r->top < 0 || r->right > limit.cx || r->bottom > limit.cy;
  r->left = std::max<LONG>(r->left, 0);
  r->top = std::max<LONG>(r->top, 0);
  r->right = std::min<LONG>(r->right, limit.cx);
  r->bottom = std::min<LONG>(r->bottom, limit.cy);
  if (r->left >= r->right || r->top >= r->bottom) return 0;
  return outside ? 2 : 1;
}

BOOL FillRectangles(Pdev& pdev, SURFOBJ*, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, int rop) {
  if (pco == nullptr) return TRUE;
  BRUSHOBJ* brush = RopUsesPattern(rop) ? pbo : nullptr;
  const int code = Decoration(pdev) ? kDecorationRop : rop;
  const RECTL b = pco->rclBounds;
  switch (pco->iDComplexity) {
    case DC_TRIVIAL:
      EnterPcl(pdev, 1);
      SetPclRasterOps(pdev, 1, 1, code);
      if (brush != nullptr && !SelectBrush(pdev, brush, nullptr, kStrokePen)) return FALSE;
      PclRectangle(pdev, b.left, b.top, b.right - b.left, b.bottom - b.top, kCurrentPattern);
      return TRUE;

    case DC_RECT:
      if (brush != nullptr && !Vector(pdev)) {
        SetPclRasterOps(pdev, 1, 1, TranslateRopToSource(rop));
        if (!SelectBrush(pdev, brush, origin, kFill)) return FALSE;
        PclRectangle(pdev, b.left, b.top, b.right - b.left, b.bottom - b.top, FillCode(brush));
        return TRUE;
      }
      if (pdev.caches.CurrentLanguage == kLanguagePcl) EnterHpgl2(pdev, 0);
      SetMergeControl(pdev, code, 0);
      if (brush != nullptr) {
        if (!SelectBrush(pdev, brush, origin, kFill)) return TRUE;
        SetClipWindow(pdev, nullptr);
        if ((brush->iSolidColor & 0xFFFFFF) == 0xFFFFFF) ThinPen(pdev);
      } else {
        ThinPen(pdev);
      }
      EnterHpgl2(pdev, 0);
      WriteCommand(pdev, kWindowOff);
      // The cache must say so too, or a later stroke under the old clip would not set it again.
      pdev.caches.clipValid = 0;
      std::fill(std::begin(pdev.caches.clip), std::end(pdev.caches.clip), 0);
      MovePenUp(pdev, b.left, b.top);
      WriteCommand(pdev, kRectangle, std::abs(b.right - b.left), std::abs(b.top - b.bottom));
      WriteCommand(pdev, kEdgeRectangle);
      return TRUE;

    case DC_COMPLEX: {
      const bool vector = Vector(pdev);
      if (!vector) {
        SetPclRasterOps(pdev, 1, 1, TranslateRopToSource(rop));
        if (brush != nullptr && !SelectBrush(pdev, brush, origin, kFill)) return FALSE;
      } else {
        if (pdev.caches.CurrentLanguage == kLanguagePcl) EnterHpgl2(pdev, 0);
        SetMergeControl(pdev, code, 0);
        if (brush != nullptr) SelectBrush(pdev, brush, origin, kFill);
        SetClipWindow(pdev, nullptr);
      }
      const int fill = brush != nullptr ? FillCode(brush) : kBlack;
      const bool solid = brush != nullptr && brush->iSolidColor != 0xFFFFFFFF;
      ForEachClipRect(pco, [&](const RECTL& r) {
        if (vector) {
          EnterHpgl2(pdev, 0);
          WriteCommand(pdev, kRectangleAt, r.left, r.top, std::abs(r.right - r.left), std::abs(r.bottom - r.top));
          WriteCommand(pdev, kEdgeRectangle);
          return;
        }
        if (solid && r.left >= r.right) return;
        PclRectangle(pdev, r.left, r.top, static_cast<int16_t>(std::abs(r.right - r.left)),
                     static_cast<int16_t>(std::abs(r.top - r.bottom)), fill);
      });
      return TRUE;
    }
    default:
      return TRUE;
  }
}

BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  if (psoMask != nullptr) {
    EngineFallbacks& f = Fallbacks();
    if (f.bitBlt == nullptr) {
      devmode::DebugTrace("DrvBitBlt: the engine offers no fallback\n");
      return FALSE;
    }
    return f.bitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
  }
  if ((rop4 >> 16) != 0) return FALSE;
  Pdev* pdev = BlitDevice(psoTrg);
  if (pdev == nullptr || prclTrg == nullptr) return FALSE;
  RECTL r = *prclTrg;
  const int visible = ClampToPage(*pdev, &r);
  if (visible == 0) return TRUE;
  const int rop = static_cast<int>(rop4 & 0xFF);
  if (RopUsesSource(rop)) {
    if (psoSrc == nullptr) return FALSE;
    EnterPcl(*pdev, 1);
    SetPclRasterOps(*pdev, 1, 1, rop);
    if (RopUsesPattern(rop) && pbo != nullptr) {
      if (pdev->brush.currentKind != kPatternBlack) {
        EnterPcl(*pdev, 1);
        WriteCommand(*pdev, kSolidBlack);
        pdev->brush.currentKind = kPatternBlack;
      }
      if (!SelectBrush(*pdev, pbo, nullptr, kStrokePen)) return FALSE;
    }
    const RECTL& t = *prclTrg;
    const POINTL origin = pptlSrc != nullptr ? *pptlSrc : POINTL{0, 0};
    return WriteRasterImage(*pdev, pco, psoSrc, SIZEL{t.right - t.left, t.bottom - t.top}, origin, t, pxlo,
                            visible == 2, &r);
  }
  CLIPOBJ single{};
  if (pco == nullptr || pco->iDComplexity == DC_TRIVIAL) {
    single.iDComplexity = DC_RECT;
    single.rclBounds = r;
    pco = &single;
  }
  return FillRectangles(*pdev, psoTrg, pco, pbo, pptlBrush, rop);
}

}  // namespace render
