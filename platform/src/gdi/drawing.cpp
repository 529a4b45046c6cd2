// Lines, curves and shapes on a printer device context. Each call builds its figures in device
// coordinates; inside a path bracket they join the path, otherwise they are stroked with the pen
// and filled with the brush through the driver (device_output.cpp).
#include <algorithm>
#include <cmath>
#include <new>

#include "dc_state.h"
#include "device_output.h"
#include "path_builder.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

BOOL Invalid() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

struct Device {
  double x, y;
};

Device ToDevice(const DcState& s, double x, double y) {
  Device d;
  s.ToDevice().Apply(x, y, &d.x, &d.y);
  return d;
}

// Sends figures to the page: filled (figures closed) and stroked as the call asks, each half
// skipped for a null brush or pen.
BOOL Render(const DrawingTarget& t, PathBuilder& built, bool fill, bool stroke) {
  DcState& s = t.state();
  if (!t.inPage || built.path().empty()) return TRUE;
  fill = fill && s.brush->style != BS_NULL;
  stroke = stroke && s.pen->kind() != PS_NULL;
  MIX mix = MixOf(s.rop2);
  if (fill && stroke) return StrokeAndFillPathOnDevice(t, built.path(), *s.pen, *s.brush, s.polyFillMode, mix);
  if (fill) return FillPathOnDevice(t, built.path(), *s.brush, s.polyFillMode, mix);
  if (stroke) return StrokePathOnDevice(t, built.path(), *s.pen, mix);
  return TRUE;
}

// Figures of one call: into the open path bracket, or onto the page.
BOOL Finish(const DrawingTarget& t, PathBuilder& built, bool fill, bool stroke) {
  DcState& s = t.state();
  if (s.bracket == PathBracket::kOpen) {
    s.path.Append(built.path());
    return TRUE;
  }
  return Render(t, built, fill, stroke);
}

// Lines that start at the current position: inside a bracket they continue its open figure.
PathBuilder& LinesFromCurrent(const DrawingTarget& t, PathBuilder& local) {
  DcState& s = t.state();
  PathBuilder& b = s.bracket == PathBracket::kOpen ? s.path : local;
  if (!b.FigureOpen()) {
    Device d = ToDevice(s, s.current.x, s.current.y);
    b.MoveTo(d.x, d.y);
  }
  return b;
}

BOOL FinishLines(const DrawingTarget& t, PathBuilder& local) {
  if (t.state().bracket == PathBracket::kOpen) return TRUE;
  return Render(t, local, false, true);
}

void AddPolyline(const DcState& s, PathBuilder& b, const POINT* points, size_t count, bool close) {
  Device d = ToDevice(s, points[0].x, points[0].y);
  b.MoveTo(d.x, d.y);
  for (size_t i = 1; i < count; ++i) {
    d = ToDevice(s, points[i].x, points[i].y);
    b.LineTo(d.x, d.y);
  }
  if (close) b.CloseFigure();
}

void AddBeziers(const DcState& s, PathBuilder& b, const POINT* points, size_t count) {
  for (size_t i = 0; i + 2 < count; i += 3) {
    Device c1 = ToDevice(s, points[i].x, points[i].y);
    Device c2 = ToDevice(s, points[i + 1].x, points[i + 1].y);
    Device e = ToDevice(s, points[i + 2].x, points[i + 2].y);
    b.BezierTo(c1.x, c1.y, c2.x, c2.y, e.x, e.y);
  }
}

// Sums counts of a poly-call, each at least `least`; false when one is short or null.
bool CountsValid(const POINT* points, const auto* counts, size_t n, DWORD least) {
  if (points == nullptr || counts == nullptr || n == 0 || n > 0x100000) return false;
  for (size_t i = 0; i < n; ++i) {
    if (counts[i] < static_cast<std::decay_t<decltype(counts[i])>>(least) || counts[i] > 0x1000000) return false;
  }
  return true;
}

// Rectangle with an axis-aligned transform: its interior is a blit of whole pixels, and the
// border a stroke; either refused falls back to the path hooks.
BOOL RectangleOnPage(const DrawingTarget& t, PathBuilder& built) {
  DcState& s = t.state();
  if (!t.inPage) return TRUE;
  bool fill = s.brush->style != BS_NULL;
  bool stroke = s.pen->kind() != PS_NULL;
  const auto& pts = built.path().points;
  LONG x0 = pts[0].x, x1 = x0, y0 = pts[0].y, y1 = y0;
  for (const auto& p : pts) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  bool whole = ((x0 | x1 | y0 | y1) & 15) == 0;
  if (!fill || !whole || !s.ToDevice().AxisAligned()) return Render(t, built, true, true);
  MIX mix = MixOf(s.rop2);
  bool filled = BlitRectOnDevice(t, {x0 >> 4, y0 >> 4, x1 >> 4, y1 >> 4}, s.brush.get(), Rop4OfMix(mix)) ||
                FillPathOnDevice(t, built.path(), *s.brush, s.polyFillMode, mix);
  bool stroked = !stroke || StrokePathOnDevice(t, built.path(), *s.pen, mix);
  return filled && stroked;
}

template <typename Fn>
BOOL Guarded(HDC hdc, Fn fn) {
  try {
    auto t = FindDrawingTarget(hdc);
    if (!t) return FALSE;
    return fn(*t);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

}  // namespace
}  // namespace platform::gdi

using namespace platform::gdi;

extern "C" {

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    DcState& s = t.state();
    if (previous != nullptr) *previous = s.current;
    s.current = {x, y};
    if (s.bracket == PathBracket::kOpen) {
      Device d = ToDevice(s, x, y);
      s.path.MoveTo(d.x, d.y);
    }
    return TRUE;
  });
}

BOOL GetCurrentPositionEx(HDC hdc, POINT* point) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (point == nullptr) return Invalid();
    *point = t.state().current;
    return TRUE;
  });
}

BOOL LineTo(HDC hdc, int x, int y) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    DcState& s = t.state();
    PathBuilder local;
    PathBuilder& b = LinesFromCurrent(t, local);
    Device d = ToDevice(s, x, y);
    b.LineTo(d.x, d.y);
    s.current = {x, y};
    return FinishLines(t, local);
  });
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (points == nullptr || count < 2) return Invalid();
    PathBuilder b;
    AddPolyline(t.state(), b, points, static_cast<size_t>(count), false);
    return Finish(t, b, false, true);
  });
}

BOOL PolylineTo(HDC hdc, const POINT* points, DWORD count) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (points == nullptr || count == 0) return Invalid();
    DcState& s = t.state();
    PathBuilder local;
    PathBuilder& b = LinesFromCurrent(t, local);
    for (DWORD i = 0; i < count; ++i) {
      Device d = ToDevice(s, points[i].x, points[i].y);
      b.LineTo(d.x, d.y);
    }
    s.current = points[count - 1];
    return FinishLines(t, local);
  });
}

BOOL PolyPolyline(HDC hdc, const POINT* points, const DWORD* counts, DWORD polylines) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (!CountsValid(points, counts, polylines, 2)) return Invalid();
    PathBuilder b;
    const POINT* p = points;
    for (DWORD i = 0; i < polylines; ++i) {
      AddPolyline(t.state(), b, p, counts[i], false);
      p += counts[i];
    }
    return Finish(t, b, false, true);
  });
}

BOOL PolyBezier(HDC hdc, const POINT* points, DWORD count) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (points == nullptr || count < 4 || (count - 1) % 3 != 0) return Invalid();
    PathBuilder b;
    Device d = ToDevice(t.state(), points[0].x, points[0].y);
    b.MoveTo(d.x, d.y);
    AddBeziers(t.state(), b, points + 1, count - 1);
    return Finish(t, b, false, true);
  });
}

BOOL PolyBezierTo(HDC hdc, const POINT* points, DWORD count) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (points == nullptr || count < 3 || count % 3 != 0) return Invalid();
    DcState& s = t.state();
    PathBuilder local;
    PathBuilder& b = LinesFromCurrent(t, local);
    AddBeziers(s, b, points, count);
    s.current = points[count - 1];
    return FinishLines(t, local);
  });
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (points == nullptr || count < 2) return Invalid();
    PathBuilder b;
    AddPolyline(t.state(), b, points, static_cast<size_t>(count), true);
    return Finish(t, b, true, true);
  });
}

BOOL PolyPolygon(HDC hdc, const POINT* points, const INT* counts, int polygons) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    if (polygons <= 0 || !CountsValid(points, counts, static_cast<size_t>(polygons), 2)) return Invalid();
    PathBuilder b;
    const POINT* p = points;
    for (int i = 0; i < polygons; ++i) {
      AddPolyline(t.state(), b, p, static_cast<size_t>(counts[i]), true);
      p += counts[i];
    }
    return Finish(t, b, true, true);
  });
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    PathBuilder b;
    if (!AddRectangle(b, t.state().Shapes(), left, top, right, bottom)) return TRUE;
    if (t.state().bracket == PathBracket::kOpen) return Finish(t, b, true, true);
    return RectangleOnPage(t, b);
  });
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    PathBuilder b;
    if (!AddRoundRect(b, t.state().Shapes(), left, top, right, bottom, width, height)) return TRUE;
    return Finish(t, b, true, true);
  });
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    PathBuilder b;
    if (!AddEllipse(b, t.state().Shapes(), left, top, right, bottom)) return TRUE;
    return Finish(t, b, true, true);
  });
}

BOOL Arc(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    PathBuilder b;
    if (!AddArc(b, t.state().Shapes(), ArcKind::kArc, left, top, right, bottom, xStart, yStart, xEnd, yEnd))
      return TRUE;
    return Finish(t, b, false, true);
  });
}

BOOL Pie(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    PathBuilder b;
    if (!AddArc(b, t.state().Shapes(), ArcKind::kPie, left, top, right, bottom, xStart, yStart, xEnd, yEnd))
      return TRUE;
    return Finish(t, b, true, true);
  });
}

BOOL Chord(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return Guarded(hdc, [&](const DrawingTarget& t) {
    PathBuilder b;
    if (!AddArc(b, t.state().Shapes(), ArcKind::kChord, left, top, right, bottom, xStart, yStart, xEnd, yEnd))
      return TRUE;
    return Finish(t, b, true, true);
  });
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
  return Guarded(hdc, [&](const DrawingTarget& t) -> BOOL {
    auto rop3 = static_cast<BYTE>((rop >> 16) & 0xFF);
    bool usesSource = ((rop3 >> 2) ^ rop3) & 0x33;
    bool usesPattern = ((rop3 >> 4) ^ rop3) & 0x0F;
    if (usesSource) return Invalid();
    DcState& s = t.state();
    if (!t.inPage || width == 0 || height == 0) return TRUE;
    if (usesPattern && s.brush->style == BS_NULL) return TRUE;
    BrushObject* brush = usesPattern ? s.brush.get() : nullptr;
    Matrix m = s.ToDevice();
    Device a = ToDevice(s, x, y), c = ToDevice(s, x + width, y + height);
    if (m.AxisAligned()) {
      RECTL r{static_cast<LONG>(std::lround(a.x)), static_cast<LONG>(std::lround(a.y)),
              static_cast<LONG>(std::lround(c.x)), static_cast<LONG>(std::lround(c.y))};
      if (BlitRectOnDevice(t, r, brush, rop3 | (static_cast<ROP4>(rop3) << 8))) return TRUE;
    }
    // Rotated, or the driver refused the blit: the same operation as a filled path.
    PathBuilder b;
    Device bl = ToDevice(s, x, y + height), tr = ToDevice(s, x + width, y);
    b.MoveTo(a.x, a.y);
    b.LineTo(tr.x, tr.y);
    b.LineTo(c.x, c.y);
    b.LineTo(bl.x, bl.y);
    b.CloseFigure();
    auto fillBrush = brush != nullptr ? s.brush : StockBrush(BLACK_BRUSH);
    return FillPathOnDevice(t, b.path(), *fillBrush, ALTERNATE, MixOf(Rop2OfRop3(rop3)));
  });
}

}  // extern "C"
