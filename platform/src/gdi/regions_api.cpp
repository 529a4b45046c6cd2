// Regions (rectangles, ellipses, polygons, their combinations) and the clip region of a device
// context. Regions are in device pixels; IntersectClipRect and ExcludeClipRect take logical ones.
#include "regions_api.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "win/error.h"

namespace platform::gdi {
namespace {

RECTL Ordered(int left, int top, int right, int bottom) {
  return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

// Regions only ever cover what a page can: coordinates far outside are cut to keep the
// rasteriser's work bounded.
constexpr LONG kLimit = 1 << 20;
const RECTL kEverywhere{-kLimit, -kLimit, kLimit, kLimit};

// A logical rectangle on the device: its pixels, exactly, when the transform keeps it a
// rectangle; else the pixels of the transformed quadrilateral.
engine::Region LogicalRect(const DcState& s, int left, int top, int right, int bottom) {
  Matrix m = s.ToDevice();
  double x0, y0, x1, y1;
  m.Apply(left, top, &x0, &y0);
  m.Apply(right, bottom, &x1, &y1);
  if (m.AxisAligned()) {
    return engine::Region(Ordered(static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0)),
                                  static_cast<int>(std::lround(x1)), static_cast<int>(std::lround(y1))));
  }
  double x2, y2, x3, y3;
  m.Apply(right, top, &x2, &y2);
  m.Apply(left, bottom, &x3, &y3);
  PathBuilder b;
  b.MoveTo(x0, y0);
  b.LineTo(x2, y2);
  b.LineTo(x1, y1);
  b.LineTo(x3, y3);
  b.CloseFigure();
  return engine::RasterizePath(b.path(), WINDING, kEverywhere);
}

template <typename Fn>
auto Guarded(Fn fn, decltype(fn()) failure) -> decltype(fn()) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return failure;
  }
}

HRGN BadRegion() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

}  // namespace

int ComplexityOf(const engine::Region& region) {
  if (region.IsEmpty()) return NULLREGION;
  return region.RectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int CombineClip(const DrawingTarget& t, const engine::Region* region, int mode) {
  DcState& s = t.state();
  if (mode == RGN_COPY) {
    if (region == nullptr) {
      s.clip.reset();
      return SIMPLEREGION;
    }
    s.clip = *region;
    return ComplexityOf(*s.clip);
  }
  if (region == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  engine::Region current = s.clip ? *s.clip : engine::Region(t.SurfaceBounds());
  auto combined = engine::Region::Combine(current, *region, mode);
  if (!combined) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  s.clip = std::move(*combined);
  return ComplexityOf(*s.clip);
}

}  // namespace platform::gdi

using namespace platform::gdi;
namespace engine = platform::engine;

extern "C" {

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return Guarded([&] { return NewRegion(engine::Region(Ordered(left, top, right, bottom))); }, HRGN{});
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (rect == nullptr) return BadRegion();
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  return Guarded(
      [&] {
        RECTL r = Ordered(left, top, right, bottom);
        if (r.right - r.left > 2 * kLimit || r.bottom - r.top > 2 * kLimit) return BadRegion();
        PathBuilder b;
        // The ellipse inscribed in the rectangle, right and bottom exclusive as for Ellipse.
        AddEllipse(b, ShapeContext{}, r.left, r.top, r.right, r.bottom);
        return NewRegion(engine::RasterizePath(b.path(), ALTERNATE, r));
      },
      HRGN{});
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (points == nullptr || count < 2 || count > 0x100000 || (fillMode != ALTERNATE && fillMode != WINDING))
    return BadRegion();
  return Guarded(
      [&] {
        PathBuilder b;
        b.MoveTo(points[0].x, points[0].y);
        for (int i = 1; i < count; ++i) b.LineTo(points[i].x, points[i].y);
        b.CloseFigure();
        return NewRegion(engine::RasterizePath(b.path(), fillMode, kEverywhere));
      },
      HRGN{});
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode) {
  auto d = FindRegion(destination), a = FindRegion(source1);
  auto b = mode == RGN_COPY ? a : FindRegion(source2);
  if (d == nullptr || a == nullptr || b == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return ERROR;
  }
  return Guarded(
      [&] {
        auto combined = engine::Region::Combine(a->region, b->region, mode);
        if (!combined) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return ERROR;
        }
        d->region = std::move(*combined);
        return ComplexityOf(d->region);
      },
      ERROR);
}

BOOL EqualRgn(HRGN a, HRGN b) {
  auto ra = FindRegion(a), rb = FindRegion(b);
  if (ra == nullptr || rb == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return ra->region == rb->region ? TRUE : FALSE;
}

int OffsetRgn(HRGN region, int x, int y) {
  auto r = FindRegion(region);
  if (r == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return ERROR;
  }
  r->region.Offset(x, y);
  return ComplexityOf(r->region);
}

int GetRgnBox(HRGN region, RECT* box) {
  auto r = FindRegion(region);
  if (r == nullptr || box == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  *box = r->region.Bounds();
  return ComplexityOf(r->region);
}

BOOL PtInRegion(HRGN region, int x, int y) {
  auto r = FindRegion(region);
  return r != nullptr && r->region.Contains(x, y) ? TRUE : FALSE;
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
  auto r = FindRegion(region);
  if (r == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return Guarded(
      [&] {
        r->region = engine::Region(Ordered(left, top, right, bottom));
        return TRUE;
      },
      FALSE);
}

int SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC hdc, HRGN region, int mode) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return ERROR;
  std::shared_ptr<RegionObject> r;
  if (region != nullptr) {
    r = FindRegion(region);
    if (r == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return ERROR;
    }
  }
  return Guarded([&] { return CombineClip(*t, r != nullptr ? &r->region : nullptr, mode); }, ERROR);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return ERROR;
  return Guarded(
      [&] {
        engine::Region r = LogicalRect(t->state(), left, top, right, bottom);
        return CombineClip(*t, &r, RGN_AND);
      },
      ERROR);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return ERROR;
  return Guarded(
      [&] {
        engine::Region r = LogicalRect(t->state(), left, top, right, bottom);
        return CombineClip(*t, &r, RGN_DIFF);
      },
      ERROR);
}

int OffsetClipRgn(HDC hdc, int x, int y) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return ERROR;
  DcState& s = t->state();
  if (!s.clip) return SIMPLEREGION;
  // Logical units, as the page transform scales them.
  Matrix m = PageMatrix(s.page);
  s.clip->Offset(static_cast<LONG>(std::lround(x * m.m11)), static_cast<LONG>(std::lround(y * m.m22)));
  return ComplexityOf(*s.clip);
}

int GetClipRgn(HDC hdc, HRGN region) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return -1;
  auto r = FindRegion(region);
  if (r == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  if (!t->state().clip) return 0;
  return Guarded(
      [&] {
        r->region = *t->state().clip;
        return 1;
      },
      -1);
}

int GetClipBox(HDC hdc, RECT* box) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return ERROR;
  if (box == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  DcState& s = t->state();
  engine::Region visible = s.clip ? *s.clip : engine::Region(t->SurfaceBounds());
  RECTL b = visible.Bounds();
  Matrix m = s.ToDevice();
  if (!m.Invertible()) return ERROR;
  m = m.Inverse();
  double x0, y0, x1, y1;
  m.Apply(b.left, b.top, &x0, &y0);
  m.Apply(b.right, b.bottom, &x1, &y1);
  *box = Ordered(static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0)),
                 static_cast<int>(std::lround(x1)), static_cast<int>(std::lround(y1)));
  return ComplexityOf(visible);
}

}  // extern "C"
