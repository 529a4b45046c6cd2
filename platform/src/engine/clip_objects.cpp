// CLIPOBJ over a region: complexity, rectangle enumeration in the four directions, the clip as a
// path. XLATEOBJ and XFORMOBJ, which are as small, live here too.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "engine/engine_internal.h"

namespace platform::engine {
namespace {

std::atomic<ULONG> g_nextUniq{1};

ULONG NextUniq() {
  ULONG u = g_nextUniq.fetch_add(1);
  return u == 0 ? g_nextUniq.fetch_add(1) : u;  // 0 tells the driver not to cache
}

// The region's bands in the direction asked: bands top-down or bottom-up, rectangles within a
// band left to right or right to left.
std::vector<RECTL> Ordered(const std::vector<RECTL>& rects, ULONG direction) {
  bool up = direction == CD_RIGHTUP || direction == CD_LEFTUP;
  bool left = direction == CD_LEFTDOWN || direction == CD_LEFTUP;
  std::vector<std::vector<RECTL>> bands;
  for (const RECTL& r : rects) {
    if (bands.empty() || bands.back().front().top != r.top || bands.back().front().bottom != r.bottom) {
      bands.emplace_back();
    }
    bands.back().push_back(r);
  }
  if (up) std::reverse(bands.begin(), bands.end());
  std::vector<RECTL> out;
  out.reserve(rects.size());
  for (auto& band : bands) {
    if (left) std::reverse(band.begin(), band.end());
    out.insert(out.end(), band.begin(), band.end());
  }
  return out;
}

}  // namespace

EngineClip::EngineClip(const Region* clipOrNull, RECTL surfaceBounds, RECTL primitiveBounds)
    : impl_(std::make_unique<Impl>()) {
  impl_->head.owner = impl_.get();
  Region primitive(primitiveBounds);
  Region visible(surfaceBounds);
  if (clipOrNull != nullptr) visible.Intersect(*clipOrNull);
  visible.Intersect(primitive);
  CLIPOBJ& co = impl_->head.obj;
  co.iUniq = NextUniq();
  co.iMode = TC_RECTANGLES;
  co.fjOptions = 0;
  size_t n = visible.RectCount();
  co.iFComplexity = n <= 1 ? FC_RECT : n <= 4 ? FC_RECT4 : FC_COMPLEX;
  if (visible.IsEmpty()) {
    co.iDComplexity = DC_RECT;
    co.rclBounds = RECTL{primitiveBounds.left, primitiveBounds.top, primitiveBounds.left, primitiveBounds.top};
  } else if (visible == primitive) {
    co.iDComplexity = DC_TRIVIAL;
    co.rclBounds = visible.Bounds();
  } else {
    co.iDComplexity = n == 1 ? DC_RECT : DC_COMPLEX;
    co.rclBounds = visible.Bounds();
  }
  impl_->visible = std::move(visible);
  impl_->rects = impl_->visible.Rects();
}

EngineClip::~EngineClip() = default;
EngineClip::EngineClip(EngineClip&&) noexcept = default;
EngineClip& EngineClip::operator=(EngineClip&&) noexcept = default;
CLIPOBJ* EngineClip::get() { return &impl_->head.obj; }
bool EngineClip::IsEmpty() const { return impl_->visible.IsEmpty(); }
const Region& EngineClip::visible() const { return impl_->visible; }

EngineXlate::EngineXlate(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
  impl_->head.owner = impl_.get();
  impl_->head.obj.iUniq = NextUniq();
}

EngineXlate EngineXlate::Identity() {
  auto impl = std::make_unique<Impl>();
  impl->head.obj.flXlate = XO_TRIVIAL;
  impl->head.obj.iSrcType = PAL_RGB;
  impl->head.obj.iDstType = PAL_RGB;
  return EngineXlate(std::move(impl));
}

EngineXlate EngineXlate::Indexed(std::vector<ULONG> rgbPalette) {
  auto impl = std::make_unique<Impl>();
  impl->table = std::move(rgbPalette);
  for (ULONG& c : impl->table) c &= 0x00FFFFFF;
  impl->head.obj.flXlate = XO_TABLE;
  impl->head.obj.iSrcType = PAL_INDEXED;
  impl->head.obj.iDstType = PAL_RGB;
  impl->head.obj.cEntries = static_cast<ULONG>(impl->table.size());
  impl->head.obj.pulXlate = impl->table.empty() ? nullptr : impl->table.data();
  return EngineXlate(std::move(impl));
}

EngineXlate EngineXlate::FromBgr() {
  auto impl = std::make_unique<Impl>();
  impl->swapRedBlue = true;
  impl->head.obj.iSrcType = PAL_BGR;
  impl->head.obj.iDstType = PAL_RGB;
  return EngineXlate(std::move(impl));
}

EngineXlate EngineXlate::FromMasks(ULONG red, ULONG green, ULONG blue) {
  auto impl = std::make_unique<Impl>();
  impl->masks[0] = red;
  impl->masks[1] = green;
  impl->masks[2] = blue;
  impl->table.assign(impl->masks, impl->masks + 3);  // what XLATEOBJ_cGetPalette hands out
  impl->head.obj.iSrcType = PAL_BITFIELDS;
  impl->head.obj.iDstType = PAL_RGB;
  return EngineXlate(std::move(impl));
}

Region ClipRegion(CLIPOBJ* pco, const RECTL& bounds) {
  Region area(bounds);
  auto* c = ClipHeader::From(pco);
  if (c != nullptr && pco->iDComplexity != DC_TRIVIAL) area.Intersect(c->visible);
  return area;
}

EngineXlate::~EngineXlate() = default;
EngineXlate::EngineXlate(EngineXlate&&) noexcept = default;
EngineXlate& EngineXlate::operator=(EngineXlate&&) noexcept = default;
XLATEOBJ* EngineXlate::get() { return &impl_->head.obj; }

EngineXform::EngineXform() : impl_(std::make_unique<Impl>()) { impl_->head.owner = impl_.get(); }
EngineXform::EngineXform(const XFORML& worldToDevice) : EngineXform() { impl_->xf = worldToDevice; }
EngineXform::~EngineXform() = default;
EngineXform::EngineXform(EngineXform&&) noexcept = default;
EngineXform& EngineXform::operator=(EngineXform&&) noexcept = default;
XFORMOBJ* EngineXform::get() { return &impl_->head.obj; }
const XFORML& EngineXform::xform() const { return impl_->xf; }

LineAttrs LineAttrs::Cosmetic(std::vector<LONG> styleUnits, bool alternate) {
  LineAttrs la;
  la.attrs.fl = (alternate ? LA_ALTERNATE : 0) | (styleUnits.empty() ? 0 : LA_STYLED);
  la.attrs.iJoin = JOIN_ROUND;
  la.attrs.iEndCap = ENDCAP_ROUND;
  la.attrs.elWidth.l = 1;
  for (LONG v : styleUnits) {
    FLOAT_LONG e;
    e.l = v;
    la.style.push_back(e);
  }
  la.get();
  return la;
}

LineAttrs LineAttrs::Geometric(FLOATL width, ULONG join, ULONG endCap, FLOATL miterLimit, std::vector<FLOATL> style,
                               bool startGap) {
  LineAttrs la;
  la.attrs.fl = LA_GEOMETRIC | (startGap ? LA_STARTGAP : 0) | (style.empty() ? 0 : LA_STYLED);
  la.attrs.iJoin = join;
  la.attrs.iEndCap = endCap;
  la.attrs.elWidth.e = width;
  la.attrs.eMiterLimit = miterLimit;
  for (FLOATL v : style) {
    FLOAT_LONG e;
    e.e = v;
    la.style.push_back(e);
  }
  la.get();
  return la;
}

LINEATTRS* LineAttrs::get() {
  attrs.cstyle = static_cast<ULONG>(style.size());
  attrs.pstyle = style.empty() ? nullptr : style.data();
  return &attrs;
}

}  // namespace platform::engine

using platform::engine::ClipHeader;
using platform::engine::XformHeader;
using platform::engine::XlateHeader;

extern "C" ULONG CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL, ULONG iType, ULONG iDirection, ULONG cLimit) {
  auto* c = ClipHeader::From(pco);
  if (c == nullptr || iType != CT_RECTANGLES) return DDI_ERROR;
  c->rects = platform::engine::Ordered(c->visible.Rects(), iDirection);
  c->next = 0;
  ULONG count = static_cast<ULONG>(c->rects.size());
  return cLimit != 0 && count > cLimit ? DDI_ERROR : count;
}

// Fills as many rectangles as the buffer holds after its count; TRUE while more remain.
extern "C" BOOL CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pul) {
  auto* c = ClipHeader::From(pco);
  if (pul == nullptr || cj < sizeof(ULONG)) return FALSE;
  auto* er = reinterpret_cast<ENUMRECTS*>(pul);
  er->c = 0;
  size_t room = (cj - sizeof(ULONG)) / sizeof(RECTL);
  if (c == nullptr || room == 0) return FALSE;
  while (er->c < room && c->next < c->rects.size()) er->arcl[er->c++] = c->rects[c->next++];
  return c->next < c->rects.size() ? TRUE : FALSE;
}

// The visible region as a path of closed rectangles, one per band rectangle.
extern "C" PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ* pco) {
  auto* c = ClipHeader::From(pco);
  if (c == nullptr) return nullptr;
  platform::engine::PathPoints path;
  for (const RECTL& r : c->visible.Rects()) {
    path.MoveTo(r.left * 16, r.top * 16);
    path.LineTo(r.right * 16, r.top * 16);
    path.LineTo(r.right * 16, r.bottom * 16);
    path.LineTo(r.left * 16, r.bottom * 16);
    path.CloseFigure();
  }
  auto* impl = new platform::engine::EnginePath::Impl(std::move(path));
  impl->ownedByEngine = true;
  return &impl->head.obj;
}

extern "C" ULONG XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor) {
  auto* x = XlateHeader::From(pxlo);
  if (x == nullptr) return iColor;
  if (pxlo->flXlate & XO_TABLE) return x->table.empty() ? 0 : x->table[iColor % x->table.size()];
  if (x->swapRedBlue) return ((iColor & 0xFF) << 16) | (iColor & 0xFF00) | ((iColor >> 16) & 0xFF);
  if (x->masks[0] | x->masks[1] | x->masks[2]) {
    using platform::engine::ChannelOf;
    return ChannelOf(iColor, x->masks[0]) | (ChannelOf(iColor, x->masks[1]) << 8) | (ChannelOf(iColor, x->masks[2]) << 16);
  }
  return iColor;
}

extern "C" ULONG XLATEOBJ_cGetPalette(XLATEOBJ* pxlo, ULONG iPal, ULONG cPal, ULONG* pPal) {
  auto* x = XlateHeader::From(pxlo);
  if (x == nullptr || iPal != XO_SRCPALETTE) return 0;
  ULONG n = static_cast<ULONG>(x->table.size());
  if (pPal == nullptr) return n;
  n = std::min(n, cPal);
  std::copy_n(x->table.begin(), n, pPal);
  return n;
}

extern "C" ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform) {
  auto* x = XformHeader::From(pxo);
  if (x == nullptr) return DDI_ERROR;
  const XFORML& m = x->xf;
  if (pxform != nullptr) *pxform = m;
  bool unit = m.eM11 == 1 && m.eM22 == 1 && m.eM12 == 0 && m.eM21 == 0;
  if (unit) return m.eDx == 0 && m.eDy == 0 ? GX_IDENTITY : GX_OFFSET;
  return m.eM12 == 0 && m.eM21 == 0 ? GX_SCALE : GX_GENERAL;
}

// Points are POINTL (world, long) or POINTFIX (device); an inverse needs a non-singular matrix.
extern "C" BOOL XFORMOBJ_bApplyXform(XFORMOBJ* pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut) {
  auto* x = XformHeader::From(pxo);
  if (x == nullptr || pvIn == nullptr || pvOut == nullptr || iMode > XF_INV_FXTOL) return FALSE;
  const XFORML& m = x->xf;
  double det = static_cast<double>(m.eM11) * m.eM22 - static_cast<double>(m.eM12) * m.eM21;
  bool inverse = iMode == XF_INV_LTOL || iMode == XF_INV_FXTOL;
  if (inverse && det == 0) return FALSE;
  double inScale = iMode == XF_INV_FXTOL ? 1.0 / 16 : 1.0;
  double outScale = iMode == XF_LTOFX ? 16.0 : 1.0;
  const auto* in = static_cast<const POINTL*>(pvIn);
  auto* out = static_cast<POINTL*>(pvOut);
  for (ULONG i = 0; i < cPoints; ++i) {
    double px = in[i].x * inScale, py = in[i].y * inScale, rx, ry;
    if (!inverse) {
      rx = px * m.eM11 + py * m.eM21 + m.eDx;
      ry = px * m.eM12 + py * m.eM22 + m.eDy;
    } else {
      double ux = px - m.eDx, uy = py - m.eDy;
      rx = (ux * m.eM22 - uy * m.eM21) / det;
      ry = (uy * m.eM11 - ux * m.eM12) / det;
    }
    out[i] = POINTL{static_cast<LONG>(std::lround(rx * outScale)), static_cast<LONG>(std::lround(ry * outScale))};
  }
  return TRUE;
}
