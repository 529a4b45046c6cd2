// Pixels of engine bitmaps: reading and writing one pixel of a bitmap SURFOBJ, what a pixel value
// means in a bitmap's colour layout, and the XLATEOBJ that layout gives a hook.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/engine_objects.h"
#include "win/winddi.h"

namespace platform::engine {

// 1, 4, 8, 16, 24 or 32 for the BMF_* formats; 0 for anything else.
PLATFORM_API int BitsPerPixel(ULONG format);

// The value of pixel (x, y) of a bitmap surface: a palette index up to 8 bpp, the packed value
// above (24 bpp: the B,G,R bytes as 0x00RRGGBB). The caller keeps (x, y) inside the bitmap.
PLATFORM_API ULONG ReadPixel(const SURFOBJ& so, LONG x, LONG y);
PLATFORM_API void WritePixel(SURFOBJ& so, LONG x, LONG y, ULONG value);

// What the pixel values of a bitmap mean. Indexed formats use `palette` (COLORREF entries); 16 and
// 32 bpp use the masks (none given: 5-5-5 and 8-8-8); 24 bpp is B,G,R bytes.
struct PLATFORM_API PixelLayout {
  ULONG format = BMF_32BPP;
  std::vector<COLORREF> palette;
  ULONG redMask = 0, greenMask = 0, blueMask = 0;

  // The masks in force (defaults filled in); all zero for indexed and 24-bpp layouts.
  void Masks(ULONG* red, ULONG* green, ULONG* blue) const;
  // The COLORREF of a pixel value, and the pixel value nearest a COLORREF.
  COLORREF ColourOf(ULONG pixel) const;
  ULONG PixelOf(COLORREF colour) const;
  // The XLATEOBJ a hook gets for a source of this layout: XO_TABLE for indexed formats, the
  // masks for 16 and 32 bpp, B,G,R for 24 bpp.
  EngineXlate Xlate() const;
};

// The layout of a bitmap surface: what SetSurfaceLayout gave it, else DefaultLayout of its format.
PLATFORM_API PixelLayout LayoutOf(const SURFOBJ& so);
PLATFORM_API bool SetSurfaceLayout(HSURF hsurf, const PixelLayout& layout);

// The layout the engine gives its own bitmaps of a format: a grey ramp for indexed formats
// (black and white at 1 bpp), default masks above.
PLATFORM_API PixelLayout DefaultLayout(ULONG format);

// The COLORREF a hook's XLATEOBJ gives a source pixel value; null is the identity.
PLATFORM_API COLORREF XlateColour(XLATEOBJ* xlo, ULONG pixel);

// An engine bitmap the engine owns for one operation: EngCreateBitmap, locked while it lives.
class PLATFORM_API ScratchBitmap {
 public:
  // Nothing for an empty or absurd size.
  static std::optional<ScratchBitmap> Create(LONG width, LONG height, ULONG format = BMF_32BPP, bool topDown = true);
  ~ScratchBitmap();
  ScratchBitmap(ScratchBitmap&& other) noexcept;
  ScratchBitmap& operator=(ScratchBitmap&& other) = delete;
  SURFOBJ* get() const { return so_; }
  HSURF handle() const { return hsurf_; }

 private:
  ScratchBitmap(HSURF hsurf, SURFOBJ* so) : hsurf_(hsurf), so_(so) {}
  HSURF hsurf_ = nullptr;
  SURFOBJ* so_ = nullptr;
};

// A raster operation's result for one pixel: ROP3 `rop3` over pattern, source and destination
// colours, bit by bit (pattern weight 4, source 2, destination 1).
inline ULONG ApplyRop3(unsigned rop3, ULONG p, ULONG s, ULONG d) {
  ULONG r = 0;
  for (unsigned i = 0; i < 8; ++i) {
    if ((rop3 >> i) & 1) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r;
}

// The brush colour (COLORREF) at device pixel (x, y) for a brush origin; a solid brush is its
// colour everywhere; a pattern or hatch brush repeats its pattern from the origin. Null: black.
PLATFORM_API COLORREF BrushColourAt(BRUSHOBJ* pbo, POINTL origin, LONG x, LONG y);

// Renders onto a surface. A bitmap target is drawn into directly; for a device surface the result
// is rendered into an engine bitmap and handed to the driver's DrvCopyBits, limited to the pixels
// the operation touches (a device surface cannot be read, so its destination reads as white).
// `paint` receives device pixel (x, y) and the destination colour and returns the new colour, or
// nothing to leave the pixel.
// `only` (null: all of `bounds`) limits the pixels further; `pco` may be null.
using PixelPainter = std::function<std::optional<COLORREF>(LONG x, LONG y, COLORREF destination)>;
PLATFORM_API BOOL PaintPixels(SURFOBJ* target, CLIPOBJ* pco, const RECTL& bounds, const Region* only,
                              const PixelPainter& painter);

}  // namespace platform::engine
