// Pixels of engine bitmaps and what their values mean, and painting a surface pixel by pixel: the
// engine's own rendering, used by its fallbacks and by blits the driver leaves to the engine.
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "engine/device_table.h"
#include "engine/engine_internal.h"
#include "platform/engine_bitmaps.h"

namespace platform::engine {

int BitsPerPixel(ULONG format) {
  static constexpr int kBits[] = {0, 1, 4, 8, 16, 24, 32};
  return format >= BMF_1BPP && format <= BMF_32BPP ? kBits[format] : 0;
}

namespace {

BYTE* RowOf(const SURFOBJ& so, LONG y) {
  return static_cast<BYTE*>(so.pvScan0) + static_cast<ptrdiff_t>(y) * so.lDelta;
}

}  // namespace

ULONG ReadPixel(const SURFOBJ& so, LONG x, LONG y) {
  const BYTE* row = RowOf(so, y);
  switch (so.iBitmapFormat) {
    case BMF_1BPP: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case BMF_4BPP: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case BMF_8BPP: return row[x];
    case BMF_16BPP: return row[x * 2] | (ULONG(row[x * 2 + 1]) << 8);
    case BMF_24BPP: return row[x * 3] | (ULONG(row[x * 3 + 1]) << 8) | (ULONG(row[x * 3 + 2]) << 16);
    case BMF_32BPP: {
      ULONG v;
      std::memcpy(&v, row + size_t(x) * 4, 4);
      return v;
    }
    default: return 0;
  }
}

void WritePixel(SURFOBJ& so, LONG x, LONG y, ULONG value) {
  BYTE* row = RowOf(so, y);
  switch (so.iBitmapFormat) {
    case BMF_1BPP: {
      BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<BYTE>((value & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case BMF_4BPP: {
      BYTE& b = row[x >> 1];
      b = static_cast<BYTE>((x & 1) ? (b & 0xF0) | (value & 0x0F) : (b & 0x0F) | ((value & 0x0F) << 4));
      break;
    }
    case BMF_8BPP: row[x] = static_cast<BYTE>(value); break;
    case BMF_16BPP:
      row[x * 2] = static_cast<BYTE>(value);
      row[x * 2 + 1] = static_cast<BYTE>(value >> 8);
      break;
    case BMF_24BPP:
      row[x * 3] = static_cast<BYTE>(value);
      row[x * 3 + 1] = static_cast<BYTE>(value >> 8);
      row[x * 3 + 2] = static_cast<BYTE>(value >> 16);
      break;
    case BMF_32BPP: std::memcpy(row + size_t(x) * 4, &value, 4); break;
    default: break;
  }
}

ULONG ChannelOf(ULONG pixel, ULONG mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  ULONG v = (pixel & mask) >> shift;
  if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
  ULONG max = (1u << bits) - 1;
  return (v * 255 + max / 2) / max;
}

ULONG PackChannel(ULONG value8, ULONG mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  ULONG v = bits >= 8 ? (value8 & 0xFF) << (bits - 8) : ((value8 & 0xFF) * ((1u << bits) - 1) + 127) / 255;
  return (v << shift) & mask;
}

void PixelLayout::Masks(ULONG* red, ULONG* green, ULONG* blue) const {
  *red = *green = *blue = 0;
  if (format == BMF_16BPP || format == BMF_32BPP) {
    if (redMask | greenMask | blueMask) {
      *red = redMask, *green = greenMask, *blue = blueMask;
    } else if (format == BMF_16BPP) {
      *red = 0x7C00, *green = 0x03E0, *blue = 0x001F;
    } else {
      *red = 0xFF0000, *green = 0x00FF00, *blue = 0x0000FF;
    }
  }
}

COLORREF PixelLayout::ColourOf(ULONG pixel) const {
  if (format <= BMF_8BPP) return pixel < palette.size() ? palette[pixel] & 0x00FFFFFF : 0;
  if (format == BMF_24BPP) return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
  ULONG r, g, b;
  Masks(&r, &g, &b);
  return ChannelOf(pixel, r) | (ChannelOf(pixel, g) << 8) | (ChannelOf(pixel, b) << 16);
}

ULONG PixelLayout::PixelOf(COLORREF colour) const {
  ULONG red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
  if (format <= BMF_8BPP) {
    ULONG best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
      long dr = long(palette[i] & 0xFF) - long(red), dg = long((palette[i] >> 8) & 0xFF) - long(green),
           db = long((palette[i] >> 16) & 0xFF) - long(blue);
      long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = static_cast<ULONG>(i);
    }
    return best;
  }
  if (format == BMF_24BPP) return (red << 16) | (green << 8) | blue;
  ULONG r, g, b;
  Masks(&r, &g, &b);
  return PackChannel(red, r) | PackChannel(green, g) | PackChannel(blue, b);
}

EngineXlate PixelLayout::Xlate() const {
  if (format <= BMF_8BPP) return EngineXlate::Indexed(std::vector<ULONG>(palette.begin(), palette.end()));
  if (format == BMF_24BPP) return EngineXlate::FromBgr();
  ULONG r, g, b;
  Masks(&r, &g, &b);
  if (format == BMF_32BPP && r == 0xFF0000 && g == 0x00FF00 && b == 0x0000FF) return EngineXlate::FromBgr();
  return EngineXlate::FromMasks(r, g, b);
}

PixelLayout DefaultLayout(ULONG format) {
  PixelLayout l;
  l.format = format;
  int bits = BitsPerPixel(format);
  if (bits >= 1 && bits <= 8) {
    size_t n = size_t{1} << bits;
    for (size_t i = 0; i < n; ++i) {
      auto v = static_cast<BYTE>(i * 255 / (n - 1));
      l.palette.push_back(v | (COLORREF(v) << 8) | (COLORREF(v) << 16));
    }
  }
  return l;
}

PixelLayout LayoutOf(const SURFOBJ& so) {
  PixelLayout l = DefaultLayout(so.iBitmapFormat);
  if (auto s = FindSurface(so.hsurf)) {
    if (!s->palette.empty()) l.palette = s->palette;
    l.redMask = s->masks[0], l.greenMask = s->masks[1], l.blueMask = s->masks[2];
  }
  return l;
}

bool SetSurfaceLayout(HSURF hsurf, const PixelLayout& layout) {
  auto s = FindSurface(hsurf);
  if (!s) return false;
  s->palette = layout.palette;
  s->masks[0] = layout.redMask, s->masks[1] = layout.greenMask, s->masks[2] = layout.blueMask;
  return UpdateSurface(hsurf, *s);
}

COLORREF XlateColour(XLATEOBJ* xlo, ULONG pixel) {
  if (xlo == nullptr || (xlo->flXlate & XO_TRIVIAL)) return pixel & 0x00FFFFFF;
  return XLATEOBJ_iXlate(xlo, pixel) & 0x00FFFFFF;
}

std::optional<ScratchBitmap> ScratchBitmap::Create(LONG width, LONG height, ULONG format, bool topDown) {
  if (width <= 0 || height <= 0) return std::nullopt;
  HBITMAP bm = EngCreateBitmap(SIZEL{width, height}, 0, format, topDown ? BMF_TOPDOWN : 0, nullptr);
  if (bm == nullptr) return std::nullopt;
  auto hsurf = reinterpret_cast<HSURF>(bm);
  SURFOBJ* so = EngLockSurface(hsurf);
  if (so == nullptr) {
    EngDeleteSurface(hsurf);
    return std::nullopt;
  }
  return ScratchBitmap(hsurf, so);
}

ScratchBitmap::~ScratchBitmap() {
  if (so_ != nullptr) EngUnlockSurface(so_);
  if (hsurf_ != nullptr) EngDeleteSurface(hsurf_);
}

ScratchBitmap::ScratchBitmap(ScratchBitmap&& other) noexcept
    : hsurf_(std::exchange(other.hsurf_, nullptr)), so_(std::exchange(other.so_, nullptr)) {}

BOOL PaintPixels(SURFOBJ* target, CLIPOBJ* pco, const RECTL& bounds, const Region* only, const PixelPainter& paint) {
  if (target == nullptr) return FALSE;
  RECTL surface{0, 0, target->sizlBitmap.cx, target->sizlBitmap.cy};
  Region area = ClipRegion(pco, bounds);
  area.Intersect(Region(surface));
  if (only != nullptr) area.Intersect(*only);
  if (area.IsEmpty()) return TRUE;
  if (target->iType == STYPE_BITMAP) {
    PixelLayout layout = LayoutOf(*target);
    for (const RECTL& r : area.Rects()) {
      for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
          auto c = paint(x, y, layout.ColourOf(ReadPixel(*target, x, y)));
          if (c) WritePixel(*target, x, y, layout.PixelOf(*c));
        }
      }
    }
    return TRUE;
  }
  // A device surface: render, then hand the touched pixels to the driver as a bitmap.
  auto surfaceRecord = FindSurface(target->hsurf);
  auto device = surfaceRecord ? FindDevice(surfaceRecord->hdev) : std::nullopt;
  if (!device || device->copyBits == nullptr) return FALSE;
  // A driver whose DrvCopyBits hands the copy back to the engine would come round again.
  static thread_local int depth = 0;
  if (depth > 0) return FALSE;
  struct Depth {
    Depth() { ++depth; }
    ~Depth() { --depth; }
  } inCall;
  RECTL box = area.Bounds();
  auto scratch = ScratchBitmap::Create(box.right - box.left, box.bottom - box.top);
  if (!scratch) return FALSE;
  std::vector<RECTL> touched;
  for (const RECTL& r : area.Rects()) {
    for (LONG y = r.top; y < r.bottom; ++y) {
      LONG runStart = -1;
      for (LONG x = r.left; x <= r.right; ++x) {
        std::optional<COLORREF> c;
        if (x < r.right) c = paint(x, y, 0x00FFFFFF);
        if (c) {
          ULONG bgr = ((*c & 0xFF) << 16) | (*c & 0xFF00) | ((*c >> 16) & 0xFF);
          WritePixel(*scratch->get(), x - box.left, y - box.top, bgr);
          if (runStart < 0) runStart = x;
        } else if (runStart >= 0) {
          touched.push_back(RECTL{runStart, y, x, y + 1});
          runStart = -1;
        }
      }
    }
  }
  Region painted = Region::FromRects(touched);
  if (painted.IsEmpty()) return TRUE;
  EngineClip clip(&painted, surface, box);
  EngineXlate xlate = EngineXlate::FromBgr();
  POINTL origin{0, 0};
  return device->copyBits(target, scratch->get(), clip.get(), xlate.get(), &box, &origin);
}

COLORREF BrushColourAt(BRUSHOBJ* pbo, POINTL origin, LONG x, LONG y) {
  if (pbo == nullptr) return 0;
  if (pbo->iSolidColor != 0xFFFFFFFF) return pbo->iSolidColor & 0x00FFFFFF;
  SURFOBJ* pattern = nullptr;
  XLATEOBJ* xlo = nullptr;
  if (!BrushPattern(pbo, &pattern, &xlo) || pattern == nullptr || pattern->sizlBitmap.cx <= 0 ||
      pattern->sizlBitmap.cy <= 0)
    return 0;
  LONG w = pattern->sizlBitmap.cx, h = pattern->sizlBitmap.cy;
  LONG px = ((x - origin.x) % w + w) % w, py = ((y - origin.y) % h + h) % h;
  return XlateColour(xlo, ReadPixel(*pattern, px, py));
}

}  // namespace platform::engine
