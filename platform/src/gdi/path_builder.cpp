// Shapes become paths as GDI builds them. GM_COMPATIBLE works in device pixels with the corners
// made inclusive-exclusive (right and bottom pulled in by one pixel); GM_ADVANCED builds the shape
// in logical space and maps every point, so a rotated ellipse is still exact.
#include "path_builder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform::gdi {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The frame a shape is built in and the map from it to device pixels.
struct Frame {
  double left, top, right, bottom;
  Matrix toDevice;
  bool clockwise;
  void Point(double x, double y, double* dx, double* dy) const { toDevice.Apply(x, y, dx, dy); }
};

// Shrinks the frame so a wide pen stays inside it; a pen wider than the frame leaves its middle.
void Inset(Frame* f, double dx, double dy) {
  if (dx <= 0 && dy <= 0) return;
  double cx = (f->left + f->right) / 2, cy = (f->top + f->bottom) / 2;
  f->left = std::min(f->left + dx, cx);
  f->right = std::max(f->right - dx, cx);
  f->top = std::min(f->top + dy, cy);
  f->bottom = std::max(f->bottom - dy, cy);
}

// Orders the corners; false when the shape has no area on the device.
bool MakeFrame(const ShapeContext& c, int l, int t, int r, int b, Frame* f) {
  if (c.compatible) {
    double x0, y0, x1, y1;
    c.toDevice.Apply(l, t, &x0, &y0);
    c.toDevice.Apply(r, b, &x1, &y1);
    x0 = std::round(x0), y0 = std::round(y0), x1 = std::round(x1), y1 = std::round(y1);
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (x0 == x1 || y0 == y1) return false;
    *f = {x0, y0, x1 - 1, y1 - 1, Matrix{}, c.clockwise};
    Inset(f, c.inset * std::fabs(c.toDevice.m11), c.inset * std::fabs(c.toDevice.m22));
    // Built on the device: a transform that mirrors the page mirrors the direction too.
    if (c.toDevice.Determinant() < 0) f->clockwise = !f->clockwise;
    return true;
  }
  double x0 = std::min(l, r), x1 = std::max(l, r), y0 = std::min(t, b), y1 = std::max(t, b);
  if (x0 == x1 || y0 == y1) return false;
  *f = {x0, y0, x1, y1, c.toDevice, c.clockwise};
  Inset(f, c.inset, c.inset);
  return true;
}

void MoveTo(PathBuilder& b, const Frame& f, double x, double y) {
  double dx, dy;
  f.Point(x, y, &dx, &dy);
  b.MoveTo(dx, dy);
}

void LineTo(PathBuilder& b, const Frame& f, double x, double y) {
  double dx, dy;
  f.Point(x, y, &dx, &dy);
  b.LineTo(dx, dy);
}

struct Ellipse {
  double cx, cy, rx, ry;
  void At(double a, double* x, double* y) const {
    *x = cx + rx * std::cos(a);
    *y = cy + ry * std::sin(a);
  }
  // The angle of the ray from the centre through (x, y), in the ellipse's own unit circle.
  double AngleOf(double x, double y) const { return std::atan2((y - cy) / ry, (x - cx) / rx); }
};

// One Bézier per at most a quarter turn, from angle a0 sweeping by `sweep` (negative is
// counter-clockwise on a y-down page). A quarter turn uses the familiar 0.5523 handle length.
void AddArcCurves(PathBuilder& b, const Frame& f, const Ellipse& e, double a0, double sweep) {
  int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)));
  double step = sweep / segments;
  double k = 4.0 / 3.0 * std::tan(step / 4);
  for (int i = 0; i < segments; ++i) {
    double s = a0 + step * i, t = s + step;
    double x0, y0, x3, y3;
    e.At(s, &x0, &y0);
    e.At(t, &x3, &y3);
    double x1 = x0 - k * e.rx * std::sin(s), y1 = y0 + k * e.ry * std::cos(s);
    double x2 = x3 + k * e.rx * std::sin(t), y2 = y3 - k * e.ry * std::cos(t);
    double d[6];
    f.Point(x1, y1, &d[0], &d[1]);
    f.Point(x2, y2, &d[2], &d[3]);
    f.Point(x3, y3, &d[4], &d[5]);
    b.BezierTo(d[0], d[1], d[2], d[3], d[4], d[5]);
  }
}

Ellipse EllipseOf(const Frame& f) {
  return {(f.left + f.right) / 2, (f.top + f.bottom) / 2, (f.right - f.left) / 2, (f.bottom - f.top) / 2};
}

}  // namespace

LONG ToFix(double pixels) {
  double v = std::round(pixels * 16);
  v = std::clamp(v, static_cast<double>(std::numeric_limits<LONG>::min()),
                 static_cast<double>(std::numeric_limits<LONG>::max()));
  return static_cast<LONG>(v);
}

void PathBuilder::MoveTo(double x, double y) {
  pendingX_ = x;
  pendingY_ = y;
  pending_ = true;
  figureOpen_ = false;
}

void PathBuilder::StartIfPending() {
  if (figureOpen_) return;
  if (!pending_) {
    // A figure after a closed one starts where the last one ended.
    if (!path_.points.empty()) {
      pendingX_ = path_.points.back().x / 16.0;
      pendingY_ = path_.points.back().y / 16.0;
      if (path_.types.back() & PT_CLOSEFIGURE) {
        pendingX_ = path_.points[figureStart_].x / 16.0;
        pendingY_ = path_.points[figureStart_].y / 16.0;
      }
    }
  }
  figureStart_ = path_.points.size();
  path_.points.push_back({ToFix(pendingX_), ToFix(pendingY_)});
  path_.types.push_back(PT_MOVETO);
  pending_ = false;
  figureOpen_ = true;
}

void PathBuilder::LineTo(double x, double y) {
  StartIfPending();
  path_.points.push_back({ToFix(x), ToFix(y)});
  path_.types.push_back(PT_LINETO);
}

void PathBuilder::BezierTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  StartIfPending();
  for (auto [x, y] : {std::pair{x1, y1}, std::pair{x2, y2}, std::pair{x3, y3}}) {
    path_.points.push_back({ToFix(x), ToFix(y)});
    path_.types.push_back(PT_BEZIERTO);
  }
}

void PathBuilder::CloseFigure() {
  if (!figureOpen_ || path_.types.empty()) return;
  path_.types.back() |= PT_CLOSEFIGURE;
  figureOpen_ = false;
  // The next figure starts at the closed figure's start.
  pendingX_ = path_.points[figureStart_].x / 16.0;
  pendingY_ = path_.points[figureStart_].y / 16.0;
  pending_ = true;
}

void PathBuilder::CloseAll() {
  for (size_t i = 0; i < path_.types.size(); ++i) {
    bool last = i + 1 == path_.types.size() || path_.types[i + 1] == PT_MOVETO;
    if (last) path_.types[i] |= PT_CLOSEFIGURE;
  }
  figureOpen_ = false;
}

void PathBuilder::Append(const DevicePath& figures) {
  path_.points.insert(path_.points.end(), figures.points.begin(), figures.points.end());
  path_.types.insert(path_.types.end(), figures.types.begin(), figures.types.end());
  figureOpen_ = false;
  pending_ = false;
}

bool AddRectangle(PathBuilder& b, const ShapeContext& c, int left, int top, int right, int bottom) {
  Frame f;
  if (!MakeFrame(c, left, top, right, bottom, &f)) return false;
  MoveTo(b, f, f.right, f.top);
  if (f.clockwise) {
    LineTo(b, f, f.right, f.bottom);
    LineTo(b, f, f.left, f.bottom);
    LineTo(b, f, f.left, f.top);
  } else {
    LineTo(b, f, f.left, f.top);
    LineTo(b, f, f.left, f.bottom);
    LineTo(b, f, f.right, f.bottom);
  }
  b.CloseFigure();
  return true;
}

bool AddEllipse(PathBuilder& b, const ShapeContext& c, int left, int top, int right, int bottom) {
  Frame f;
  if (!MakeFrame(c, left, top, right, bottom, &f)) return false;
  Ellipse e = EllipseOf(f);
  MoveTo(b, f, f.right, e.cy);
  AddArcCurves(b, f, e, 0, f.clockwise ? 2 * kPi : -2 * kPi);
  b.CloseFigure();
  return true;
}

bool AddRoundRect(PathBuilder& b, const ShapeContext& c, int left, int top, int right, int bottom, int width,
                  int height) {
  Frame f;
  if (!MakeFrame(c, left, top, right, bottom, &f)) return false;
  // The corner ellipse's size in the frame's units.
  double ew = std::fabs(static_cast<double>(width)), eh = std::fabs(static_cast<double>(height));
  if (c.compatible) {
    ew *= std::fabs(c.toDevice.m11);
    eh *= std::fabs(c.toDevice.m22);
  }
  double rx = std::min(ew, f.right - f.left) / 2, ry = std::min(eh, f.bottom - f.top) / 2;
  if (rx <= 0 || ry <= 0) return AddRectangle(b, c, left, top, right, bottom);
  // Corners in counter-clockwise order starting at the top right, each with its ellipse centre.
  struct Corner {
    double cx, cy, a0;
  };
  const Corner ccw[4] = {{f.right - rx, f.top + ry, 0},
                         {f.left + rx, f.top + ry, -kPi / 2},
                         {f.left + rx, f.bottom - ry, -kPi},
                         {f.right - rx, f.bottom - ry, -3 * kPi / 2}};
  double quarter = f.clockwise ? kPi / 2 : -kPi / 2;
  for (int i = 0; i < 4; ++i) {
    // Clockwise walks the corners the other way round, each arc from its other end.
    const Corner& k = f.clockwise ? ccw[(4 - i) % 4] : ccw[i];
    double a0 = f.clockwise ? k.a0 - kPi / 2 : k.a0;
    Ellipse e{k.cx, k.cy, rx, ry};
    double x, y;
    e.At(a0, &x, &y);
    if (i == 0) {
      MoveTo(b, f, x, y);
    } else {
      LineTo(b, f, x, y);
    }
    AddArcCurves(b, f, e, a0, quarter);
  }
  b.CloseFigure();
  return true;
}

bool AddArc(PathBuilder& b, const ShapeContext& c, ArcKind kind, int left, int top, int right, int bottom, int xStart,
            int yStart, int xEnd, int yEnd) {
  Frame f;
  if (!MakeFrame(c, left, top, right, bottom, &f)) return false;
  Ellipse e = EllipseOf(f);
  double sx = xStart, sy = yStart, ex = xEnd, ey = yEnd;
  if (c.compatible) {
    c.toDevice.Apply(xStart, yStart, &sx, &sy);
    c.toDevice.Apply(xEnd, yEnd, &ex, &ey);
  }
  double a0 = e.AngleOf(sx, sy), a1 = e.AngleOf(ex, ey);
  double sweep = a1 - a0;
  // The same radial twice is the whole ellipse.
  if (f.clockwise) {
    if (sweep <= 1e-9) sweep += 2 * kPi;
  } else {
    if (sweep >= -1e-9) sweep -= 2 * kPi;
  }
  double x, y;
  e.At(a0, &x, &y);
  if (kind == ArcKind::kPie) {
    MoveTo(b, f, e.cx, e.cy);
    LineTo(b, f, x, y);
  } else {
    MoveTo(b, f, x, y);
  }
  AddArcCurves(b, f, e, a0, sweep);
  if (kind != ArcKind::kArc) b.CloseFigure();
  return true;
}

}  // namespace platform::gdi
