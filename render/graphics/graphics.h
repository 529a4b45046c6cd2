// What the graphics modules offer each other and the hook table: HP-GL/2 paths, clipping, brushes
// and patterns, rectangle fills.
#pragma once

#include <cstdint>

#include "core/pdev.h"
#include "win/winddi.h"

namespace render {

// --- paths (hpgl_paths.cpp) ---
BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix);
BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions);
BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions);
// 0 when a curve record does not hold whole curves (what was written stays written).
int WriteHpglPath(Pdev& pdev, PATHOBJ* ppo, bool polygonMode);
// Strokes under a complex clip as the engine's clipped runs; 0 for geometric lines and curves.
int WriteClippedLines(Pdev& pdev, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, LINEATTRS* pla);

// --- line attributes (line_attributes.cpp) ---
// 0 without attributes or for a geometric line.
int SelectLineAttributes(Pdev& pdev, const LINEATTRS* pla);
// Cosmetic width in millionths of a millimetre, as "PW0.%s" writes it.
int32_t PenWidthMicrons(int32_t widthPixels, int32_t resolution);

// --- clipping (clipping.cpp) ---
// The page's printable size in pixels at the scaling in force.
SIZEL PageLimits(const Pdev& pdev);
// The input window for a clip object: 1 when a window is set or nothing needed changing.
int SetWindowFromClip(Pdev& pdev, CLIPOBJ* pco, RECTL* unclamped);
// Clip rectangles one at a time, right-down; `visit` sees each one, the last one included.
template <typename Visit>
void ForEachClipRect(CLIPOBJ* pco, Visit visit) {
  CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, CD_RIGHTDOWN, 0);
  bool more;
  do {
    ENUMRECTS batch{};
    more = CLIPOBJ_bEnum(pco, sizeof batch, reinterpret_cast<ULONG*>(&batch)) != FALSE;
    if (batch.c > 0) visit(batch.arcl[0]);
  } while (more);
}

// --- brushes and patterns (brushes.cpp, patterns.cpp) ---
enum BrushUse : int { kStrokePen = 0, kFill = 1 };

// A realized brush as the engine keeps it for us.
struct RealizedBrush {
  int32_t width;
  int32_t height;
  int32_t sourceFormat;  // BMF_*
  int32_t bitmapFlags;
  int32_t patternId;
  int32_t paletteCount;     // 32-bit entries after the bits
  int32_t palettePosition;  // from the record's start
  int32_t rowBytes;
  // the rows, then the palette (red in the low byte)
  uint8_t* Bits() { return reinterpret_cast<uint8_t*>(this + 1); }
  const uint8_t* Bits() const { return reinterpret_cast<const uint8_t*>(this + 1); }
  const uint32_t* Palette() const {
    return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(this) + palettePosition);
  }
};
static_assert(sizeof(RealizedBrush) == 32);

BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask, XLATEOBJ* pxlo,
                     ULONG iHatch);
// 0 when a pattern brush has no realization.
int SelectBrush(Pdev& pdev, BRUSHOBJ* pbo, const POINTL* origin, BrushUse use);
// 1 when a grey pattern became current, 0 for black and white.
int SelectSolidColour(Pdev& pdev, ULONG colour, BrushUse use);
int DownloadPattern(Pdev& pdev, const RealizedBrush& brush);
uint8_t GreyLevel(ULONG colour);
// The pattern at one bit per pixel, rows of (width + 7) / 8 bytes; false for a malformed record.
bool DitherPattern(Pdev& pdev, const RealizedBrush& brush, uint8_t* out);
void ScaleRowBits(const uint8_t* source, uint8_t* destination, int sourceWidth, int destinationWidth);

// The 16x16 threshold matrix: a pixel is black when its grey level is below the entry for
// (row mod 16, column mod 16).
extern const uint8_t kDitherThreshold[16][16];

// --- raster images (raster.cpp, raster_compression.cpp) ---
// A source image: 1, 4, 8, 16, 24 or 32 bits per pixel, rows `delta` bytes apart from the top.
struct PixelView {
  const uint8_t* scan0 = nullptr;
  int64_t delta = 0;
  int bpp = 0;
  LONG width = 0;
  LONG height = 0;
  const uint8_t* Row(LONG y) const { return scan0 + y * delta; }
};
// The surface's pixels; false for a format or layout that cannot be read safely.
bool ViewOfSurface(const SURFOBJ* pso, PixelView* view);
// Grey levels of the pixel values of 1, 4 and 8 bpp sources, and how 16, 24 and 32 bpp colours
// are read.
struct GreyMap {
  uint8_t table[256];
  XLATEOBJ* xlate;
  enum Order : uint8_t { kRedFirst, kBlueFirst, kTranslated, kFiveFiveFive } order;
};
GreyMap MakeGreyMap(const PixelView& view, XLATEOBJ* pxlo);
// Resamples the source area to width x height by nearest neighbour and dithers it against the
// page-anchored threshold matrix; rows of `rowBytes` bytes, set bits black. A flip reads the source
// area from its other end.
void ConvertRowsTo1Bit(const PixelView& source, POINTL origin, SIZEL sourceSize, LONG width, LONG height,
                       uint8_t* rows, uint32_t rowBytes, const GreyMap& greys, LONG ditherX, LONG ditherY,
                       bool flipVertical, bool flipHorizontal);
// Worst case n + n / 128 + 1 bytes.
uint32_t CompressRunLength(const uint8_t* row, uint32_t length, uint8_t* out);
// Worst case n + n / 8 + 1 bytes; 0 when the row equals the seed row, which becomes the row.
uint32_t CompressDeltaRow(const uint8_t* row, uint8_t* seed, uint32_t length, uint8_t* out);
// The rows of one picture ("\e*b%dW"), each with the cheapest of methods 0, 2 and 3; the delta
// compressor runs only when there is more than one row. False when the buffers cannot be had.
bool SendRasterRows(Pdev& pdev, const uint8_t* rows, uint32_t rowBytes, LONG height);
constexpr uint32_t RunLengthWorstCase(uint32_t n) { return n + n / 128 + 1; }
constexpr uint32_t DeltaRowWorstCase(uint32_t n) { return n + n / 8 + 1; }
// Prints the source area (size, origin) into `destination` (left > right or top > bottom: mirrored)
// as PCL raster pictures, cut to the clip and to `bounds` (null: the destination).
BOOL WriteRasterImage(Pdev& pdev, CLIPOBJ* pco, SURFOBJ* source, SIZEL size, POINTL origin, RECTL destination,
                      XLATEOBJ* pxlo, bool scaledPage, const RECTL* bounds);
// The destination size of the pictures that follow, in decipoints.
int SetRasterScale(Pdev& pdev, LONG width, LONG height);

// --- the engine's own drawing, for what the driver hands back (blits.cpp) ---
struct EngineFallbacks {
  PFN_DrvBitBlt bitBlt;
  PFN_DrvTransparentBlt transparentBlt;
  PFN_DrvGradientFill gradientFill;
  BOOL (*eraseSurface)(SURFOBJ* pso, RECTL* prcl, ULONG iColor);
};
// The platform's functions; tests may put recorders in their place.
EngineFallbacks& Fallbacks();

// --- blits (fills.cpp, blits.cpp) ---
BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest, POINTL* pptlSrc);
BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode);
BOOL DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                       RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
BOOL DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex, PVOID pMesh,
                     ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode);
// The device-valid check, the abort flag and the engine's abort: the PDEV when the blit may go on.
Pdev* BlitDevice(SURFOBJ* pso);

// --- fills (fills.cpp) ---
BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4);
// 0 nothing visible, 1 visible within the page, 2 visible but reaching outside it.
int ClampToPage(const Pdev& pdev, RECTL* rect);
BOOL FillRectangles(Pdev& pdev, SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, int rop);
constexpr bool RopUsesSource(int rop) { return !((rop % 80) <= 15 && rop % 5 == 0); }
constexpr bool RopUsesPattern(int rop) { return rop % 17 != 0; }

}  // namespace render
