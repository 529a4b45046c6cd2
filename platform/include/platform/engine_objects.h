// The engine objects a drawing hook receives (PATHOBJ, CLIPOBJ, BRUSHOBJ, XLATEOBJ, XFORMOBJ,
// LINEATTRS), built by the GDI layer and by tests, and the engine's geometry services: regions,
// widening a stroke into an outline and rasterising a path into a region.
// Each object owns its storage; the DDI pointer it hands out stays valid for the object's life
// and across moves.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "win/winddi.h"

namespace platform::engine {

// Point types of a path, with the values of GDI's PT_MOVETO and friends.
inline constexpr BYTE kPathCloseFigure = 0x01;
inline constexpr BYTE kPathLineTo = 0x02;
inline constexpr BYTE kPathBezierTo = 0x04;
inline constexpr BYTE kPathMoveTo = 0x06;
inline constexpr BYTE kPathTypeMask = 0x06;

// Fill modes, with GDI's ALTERNATE and WINDING values.
inline constexpr int kFillAlternate = 1;
inline constexpr int kFillWinding = 2;

// Region combination modes, with GDI's RGN_* values.
inline constexpr int kRegionAnd = 1;
inline constexpr int kRegionOr = 2;
inline constexpr int kRegionXor = 3;
inline constexpr int kRegionDiff = 4;
inline constexpr int kRegionCopy = 5;

// A set of device pixels kept as y-x banded rectangles (right and bottom exclusive).
class PLATFORM_API Region {
 public:
  Region();  // empty
  explicit Region(const RECTL& rect);  // empty when the rectangle is
  static Region FromRects(std::span<const RECTL> rects);  // their union
  ~Region();
  Region(const Region& other);
  Region& operator=(const Region& other);
  Region(Region&& other) noexcept;
  Region& operator=(Region&& other) noexcept;

  bool IsEmpty() const;
  // Empty regions give {0, 0, 0, 0}.
  RECTL Bounds() const;
  // Bands top to bottom, left to right within a band.
  std::vector<RECTL> Rects() const;
  size_t RectCount() const;
  bool Contains(LONG x, LONG y) const;
  bool operator==(const Region& other) const;

  Region& Union(const Region& other);
  Region& Intersect(const Region& other);
  Region& Subtract(const Region& other);
  Region& Xor(const Region& other);
  Region& Offset(LONG dx, LONG dy);
  // a op b for the kRegion* modes (kRegionCopy gives a); nothing for an unknown mode.
  static std::optional<Region> Combine(const Region& a, const Region& b, int mode);

  struct Impl;
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// A path in 28.4 device coordinates, as GDI's GetPath gives it: kPathMoveTo starts a figure,
// kPathBezierTo points come in threes, kPathCloseFigure is or'ed on a closed figure's last point.
struct PLATFORM_API PathPoints {
  std::vector<POINTFIX> points;
  std::vector<BYTE> types;

  void MoveTo(FIX x, FIX y);
  void LineTo(FIX x, FIX y);
  void BezierTo(POINTFIX c1, POINTFIX c2, POINTFIX end);
  // Marks the current figure closed.
  void CloseFigure();
  bool empty() const { return points.empty(); }
};

// Bounds of the points (control points included) in whole pixels: floor of the least, and one
// past the floor of the greatest coordinate. Empty paths give {0, 0, 0, 0}.
PLATFORM_API RECTL PathPixelBounds(const PathPoints& path);

// A PATHOBJ over a path. Records are what PATHOBJ_bEnum gives: a run of line points or of
// Bézier points within one figure; the first record of a figure starts with its first point.
// Bézier runs are handed out as the path holds them, whole or not.
class PLATFORM_API EnginePath {
 public:
  explicit EnginePath(PathPoints path);
  ~EnginePath();
  EnginePath(EnginePath&&) noexcept;
  EnginePath& operator=(EnginePath&&) noexcept;

  PATHOBJ* get();
  const PathPoints& points() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A CLIPOBJ for one call: the clip region (null: none) intersected with the surface and the
// primitive's bounds. Complexity is trivial when nothing of the primitive is cut away, rectangle
// when one rectangle remains, complex otherwise. The rectangles enumerated are those of the
// intersection; CLIPOBJ_cEnumStart returns their count (0xFFFFFFFF above the caller's limit).
class PLATFORM_API EngineClip {
 public:
  EngineClip(const Region* clipOrNull, RECTL surfaceBounds, RECTL primitiveBounds);
  ~EngineClip();
  EngineClip(EngineClip&&) noexcept;
  EngineClip& operator=(EngineClip&&) noexcept;

  CLIPOBJ* get();
  // Nothing of the primitive is visible: the hook need not be called.
  bool IsEmpty() const;
  // What the hook may draw into.
  const Region& visible() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Pattern bits for a brush: rows top first, `stride` bytes apart (at least the row's size).
// Formats BMF_1BPP to BMF_32BPP; 16 bpp is 5-5-5, 24 bpp is B,G,R bytes, 32 bpp B,G,R,x.
// The palette (COLORREF 0x00BBGGRR entries) serves 1, 4 and 8 bpp.
struct PatternBits {
  ULONG format = BMF_1BPP;
  LONG width = 0;
  LONG height = 0;
  LONG stride = 0;
  std::vector<BYTE> bits;
  std::vector<ULONG> palette;
};

// A BRUSHOBJ. iSolidColor is the colour (0x00BBGGRR) for solid brushes and 0xFFFFFFFF for hatch
// and pattern brushes, which the driver realizes through DrvRealizeBrush on the first
// BRUSHOBJ_pvGetRbrush; the realization lives as long as the brush and its binding.
class PLATFORM_API EngineBrush {
 public:
  static EngineBrush Solid(COLORREF rgb);
  // Hatch style HS_HORIZONTAL..HS_DIAGCROSS in `rgb` over `background`.
  static EngineBrush Hatch(ULONG style, COLORREF rgb, COLORREF background = 0x00FFFFFF);
  // Nothing when the bits do not hold the rows the description claims.
  static std::optional<EngineBrush> Pattern(const PatternBits& pattern);
  ~EngineBrush();
  EngineBrush(EngineBrush&&) noexcept;
  EngineBrush& operator=(EngineBrush&&) noexcept;

  BRUSHOBJ* get();
  // The surface and driver hook that realize the brush; a new binding drops the old realization.
  void BindDriver(SURFOBJ* target, PFN_DrvRealizeBrush realize);
  bool IsSolid() const;
  // How many times DrvRealizeBrush has been called for this brush.
  int RealizeCalls() const;

  struct Impl;

 private:
  explicit EngineBrush(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// An XLATEOBJ from a source's colours to the device's COLORREF (0x00BBGGRR) colours.
class PLATFORM_API EngineXlate {
 public:
  static EngineXlate Identity();                                // XO_TRIVIAL
  static EngineXlate Indexed(std::vector<ULONG> rgbPalette);    // XO_TABLE, pulXlate = the palette
  static EngineXlate FromBgr();                                 // 0x00RRGGBB pixels to COLORREF
  // Packed pixels whose channels are the masks' bits (16-bit 5-5-5 or 5-6-5, 32-bit), PAL_BITFIELDS.
  // XLATEOBJ_cGetPalette gives the three masks.
  static EngineXlate FromMasks(ULONG red, ULONG green, ULONG blue);
  ~EngineXlate();
  EngineXlate(EngineXlate&&) noexcept;
  EngineXlate& operator=(EngineXlate&&) noexcept;

  XLATEOBJ* get();

  struct Impl;

 private:
  explicit EngineXlate(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// An XFORMOBJ: world to device, device = (x * eM11 + y * eM21 + eDx, x * eM12 + y * eM22 + eDy).
class PLATFORM_API EngineXform {
 public:
  EngineXform();  // identity
  explicit EngineXform(const XFORML& worldToDevice);
  ~EngineXform();
  EngineXform(EngineXform&&) noexcept;
  EngineXform& operator=(EngineXform&&) noexcept;

  XFORMOBJ* get();
  const XFORML& xform() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// LINEATTRS for a pen, with its own style array; get() points the record at it.
struct PLATFORM_API LineAttrs {
  LINEATTRS attrs{};
  std::vector<FLOAT_LONG> style;

  // A one-pixel line; style elements in style units (LA_STYLED set when there are any).
  static LineAttrs Cosmetic(std::vector<LONG> styleUnits = {}, bool alternate = false);
  // A wide line; width, miter limit and style lengths in world units.
  static LineAttrs Geometric(FLOATL width, ULONG join, ULONG endCap, FLOATL miterLimit = 10.0f,
                             std::vector<FLOATL> style = {}, bool startGap = false);
  LINEATTRS* get();
};

// The outline of a stroke: figures to fill with the non-zero rule. Geometric widths, miter limit
// and style lengths are in world units and go through `worldToDevice` (null: identity); a
// cosmetic line is widened to one pixel. Dashes are split before widening, each dash its own
// closed outline. Nothing on a failure of the stroker; an empty path when nothing is drawn.
PLATFORM_API std::optional<PathPoints> WidenPath(const PathPoints& path, const LINEATTRS& attrs,
                                                 const XFORML* worldToDevice = nullptr);

// The pixels inside a path filled with kFillAlternate or kFillWinding, limited to `clip`. A pixel
// is inside when its centre is; a centre on an edge counts for the edge's right side and below,
// so abutting figures share no pixel. Figures are closed implicitly.
PLATFORM_API Region RasterizePath(const PathPoints& path, int fillMode, RECTL clip);

// Béziers flattened to lines (in 28.4, within a sixteenth of a pixel of the curve).
PLATFORM_API PathPoints FlattenPath(const PathPoints& path);

}  // namespace platform::engine
