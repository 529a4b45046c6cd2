// Blits, DIBs drawn to a device, transparent blits and gradients. On a printer device context
// each reaches the driver's hook with the bitmap's SURFOBJ, its XLATEOBJ, the call's CLIPOBJ, the
// rectangles and the ROP4, as the engine calls them: SRCCOPY at the same size goes to DrvCopyBits,
// other operations to DrvBitBlt, a change of size to DrvStretchBlt. What the driver did not hook
// goes to the engine's own implementation (EngBitBlt and friends), which renders into a bitmap and
// returns it through DrvCopyBits. A memory device context is drawn into by the engine directly.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "device_output.h"
#include "gdi_bitmaps.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

BOOL Invalid() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

// Where a blit draws: a printer's page or a memory DC's bitmap.
struct Destination {
  DrawingTarget t;
  std::shared_ptr<MemoryDc> memory;
};

std::optional<Destination> DestinationOf(HDC hdc) {
  Destination d;
  if (auto mem = FindMemoryDc(hdc)) {
    d.t.graphics = &mem->graphics;
    d.t.surface = mem->bitmap->surface;
    d.t.inPage = true;
    d.t.keep = mem;
    d.memory = std::move(mem);
    return d;
  }
  auto t = FindDrawingTarget(hdc);
  if (!t) return std::nullopt;
  d.t = std::move(*t);
  return d;
}

template <typename Fn>
Fn HookOf(const DrawingTarget& t, ULONG index, FLONG hook) {
  if (t.driver == nullptr || (t.hooks & hook) == 0) return nullptr;
  return t.driver->Hook<Fn>(index);
}

bool UsesSource(unsigned rop3) { return (((rop3 >> 2) ^ rop3) & 0x33) != 0; }
bool UsesPattern(unsigned rop3) { return (((rop3 >> 4) ^ rop3) & 0x0F) != 0; }

// A logical rectangle on the device; the edges keep their order, so a mirrored one stays swapped.
RECTL DeviceRect(const DcState& s, int x, int y, int width, int height) {
  Matrix m = s.ToDevice();
  double ax, ay, bx, by;
  m.Apply(x, y, &ax, &ay);
  m.Apply(double(x) + width, double(y) + height, &bx, &by);
  return {static_cast<LONG>(std::lround(ax)), static_cast<LONG>(std::lround(ay)), static_cast<LONG>(std::lround(bx)),
          static_cast<LONG>(std::lround(by))};
}

RECTL Ordered(const RECTL& r) {
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

// The source as the hooks see it: a bitmap's SURFOBJ and the translation of its colours.
struct Source {
  std::shared_ptr<BitmapObject> bitmap;
  RECTL rect{};  // in the bitmap, ordered
};

// Same size, unmirrored: the destination and source rectangles cut to the source bitmap.
bool CutToSource(RECTL& dst, RECTL& src, const BitmapObject& b) {
  LONG dx = dst.left - src.left, dy = dst.top - src.top;
  src = {std::max(src.left, LONG{0}), std::max(src.top, LONG{0}), std::min(src.right, b.width()),
         std::min(src.bottom, b.height())};
  if (src.left >= src.right || src.top >= src.bottom) return false;
  dst = {src.left + dx, src.top + dy, src.right + dx, src.bottom + dy};
  return true;
}

// The source stretched (nearest pixel, mirrored by the destination's edge order) to the
// destination's size, as a 32-bit bitmap of colours.
std::shared_ptr<BitmapObject> Stretched(const BitmapObject& b, const RECTL& src, const RECTL& dst) {
  RECTL box = Ordered(dst);
  LONG dw = box.right - box.left, dh = box.bottom - box.top, sw = src.right - src.left, sh = src.bottom - src.top;
  auto out = NewBitmap(dw, dh, 32, true, engine::DefaultLayout(BMF_32BPP));
  if (out == nullptr || sw <= 0 || sh <= 0) return nullptr;
  bool flipX = dst.left > dst.right, flipY = dst.top > dst.bottom;
  for (LONG y = 0; y < dh; ++y) {
    LONG sy = src.top + static_cast<LONG>(int64_t(flipY ? dh - 1 - y : y) * sh / dh);
    for (LONG x = 0; x < dw; ++x) {
      LONG sx = src.left + static_cast<LONG>(int64_t(flipX ? dw - 1 - x : x) * sw / dw);
      ULONG v = 0;
      if (sx >= 0 && sy >= 0 && sx < b.width() && sy < b.height()) {
        COLORREF c = b.layout.ColourOf(engine::ReadPixel(*b.surface, sx, sy));
        v = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
      }
      engine::WritePixel(*out->surface, x, y, v);
    }
  }
  return out;
}

// The blit itself, once the destination rectangle is on the device.
BOOL Blit(const DrawingTarget& t, RECTL dst, const Source& source, const BitmapObject* mask, POINTL maskAt,
          ROP4 rop4) {
  if (!t.inPage) return TRUE;
  DcState& s = t.state();
  unsigned fore = rop4 & 0xFF, back = (rop4 >> 8) & 0xFF;
  bool withSource = UsesSource(fore) || UsesSource(back);
  bool withPattern = UsesPattern(fore) || UsesPattern(back);
  if (!withSource && mask == nullptr) {
    BrushObject* brush = withPattern && s.brush->style != BS_NULL ? s.brush.get() : nullptr;
    if (withPattern && brush == nullptr) return TRUE;
    if (t.driver != nullptr && BlitRectOnDevice(t, dst, brush, rop4)) return TRUE;
  }
  RECTL box = Ordered(dst);
  if (box.left == box.right || box.top == box.bottom) return TRUE;
  const BitmapObject* src = source.bitmap.get();
  RECTL srcRect = source.rect;
  std::shared_ptr<BitmapObject> stretched;
  LONG dw = box.right - box.left, dh = box.bottom - box.top;
  bool sameSize = dst.left < dst.right && dst.top < dst.bottom && srcRect.right - srcRect.left == dw &&
                  srcRect.bottom - srcRect.top == dh;
  engine::EngineXlate xlate = src != nullptr ? src->layout.Xlate() : engine::EngineXlate::Identity();
  if (src != nullptr && !sameSize) {
    auto stretch = HookOf<PFN_DrvStretchBlt>(t, INDEX_DrvStretchBlt, HOOK_STRETCHBLT);
    if (rop4 == 0xCCCC && mask == nullptr && stretch != nullptr) {
      engine::EngineClip clip(s.clip ? &*s.clip : nullptr, t.SurfaceBounds(), box);
      if (clip.IsEmpty()) return TRUE;
      POINTL origin{0, 0};
      return stretch(t.surface, src->surface, nullptr, clip.get(), xlate.get(), nullptr, &origin, &dst, &srcRect,
                     nullptr, static_cast<ULONG>(s.stretchMode));
    }
    stretched = Stretched(*src, srcRect, dst);
    if (stretched == nullptr) return FALSE;
    src = stretched.get();
    srcRect = {0, 0, dw, dh};
    xlate = src->layout.Xlate();
  } else if (src != nullptr) {
    dst = box;
    if (!CutToSource(box, srcRect, *src)) return TRUE;
  }
  engine::EngineClip clip(s.clip ? &*s.clip : nullptr, t.SurfaceBounds(), box);
  if (clip.IsEmpty()) return TRUE;
  POINTL srcAt{srcRect.left, srcRect.top};
  POINTL brushOrg = s.brushOrg;
  engine::EngineBrush* eb = nullptr;
  if (withPattern && s.brush->style != BS_NULL) eb = EngineBrushFor(t, *s.brush);
  BRUSHOBJ* pbo = eb != nullptr ? eb->get() : nullptr;
  SURFOBJ* srcSo = src != nullptr ? src->surface : nullptr;
  SURFOBJ* maskSo = mask != nullptr ? mask->surface : nullptr;
  if (rop4 == 0xCCCC && mask == nullptr) {
    if (auto copy = HookOf<PFN_DrvCopyBits>(t, INDEX_DrvCopyBits, HOOK_COPYBITS))
      return copy(t.surface, srcSo, clip.get(), xlate.get(), &box, &srcAt);
  }
  if (auto blt = HookOf<PFN_DrvBitBlt>(t, INDEX_DrvBitBlt, HOOK_BITBLT))
    return blt(t.surface, srcSo, maskSo, clip.get(), withSource ? xlate.get() : nullptr, &box,
               withSource ? &srcAt : nullptr, mask != nullptr ? &maskAt : nullptr, pbo, &brushOrg, rop4);
  return EngBitBlt(t.surface, srcSo, maskSo, clip.get(), xlate.get(), &box, &srcAt, &maskAt, pbo, &brushOrg, rop4);
}

// The source rectangle of a memory DC, in its bitmap's pixels.
std::optional<Source> SourceOf(HDC hdc, int x, int y, int width, int height) {
  auto mem = FindMemoryDc(hdc);
  if (mem == nullptr) return std::nullopt;
  Source s;
  s.bitmap = mem->bitmap;
  s.rect = Ordered(DeviceRect(mem->graphics.state, x, y, width, height));
  return s;
}

template <typename Fn>
auto Guard(Fn fn) -> decltype(fn()) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

}  // namespace
}  // namespace platform::gdi

using namespace platform::gdi;
namespace engine = platform::engine;

extern "C" {

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                int srcHeight, DWORD rop) {
  return Guard([&]() -> BOOL {
    auto d = DestinationOf(dest);
    if (!d) return FALSE;
    auto rop3 = static_cast<ROP4>((rop >> 16) & 0xFF);
    Source source;
    if (UsesSource(rop3)) {
      auto s = SourceOf(src, xSrc, ySrc, srcWidth, srcHeight);
      if (!s) return Invalid();
      source = *s;
    }
    RECTL r = DeviceRect(d->t.state(), x, y, width, height);
    return Blit(d->t, r, source, nullptr, POINTL{0, 0}, rop3 | (rop3 << 8));
  });
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
  return StretchBlt(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

// The mask is a monochrome bitmap: where it is 1 the foreground operation applies, else the
// background one (MAKEROP4). Without a mask it is a BitBlt with the foreground operation.
BOOL MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, HBITMAP mask, int xMask,
             int yMask, DWORD rop4) {
  if (mask == nullptr) return BitBlt(dest, x, y, width, height, src, xSrc, ySrc, rop4 & 0x00FFFFFF);
  return Guard([&]() -> BOOL {
    auto d = DestinationOf(dest);
    auto m = FindBitmap(mask);
    if (!d) return FALSE;
    if (m == nullptr || m->bitCount != 1) return Invalid();
    auto fore = static_cast<ROP4>((rop4 >> 16) & 0xFF), back = static_cast<ROP4>((rop4 >> 24) & 0xFF);
    Source source;
    if (UsesSource(fore) || UsesSource(back)) {
      auto s = SourceOf(src, xSrc, ySrc, width, height);
      if (!s) return Invalid();
      source = *s;
    }
    RECTL r = DeviceRect(d->t.state(), x, y, width, height);
    if (Ordered(r).right - Ordered(r).left != width || Ordered(r).bottom - Ordered(r).top != height) return Invalid();
    return Blit(d->t, r, source, m.get(), POINTL{xMask, yMask}, fore | (back << 8));
  });
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, UINT transparent) {
  return Guard([&]() -> BOOL {
    auto d = DestinationOf(dest);
    if (!d) return FALSE;
    auto s = SourceOf(src, xSrc, ySrc, srcWidth, srcHeight);
    if (!s || width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return Invalid();
    const DrawingTarget& t = d->t;
    if (!t.inPage) return TRUE;
    RECTL r = Ordered(DeviceRect(t.state(), x, y, width, height));
    engine::EngineClip clip(t.state().clip ? &*t.state().clip : nullptr, t.SurfaceBounds(), r);
    if (clip.IsEmpty()) return TRUE;
    engine::EngineXlate xlate = s->bitmap->layout.Xlate();
    ULONG key = s->bitmap->layout.PixelOf(transparent & 0x00FFFFFF);
    if (auto hook = HookOf<PFN_DrvTransparentBlt>(t, INDEX_DrvTransparentBlt, HOOK_TRANSPARENTBLT))
      return hook(t.surface, s->bitmap->surface, clip.get(), xlate.get(), &r, &s->rect, key, 0);
    return EngTransparentBlt(t.surface, s->bitmap->surface, clip.get(), xlate.get(), &r, &s->rect, key, 0);
  });
}

// (xSrc, ySrc) is measured from the DIB's first scan line: the bottom one of a bottom-up DIB.
int StretchDIBits(HDC hdc, int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  return Guard([&]() -> int {
    auto d = DestinationOf(hdc);
    if (!d) return 0;
    auto b = BitmapFromDib(info, bits, usage);
    if (b == nullptr) return 0;
    if (srcWidth == 0 || srcHeight == 0) return Invalid();
    Source source;
    source.bitmap = b;
    LONG top = info->bmiHeader.biHeight > 0 ? b->height() - (ySrc + srcHeight) : ySrc;
    source.rect = Ordered(RECTL{xSrc, top, xSrc + srcWidth, top + srcHeight});
    auto rop3 = static_cast<ROP4>((rop >> 16) & 0xFF);
    RECTL r = DeviceRect(d->t.state(), x, y, width, height);
    return Blit(d->t, r, source, nullptr, POINTL{0, 0}, rop3 | (rop3 << 8)) ? b->height() : 0;
  });
}

// The bits hold `lines` scan lines from `startScan` (counted from the bottom of a bottom-up DIB).
int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  return Guard([&]() -> int {
    auto d = DestinationOf(hdc);
    if (!d) return 0;
    if (info == nullptr || lines == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return Invalid();
    LONG full = std::abs(info->bmiHeader.biHeight);
    if (startScan >= static_cast<UINT>(full)) return Invalid();
    LONG band = static_cast<LONG>(std::min<UINT>(lines, static_cast<UINT>(full) - startScan));
    auto b = BitmapFromDib(info, bits, usage, band);
    if (b == nullptr) return 0;
    bool bottomUp = info->bmiHeader.biHeight > 0;
    LONG w = static_cast<LONG>(width), h = static_cast<LONG>(height);
    // The band's top row is scan line startScan + band - 1 of a bottom-up DIB.
    LONG top = bottomUp ? static_cast<LONG>(startScan) + band - (ySrc + h) : ySrc - static_cast<LONG>(startScan);
    Source source;
    source.bitmap = b;
    source.rect = RECTL{xSrc, top, xSrc + w, top + h};
    RECTL r = DeviceRect(d->t.state(), x, y, w, h);
    RECTL box = Ordered(r);
    // The destination keeps the device size of the source: no stretching here.
    r = {box.left, box.top, box.left + w, box.top + h};
    return Blit(d->t, r, source, nullptr, POINTL{0, 0}, 0xCCCC) ? band : 0;
  });
}

BOOL GradientFill(HDC hdc, TRIVERTEX* vertices, ULONG count, PVOID mesh, ULONG meshCount, ULONG mode) {
  return Guard([&]() -> BOOL {
    auto d = DestinationOf(hdc);
    if (!d) return FALSE;
    if (vertices == nullptr || mesh == nullptr || count == 0 || mode > GRADIENT_FILL_TRIANGLE || count > (1u << 20) ||
        meshCount > (1u << 20))
      return Invalid();
    ULONG per = mode == GRADIENT_FILL_TRIANGLE ? 3 : 2;
    const auto* indices = static_cast<const ULONG*>(mesh);
    for (ULONG i = 0; i < meshCount * per; ++i)
      if (indices[i] >= count) return Invalid();
    const DrawingTarget& t = d->t;
    if (!t.inPage || meshCount == 0) return TRUE;
    std::vector<TRIVERTEX> onDevice(vertices, vertices + count);
    Matrix m = t.state().ToDevice();
    RECTL bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (TRIVERTEX& v : onDevice) {
      double dx, dy;
      m.Apply(v.x, v.y, &dx, &dy);
      v.x = static_cast<LONG>(std::lround(dx));
      v.y = static_cast<LONG>(std::lround(dy));
    }
    for (ULONG i = 0; i < meshCount * per; ++i) {
      const TRIVERTEX& v = onDevice[indices[i]];
      bounds = {std::min(bounds.left, v.x), std::min(bounds.top, v.y), std::max(bounds.right, v.x),
                std::max(bounds.bottom, v.y)};
    }
    if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return TRUE;
    engine::EngineClip clip(t.state().clip ? &*t.state().clip : nullptr, t.SurfaceBounds(), bounds);
    if (clip.IsEmpty()) return TRUE;
    engine::EngineXlate xlate = engine::EngineXlate::Identity();
    POINTL dither{0, 0};
    if (auto hook = HookOf<PFN_DrvGradientFill>(t, INDEX_DrvGradientFill, HOOK_GRADIENTFILL))
      return hook(t.surface, clip.get(), xlate.get(), onDevice.data(), count, mesh, meshCount, &bounds, &dither, mode);
    return EngGradientFill(t.surface, clip.get(), xlate.get(), onDevice.data(), count, mesh, meshCount, &bounds,
                           &dither, mode);
  });
}

}  // extern "C"
