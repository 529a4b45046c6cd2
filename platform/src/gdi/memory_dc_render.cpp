// Shapes, lines and pattern blits drawn into a memory DC's bitmap (see memory_dc_render.h).
#include "memory_dc_render.h"

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "device_output.h"
#include "gdi_trace.h"
#include "platform/engine_bitmaps.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

// Rows rasterised at once: a mask never takes more than this many bytes.
constexpr int64_t kBandBytes = 8 << 20;

bool Empty(const RECTL& r) { return r.left >= r.right || r.top >= r.bottom; }

RECTL Meet(const RECTL& a, const RECTL& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

// Where a call may draw: the surface cut by the clip region's bounds.
RECTL Drawable(const DrawingTarget& t) {
  RECTL r = t.SurfaceBounds();
  if (t.state().clip) r = Meet(r, t.state().clip->Bounds());
  return r;
}

// Pixel values of a bitmap and the raster operations on them.
class Pixels {
 public:
  explicit Pixels(const DrawingTarget& t) : so_(*t.surface), layout_(engine::LayoutOf(*t.surface)) {
    int bpp = engine::BitsPerPixel(so_.iBitmapFormat);
    mask_ = bpp >= 24 ? 0x00FFFFFFu : (1u << bpp) - 1;
  }
  // The mix of `rop3` (the source ignored) with a pattern colour at (x, y), at full coverage.
  void Mix(LONG x, LONG y, COLORREF pattern, unsigned rop3) {
    ULONG d = engine::ReadPixel(so_, x, y);
    ULONG p = layout_.PixelOf(pattern);
    engine::WritePixel(so_, x, y, engine::ApplyRop3(rop3, p, 0, d) & mask_);
  }
  // The colour over the pixel at `coverage` of 255.
  void Blend(LONG x, LONG y, COLORREF colour, unsigned coverage) {
    if (coverage >= 255) {
      engine::WritePixel(so_, x, y, layout_.PixelOf(colour));
      return;
    }
    COLORREF d = layout_.ColourOf(engine::ReadPixel(so_, x, y));
    COLORREF out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      unsigned a = (d >> shift) & 0xFF, b = (colour >> shift) & 0xFF;
      out |= ((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
    }
    engine::WritePixel(so_, x, y, layout_.PixelOf(out));
  }

 private:
  SURFOBJ& so_;
  engine::PixelLayout layout_;
  ULONG mask_;
};

// The colour a brush gives each device pixel.
class Paint {
 public:
  Paint(const DrawingTarget& t, engine::EngineBrush* brush) : brush_(brush), origin_(t.state().brushOrg) {
    if (brush_ != nullptr && brush_->IsSolid()) {
      solid_ = true;
      colour_ = engine::BrushColourAt(brush_->get(), origin_, 0, 0);
    }
  }
  COLORREF At(LONG x, LONG y) const {
    if (brush_ == nullptr) return 0;
    return solid_ ? colour_ : engine::BrushColourAt(brush_->get(), origin_, x, y);
  }

 private:
  engine::EngineBrush* brush_;
  POINTL origin_;
  bool solid_ = false;
  COLORREF colour_ = 0;
};

unsigned Rop3OfRop2(int rop2) { return Rop4OfMix(MixOf(rop2)) & 0xFF; }

bool Curved(const DevicePath& path) {
  return std::any_of(path.types.begin(), path.types.end(),
                     [](BYTE t) { return (t & engine::kPathTypeMask) == engine::kPathBezierTo; });
}

void AddToCairo(cairo_t* cr, const DevicePath& path) {
  const auto& p = path.points;
  for (size_t i = 0; i < p.size(); ++i) {
    BYTE type = path.types[i] & engine::kPathTypeMask;
    if (type == engine::kPathMoveTo) {
      cairo_move_to(cr, p[i].x / 16.0, p[i].y / 16.0);
    } else if (type == engine::kPathBezierTo && i + 2 < p.size()) {
      cairo_curve_to(cr, p[i].x / 16.0, p[i].y / 16.0, p[i + 1].x / 16.0, p[i + 1].y / 16.0, p[i + 2].x / 16.0,
                     p[i + 2].y / 16.0);
      i += 2;
    } else {
      cairo_line_to(cr, p[i].x / 16.0, p[i].y / 16.0);
    }
    if (path.types[i] & engine::kPathCloseFigure) cairo_close_path(cr);
  }
}

// The coverage (0..255) of each pixel of `band` by the filled path under the clip, `stride` bytes
// a row; nothing when cairo cannot make the mask.
std::optional<std::vector<uint8_t>> Coverage(const DrawingTarget& t, const DevicePath& path, int fillMode,
                                             const RECTL& band, bool smooth, int* stride) {
  int w = band.right - band.left, h = band.bottom - band.top;
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mask);
    return std::nullopt;
  }
  cairo_t* cr = cairo_create(mask);
  cairo_translate(cr, -band.left, -band.top);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  if (const auto& clip = t.state().clip) {
    for (const RECTL& r : clip->Rects()) {
      RECTL c = Meet(r, band);
      if (!Empty(c)) cairo_rectangle(cr, c.left, c.top, c.right - c.left, c.bottom - c.top);
    }
    cairo_clip(cr);
  }
  cairo_set_antialias(cr, smooth ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_set_fill_rule(cr, fillMode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  AddToCairo(cr, path);
  cairo_fill(cr);
  bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  cairo_surface_flush(mask);
  std::optional<std::vector<uint8_t>> out;
  if (ok) {
    *stride = cairo_image_surface_get_stride(mask);
    const uint8_t* data = cairo_image_surface_get_data(mask);
    out.emplace(data, data + size_t(*stride) * size_t(h));
  }
  cairo_surface_destroy(mask);
  return out;
}

bool FillWith(const DrawingTarget& t, const DevicePath& path, engine::EngineBrush* brush, int fillMode, int rop2) {
  if (path.empty() || rop2 == R2_NOP) return true;
  RECTL b = engine::PathPixelBounds(path);
  RECTL area = Meet({b.left - 1, b.top - 1, b.right + 1, b.bottom + 1}, Drawable(t));
  if (Empty(area)) return true;
  // Bitwise mixes need every pixel wholly in or out: XOR twice must give the page back.
  bool smooth = rop2 == R2_COPYPEN && Curved(path);
  unsigned rop3 = Rop3OfRop2(rop2);
  Pixels pixels(t);
  Paint paint(t, brush);
  LONG width = area.right - area.left;
  LONG bandRows = static_cast<LONG>(std::max<int64_t>(1, kBandBytes / (width + 4)));
  for (LONG top = area.top; top < area.bottom; top += bandRows) {
    RECTL band{area.left, top, area.right, std::min(area.bottom, top + bandRows)};
    int stride = 0;
    auto cover = Coverage(t, path, fillMode, band, smooth, &stride);
    if (!cover) {
      GdiTrace("GDI: cairo could not rasterise a fill of %ldx%ld pixels\n", static_cast<long>(width),
               static_cast<long>(band.bottom - band.top));
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    for (LONG y = band.top; y < band.bottom; ++y) {
      const uint8_t* row = cover->data() + size_t(y - band.top) * size_t(stride);
      for (LONG x = band.left; x < band.right; ++x) {
        unsigned c = row[x - band.left];
        if (c == 0) continue;
        if (rop2 == R2_COPYPEN) pixels.Blend(x, y, paint.At(x, y), c);
        else if (c >= 128) pixels.Mix(x, y, paint.At(x, y), rop3);
      }
    }
  }
  return true;
}

int64_t FloorDiv16(int64_t v) { return v >= 0 ? v / 16 : -((-v + 15) / 16); }

// The dashes of a cosmetic pen in pixels, on and off in turn; empty for a solid line.
std::vector<int64_t> CosmeticDashes(const DrawingTarget& t, const PenObject& pen) {
  if (pen.kind() == PS_ALTERNATE) return {1, 1};
  engine::LineAttrs attrs = LineAttrsOf(pen);
  // A user style counts pixels; the stock styles count steps of about a thirtieth of an inch.
  int64_t unit = pen.kind() == PS_USERSTYLE ? 1 : std::max(1, t.dpiX / 32);
  std::vector<int64_t> dashes;
  int64_t total = 0;
  for (const FLOAT_LONG& v : attrs.style) {
    dashes.push_back(std::max<int64_t>(0, v.l) * unit);
    total += dashes.back();
  }
  if (total <= 0) return {};
  if (dashes.size() % 2 != 0) {
    // An odd count repeats once more so that on and off alternate through the cycle.
    std::vector<int64_t> twice = dashes;
    twice.insert(twice.end(), dashes.begin(), dashes.end());
    dashes = std::move(twice);
  }
  return dashes;
}

// Whether pixel `k` of a styled figure is drawn.
bool DashOn(const std::vector<int64_t>& dashes, int64_t total, int64_t k) {
  if (dashes.empty()) return true;
  int64_t at = k % total;
  for (size_t i = 0; i < dashes.size(); ++i) {
    if (at < dashes[i]) return i % 2 == 0;
    at -= dashes[i];
  }
  return false;
}

// GDI's pixels of a cosmetic line from a to b, the last one left out: along the major axis one
// pixel per whole step, the minor coordinate rounded half away from zero, each coordinate naming
// the pixel whose centre is nearest (halves going right or down).
template <typename Visit>
void LinePixels(POINTFIX a, POINTFIX b, Visit visit) {
  int64_t dx = int64_t(b.x) - a.x, dy = int64_t(b.y) - a.y;
  bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
  int64_t dM = xMajor ? dx : dy, dm = xMajor ? dy : dx;
  int64_t aMajor = xMajor ? a.x : a.y, aMinor = xMajor ? a.y : a.x;
  int sMajor = dM < 0 ? -1 : 1, sMinor = dm < 0 ? -1 : 1;
  int64_t dMajor = dM < 0 ? -dM : dM, dMinor = dm < 0 ? -dm : dm;
  int64_t n = (dMajor + 15) / 16;
  for (int64_t i = 0; i < n; ++i) {
    int64_t major = FloorDiv16(aMajor + sMajor * 16 * i + 8);
    int64_t off = dMajor == 0 ? 0 : (16 * i * dMinor + dMajor / 2) / dMajor;
    int64_t minor = FloorDiv16(aMinor + sMinor * off + 8);
    visit(xMajor ? major : minor, xMajor ? minor : major);
  }
}

bool CosmeticLines(const DrawingTarget& t, const DevicePath& path, const PenObject& pen, int rop2) {
  RECTL area = Drawable(t);
  if (Empty(area) || rop2 == R2_NOP) return true;
  engine::EngineBrush* brush = EngineBrushFor(t, *pen.brush);
  if (brush == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  Paint paint(t, brush);
  Pixels pixels(t);
  unsigned rop3 = Rop3OfRop2(rop2);
  const auto& clip = t.state().clip;
  std::vector<int64_t> dashes = CosmeticDashes(t, pen);
  int64_t total = 0;
  for (int64_t d : dashes) total += d;
  engine::PathPoints flat = engine::FlattenPath(path);
  const auto& p = flat.points;
  int64_t k = 0;  // pixels of the figure so far, for its style
  auto plot = [&](int64_t x, int64_t y) {
    bool on = DashOn(dashes, total, k++);
    if (!on || x < area.left || x >= area.right || y < area.top || y >= area.bottom) return;
    auto px = static_cast<LONG>(x), py = static_cast<LONG>(y);
    if (clip && !clip->Contains(px, py)) return;
    pixels.Mix(px, py, paint.At(px, py), rop3);
  };
  size_t start = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    BYTE type = flat.types[i] & engine::kPathTypeMask;
    if (type == engine::kPathMoveTo) {
      start = i;
      k = 0;
    } else {
      LinePixels(p[i - 1], p[i], plot);
    }
    if ((flat.types[i] & engine::kPathCloseFigure) && i > start) {
      LinePixels(p[i], p[start], plot);
    }
  }
  return true;
}

}  // namespace

bool FillPathInMemory(const DrawingTarget& t, const DevicePath& path, BrushObject& brush, int fillMode, int rop2) {
  engine::EngineBrush* eb = EngineBrushFor(t, brush);
  if (eb == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return FillWith(t, path, eb, fillMode, rop2);
}

bool StrokePathInMemory(const DrawingTarget& t, const DevicePath& path, const PenObject& pen, int rop2) {
  if (path.empty()) return true;
  if (!pen.geometric) return CosmeticLines(t, path, pen, rop2);
  engine::LineAttrs attrs = LineAttrsOf(pen);
  Matrix m = t.state().ToDevice();
  XFORML toDevice{static_cast<FLOATL>(m.m11), static_cast<FLOATL>(m.m12), static_cast<FLOATL>(m.m21),
                  static_cast<FLOATL>(m.m22), static_cast<FLOATL>(m.dx),  static_cast<FLOATL>(m.dy)};
  auto outline = engine::WidenPath(path, *attrs.get(), &toDevice);
  if (!outline) {
    GdiTrace("GDI: a stroke into a memory DC could not be widened\n");
    SetLastError(ERROR_CAN_NOT_COMPLETE);
    return false;
  }
  return FillPathInMemory(t, *outline, *pen.brush, WINDING, rop2);
}

bool BlitRectInMemory(const DrawingTarget& t, const RECTL& rect, BrushObject* brush, BYTE rop3) {
  RECTL r = {std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
             std::max(rect.top, rect.bottom)};
  r = Meet(r, t.SurfaceBounds());
  if (Empty(r)) return true;
  engine::EngineBrush* eb = nullptr;
  if (brush != nullptr && (eb = EngineBrushFor(t, *brush)) == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  engine::Region area(r);
  if (t.state().clip) area.Intersect(*t.state().clip);
  Paint paint(t, eb);
  Pixels pixels(t);
  for (const RECTL& part : area.Rects())
    for (LONG y = part.top; y < part.bottom; ++y)
      for (LONG x = part.left; x < part.right; ++x) pixels.Mix(x, y, paint.At(x, y), rop3);
  return true;
}

}  // namespace platform::gdi
