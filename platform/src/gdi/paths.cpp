// Path brackets: BeginPath collects the figures of the drawing calls, EndPath closes the
// bracket, and the path is stroked, filled, made the clip region or abandoned.
#include <cmath>
#include <new>

#include "dc_state.h"
#include "device_output.h"
#include "regions_api.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

BOOL Refuse() {
  SetLastError(ERROR_CAN_NOT_COMPLETE);
  return FALSE;
}

template <typename Fn>
BOOL WithClosedPath(HDC hdc, Fn fn) {
  try {
    auto t = FindDrawingTarget(hdc);
    if (!t) return FALSE;
    DcState& s = t->state();
    if (s.bracket != PathBracket::kClosed) return Refuse();
    BOOL ok = fn(*t, s);
    s.path.Clear();
    s.bracket = PathBracket::kNone;
    return ok;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

}  // namespace
}  // namespace platform::gdi

using namespace platform::gdi;
namespace engine = platform::engine;

extern "C" {

BOOL BeginPath(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return FALSE;
  DcState& s = t->state();
  s.path.Clear();
  s.bracket = PathBracket::kOpen;
  return TRUE;
}

BOOL EndPath(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return FALSE;
  if (t->state().bracket != PathBracket::kOpen) return Refuse();
  t->state().bracket = PathBracket::kClosed;
  return TRUE;
}

BOOL AbortPath(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return FALSE;
  t->state().path.Clear();
  t->state().bracket = PathBracket::kNone;
  return TRUE;
}

BOOL CloseFigure(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return FALSE;
  DcState& s = t->state();
  if (s.bracket != PathBracket::kOpen || !s.path.FigureOpen()) return Refuse();
  s.path.CloseFigure();
  return TRUE;
}

BOOL StrokePath(HDC hdc) {
  return WithClosedPath(hdc, [](const DrawingTarget& t, DcState& s) -> BOOL {
    if (!t.inPage || s.pen->kind() == PS_NULL) return TRUE;
    return StrokePathOnDevice(t, s.path.path(), *s.pen, MixOf(s.rop2));
  });
}

BOOL FillPath(HDC hdc) {
  return WithClosedPath(hdc, [](const DrawingTarget& t, DcState& s) -> BOOL {
    s.path.CloseAll();
    if (!t.inPage || s.brush->style == BS_NULL) return TRUE;
    return FillPathOnDevice(t, s.path.path(), *s.brush, s.polyFillMode, MixOf(s.rop2));
  });
}

BOOL StrokeAndFillPath(HDC hdc) {
  return WithClosedPath(hdc, [](const DrawingTarget& t, DcState& s) -> BOOL {
    s.path.CloseAll();
    if (!t.inPage) return TRUE;
    bool fill = s.brush->style != BS_NULL, stroke = s.pen->kind() != PS_NULL;
    MIX mix = MixOf(s.rop2);
    if (fill && stroke) return StrokeAndFillPathOnDevice(t, s.path.path(), *s.pen, *s.brush, s.polyFillMode, mix);
    if (fill) return FillPathOnDevice(t, s.path.path(), *s.brush, s.polyFillMode, mix);
    if (stroke) return StrokePathOnDevice(t, s.path.path(), *s.pen, mix);
    return TRUE;
  });
}

BOOL SelectClipPath(HDC hdc, int mode) {
  if (mode < RGN_AND || mode > RGN_COPY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return WithClosedPath(hdc, [mode](const DrawingTarget& t, DcState& s) -> BOOL {
    engine::Region area = engine::RasterizePath(s.path.path(), s.polyFillMode, t.SurfaceBounds());
    return CombineClip(t, &area, mode) != ERROR;
  });
}

int GetPath(HDC hdc, POINT* points, BYTE* types, int count) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return -1;
  DcState& s = t->state();
  if (s.bracket != PathBracket::kClosed) {
    SetLastError(ERROR_CAN_NOT_COMPLETE);
    return -1;
  }
  const DevicePath& path = s.path.path();
  int n = static_cast<int>(path.points.size());
  if (count == 0) return n;
  if (count < n || points == nullptr || types == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  Matrix m = s.ToDevice();
  if (!m.Invertible()) return -1;
  m = m.Inverse();
  for (int i = 0; i < n; ++i) {
    double x, y;
    m.Apply(path.points[i].x / 16.0, path.points[i].y / 16.0, &x, &y);
    points[i] = {static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
    types[i] = path.types[i];
  }
  return n;
}

}  // extern "C"
