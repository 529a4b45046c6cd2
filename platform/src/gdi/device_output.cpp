// The drawing hooks and the engine's fallback chain. A stroke goes to DrvStrokePath; refused (a
// geometric pen, for a printer driver), it is widened into an outline and filled with the winding
// rule. A fill goes to DrvFillPath; refused (a complex clip), it is rasterised at device
// resolution, cut by the clip, and painted through DrvBitBlt as a pattern fill clipped to that
// region. A hook is called only when the driver hooked it on its surface.
#include "device_output.h"

#include <algorithm>
#include <cmath>

#include "gdi_trace.h"
#include "memory_dc_render.h"

namespace platform::gdi {
namespace {

// Style units of the cosmetic styles; geometric pens use them in multiples of their width.
const std::vector<LONG>& StyleOf(UINT kind) {
  static const std::vector<LONG> none, dash{3, 1}, dot{1, 1}, dashDot{3, 1, 1, 1}, dashDotDot{3, 1, 1, 1, 1, 1};
  switch (kind) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashDot;
    case PS_DASHDOTDOT: return dashDotDot;
    default: return none;
  }
}

XFORML XformOf(const Matrix& m) {
  return {static_cast<FLOATL>(m.m11), static_cast<FLOATL>(m.m12), static_cast<FLOATL>(m.m21),
          static_cast<FLOATL>(m.m22), static_cast<FLOATL>(m.dx),  static_cast<FLOATL>(m.dy)};
}

ULONG ColourOf(COLORREF c) { return c & 0x00FFFFFF; }

}  // namespace

// The engine brush of this device for a GDI brush, bound to the driver's DrvRealizeBrush.
engine::EngineBrush* EngineBrushFor(const DrawingTarget& t, BrushObject& brush) {
  std::lock_guard g(brush.lock);
  const COLORREF fore = ColourOf(t.state().textColor), back = ColourOf(t.state().bkColor);
  auto& slot = brush.monochrome ? brush.monochromeBrushes[{t.pdevSerial, fore, back}]
                                : brush.engineBrushes[t.pdevSerial];
  if (slot == nullptr) {
    if (brush.style == BS_HATCHED) {
      slot = std::make_unique<engine::EngineBrush>(engine::EngineBrush::Hatch(brush.hatch, ColourOf(brush.color)));
    } else if (brush.style == BS_PATTERN) {
      engine::PatternBits bits;
      switch (brush.bitCount) {
        case 1: bits.format = BMF_1BPP; break;
        case 4: bits.format = BMF_4BPP; break;
        case 8: bits.format = BMF_8BPP; break;
        case 16: bits.format = BMF_16BPP; break;
        case 24: bits.format = BMF_24BPP; break;
        default: bits.format = BMF_32BPP; break;
      }
      bits.width = brush.width;
      bits.height = brush.height;
      bits.stride = brush.stride;
      bits.bits = brush.bits;
      bits.palette = brush.palette;
      if (brush.monochrome) bits.palette = {fore, back};
      auto pattern = engine::EngineBrush::Pattern(bits);
      if (!pattern) {
        GdiTrace("GDI: a pattern brush of %dx%d at %d bpp has no usable bits\n", brush.width, brush.height,
                 brush.bitCount);
        if (brush.monochrome)
          brush.monochromeBrushes.erase({t.pdevSerial, fore, back});
        else
          brush.engineBrushes.erase(t.pdevSerial);
        return nullptr;
      }
      slot = std::make_unique<engine::EngineBrush>(std::move(*pattern));
    } else {
      slot = std::make_unique<engine::EngineBrush>(engine::EngineBrush::Solid(ColourOf(brush.color)));
    }
    slot->BindDriver(t.surface, t.driver != nullptr ? t.driver->Hook<PFN_DrvRealizeBrush>(INDEX_DrvRealizeBrush) : nullptr);
  }
  return slot.get();
}

namespace {

// How far a stroke reaches beyond its path, in device pixels.
LONG StrokeMargin(const DrawingTarget& t, const PenObject& pen) {
  if (!pen.geometric) return 2;
  Matrix m = t.state().ToDevice();
  double scale = std::sqrt(std::fabs(m.Determinant()));
  double half = std::max<LONG>(pen.width, 1) * scale / 2;
  // A miter may reach out to half the miter limit times the width.
  if ((pen.style & PS_JOIN_MASK) == PS_JOIN_MITER) half *= 10;
  else if ((pen.style & PS_ENDCAP_MASK) == PS_ENDCAP_SQUARE) half *= 1.5;
  return static_cast<LONG>(std::ceil(half)) + 2;
}

RECTL Grow(RECTL r, LONG by) { return {r.left - by, r.top - by, r.right + by, r.bottom + by}; }

bool Hooked(const DrawingTarget& t, FLONG hook) { return (t.hooks & hook) != 0; }

FLONG FillOptions(int fillMode) { return fillMode == WINDING ? FP_WINDINGMODE : FP_ALTERNATEMODE; }

// Paints `area` with the brush through DrvBitBlt, the region as the call's clip.
bool BlitRegion(const DrawingTarget& t, const engine::Region& area, BrushObject* brush, ROP4 rop4) {
  if (area.IsEmpty()) return true;
  auto blt = t.driver->Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt);
  if (!Hooked(t, HOOK_BITBLT) || blt == nullptr) return false;
  RECTL bounds = area.Bounds();
  engine::EngineClip clip(&area, t.SurfaceBounds(), bounds);
  if (clip.IsEmpty()) return true;
  engine::EngineBrush* eb = brush != nullptr ? EngineBrushFor(t, *brush) : nullptr;
  if (brush != nullptr && eb == nullptr) return false;
  POINTL origin = t.state().brushOrg;
  return blt(t.surface, nullptr, nullptr, clip.get(), nullptr, &bounds, nullptr, nullptr,
             eb != nullptr ? eb->get() : nullptr, &origin, rop4) != FALSE;
}

}  // namespace

MIX MixOf(int rop2) { return static_cast<MIX>(rop2) | (static_cast<MIX>(rop2) << 8); }

ROP4 Rop4OfMix(MIX mix) {
  // Bit (pen·2 + destination) of rop2 − 1 is the result for those inputs; a ROP3 indexes its bits
  // by pattern·4 + source·2 + destination, and the source plays no part.
  unsigned truth = ((mix & 0xFF) - 1) & 0xF;
  unsigned rop3 = 0;
  for (unsigned p = 0; p < 2; ++p)
    for (unsigned s = 0; s < 2; ++s)
      for (unsigned d = 0; d < 2; ++d)
        if ((truth >> (p * 2 + d)) & 1) rop3 |= 1u << (p * 4 + s * 2 + d);
  return rop3 | (rop3 << 8);
}

int Rop2OfRop3(BYTE rop3) {
  unsigned truth = 0;
  for (unsigned p = 0; p < 2; ++p) {
    for (unsigned d = 0; d < 2; ++d) {
      bool withoutSource = (rop3 >> (p * 4 + d)) & 1;
      bool withSource = (rop3 >> (p * 4 + 2 + d)) & 1;
      if (withoutSource != withSource) return 0;
      if (withoutSource) truth |= 1u << (p * 2 + d);
    }
  }
  return static_cast<int>(truth) + 1;
}

engine::LineAttrs LineAttrsOf(const PenObject& pen) {
  UINT kind = pen.kind();
  if (!pen.geometric) {
    if (kind == PS_USERSTYLE) {
      std::vector<LONG> units(pen.userStyle.begin(), pen.userStyle.end());
      return engine::LineAttrs::Cosmetic(std::move(units));
    }
    return engine::LineAttrs::Cosmetic(StyleOf(kind), kind == PS_ALTERNATE);
  }
  ULONG join = JOIN_ROUND, cap = ENDCAP_ROUND;
  switch (pen.style & PS_JOIN_MASK) {
    case PS_JOIN_BEVEL: join = JOIN_BEVEL; break;
    case PS_JOIN_MITER: join = JOIN_MITER; break;
    default: break;
  }
  switch (pen.style & PS_ENDCAP_MASK) {
    case PS_ENDCAP_SQUARE: cap = ENDCAP_SQUARE; break;
    case PS_ENDCAP_FLAT: cap = ENDCAP_BUTT; break;
    default: break;
  }
  auto width = static_cast<FLOATL>(std::max<LONG>(pen.width, 1));
  std::vector<FLOATL> style;
  if (kind == PS_USERSTYLE) {
    for (DWORD v : pen.userStyle) style.push_back(static_cast<FLOATL>(v));
  } else {
    for (LONG v : StyleOf(kind)) style.push_back(static_cast<FLOATL>(v) * width);
  }
  return engine::LineAttrs::Geometric(width, join, cap, 10.0f, std::move(style));
}

bool FillPathOnDevice(const DrawingTarget& t, const DevicePath& path, BrushObject& brush, int fillMode, MIX mix) {
  if (path.empty()) return true;
  if (t.memory) return FillPathInMemory(t, path, brush, fillMode, static_cast<int>(mix & 0xFF));
  const DcState& s = t.state();
  engine::EngineClip clip(s.clip ? &*s.clip : nullptr, t.SurfaceBounds(), engine::PathPixelBounds(path));
  if (clip.IsEmpty()) return true;
  engine::EngineBrush* eb = EngineBrushFor(t, brush);
  if (eb == nullptr) return false;
  auto fill = t.driver->Hook<PFN_DrvFillPath>(INDEX_DrvFillPath);
  if (Hooked(t, HOOK_FILLPATH) && fill != nullptr) {
    engine::EnginePath po(path);
    POINTL origin = s.brushOrg;
    if (fill(t.surface, po.get(), clip.get(), eb->get(), &origin, mix, FillOptions(fillMode))) return true;
  }
  engine::Region area = engine::RasterizePath(path, fillMode, t.SurfaceBounds());
  if (s.clip) area.Intersect(*s.clip);
  return BlitRegion(t, area, &brush, Rop4OfMix(mix));
}

bool StrokePathOnDevice(const DrawingTarget& t, const DevicePath& path, const PenObject& pen, MIX mix) {
  if (path.empty()) return true;
  if (t.memory) return StrokePathInMemory(t, path, pen, static_cast<int>(mix & 0xFF));
  const DcState& s = t.state();
  engine::EngineClip clip(s.clip ? &*s.clip : nullptr, t.SurfaceBounds(),
                          Grow(engine::PathPixelBounds(path), StrokeMargin(t, pen)));
  if (clip.IsEmpty()) return true;
  engine::EngineBrush* eb = EngineBrushFor(t, *pen.brush);
  if (eb == nullptr) return false;
  engine::LineAttrs attrs = LineAttrsOf(pen);
  XFORML toDevice = XformOf(s.ToDevice());
  auto stroke = t.driver->Hook<PFN_DrvStrokePath>(INDEX_DrvStrokePath);
  if (Hooked(t, HOOK_STROKEPATH) && stroke != nullptr) {
    engine::EnginePath po(path);
    engine::EngineXform xo(toDevice);
    POINTL origin = s.brushOrg;
    if (stroke(t.surface, po.get(), clip.get(), xo.get(), eb->get(), &origin, attrs.get(), mix)) return true;
  }
  auto outline = engine::WidenPath(path, *attrs.get(), &toDevice);
  if (!outline) {
    GdiTrace("GDI: a stroke the driver refused could not be widened\n");
    return false;
  }
  return FillPathOnDevice(t, *outline, *pen.brush, WINDING, mix);
}

bool StrokeAndFillPathOnDevice(const DrawingTarget& t, const DevicePath& path, const PenObject& pen,
                               BrushObject& brush, int fillMode, MIX mix) {
  if (path.empty()) return true;
  if (t.memory) {
    bool filled = FillPathInMemory(t, path, brush, fillMode, static_cast<int>(mix & 0xFF));
    return StrokePathInMemory(t, path, pen, static_cast<int>(mix & 0xFF)) && filled;
  }
  const DcState& s = t.state();
  auto both = t.driver->Hook<PFN_DrvStrokeAndFillPath>(INDEX_DrvStrokeAndFillPath);
  if (Hooked(t, HOOK_STROKEANDFILLPATH) && both != nullptr) {
    engine::EngineClip clip(s.clip ? &*s.clip : nullptr, t.SurfaceBounds(),
                            Grow(engine::PathPixelBounds(path), StrokeMargin(t, pen)));
    if (clip.IsEmpty()) return true;
    engine::EngineBrush* penBrush = EngineBrushFor(t, *pen.brush);
    engine::EngineBrush* fillBrush = EngineBrushFor(t, brush);
    if (penBrush != nullptr && fillBrush != nullptr) {
      engine::LineAttrs attrs = LineAttrsOf(pen);
      engine::EnginePath po(path);
      engine::EngineXform xo(XformOf(s.ToDevice()));
      POINTL origin = s.brushOrg;
      if (both(t.surface, po.get(), clip.get(), xo.get(), penBrush->get(), attrs.get(), fillBrush->get(), &origin,
               mix, FillOptions(fillMode)))
        return true;
    }
  }
  bool filled = FillPathOnDevice(t, path, brush, fillMode, mix);
  bool stroked = StrokePathOnDevice(t, path, pen, mix);
  return filled && stroked;
}

bool BlitRectOnDevice(const DrawingTarget& t, const RECTL& rect, BrushObject* brush, ROP4 rop4) {
  if (t.memory) return BlitRectInMemory(t, rect, brush, static_cast<BYTE>(rop4 & 0xFF));
  const DcState& s = t.state();
  RECTL r = {std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
             std::max(rect.top, rect.bottom)};
  if (r.left == r.right || r.top == r.bottom) return true;
  engine::EngineClip clip(s.clip ? &*s.clip : nullptr, t.SurfaceBounds(), r);
  if (clip.IsEmpty()) return true;
  auto blt = t.driver->Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt);
  if (!Hooked(t, HOOK_BITBLT) || blt == nullptr) return false;
  engine::EngineBrush* eb = brush != nullptr ? EngineBrushFor(t, *brush) : nullptr;
  if (brush != nullptr && eb == nullptr) return false;
  POINTL origin = s.brushOrg;
  return blt(t.surface, nullptr, nullptr, clip.get(), nullptr, &r, nullptr, nullptr, eb != nullptr ? eb->get() : nullptr,
             &origin, rop4) != FALSE;
}

}  // namespace platform::gdi
