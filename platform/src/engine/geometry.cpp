// The engine's geometry services: flattening, widening a stroke into an outline (FreeType's
// stroker, dashes split first), rasterising a filled path into a region.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_STROKER_H

#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/engine_internal.h"

namespace platform::engine {
namespace {

constexpr int kMaxBezierSteps = 1024;
// Dashes beyond this many in one call make the style count as solid, so a tiny style on a long
// path cannot run away.
constexpr size_t kMaxDashes = 200000;
// Input points per stroker batch; keeps each exported outline within FreeType's point limit.
constexpr size_t kStrokeBatch = 2000;

struct Pt {
  double x;
  double y;
};

// A figure of line points.
struct Polyline {
  std::vector<Pt> points;
  bool closed = false;
};

// Figures of the path with Béziers flattened, in 28.4 units as doubles. A Bézier run that is not
// a whole number of curves has its leftover points taken as line points.
std::vector<Polyline> Figures(const PathPoints& path, double tolerance) {
  std::vector<Polyline> out;
  size_t n = std::min(path.points.size(), path.types.size());
  auto at = [&](size_t i) { return Pt{double(path.points[i].x), double(path.points[i].y)}; };
  for (size_t i = 0; i < n;) {
    Polyline fig;
    fig.points.push_back(at(i));
    size_t j = i + 1;
    while (j < n && (path.types[j] & kPathTypeMask) != kPathMoveTo) {
      if (path.types[j] & kPathCloseFigure) fig.closed = true;
      bool curve = (path.types[j] & kPathTypeMask) == kPathBezierTo && j + 2 < n &&
                   (path.types[j + 1] & kPathTypeMask) == kPathBezierTo &&
                   (path.types[j + 2] & kPathTypeMask) == kPathBezierTo;
      if (!curve) {
        fig.points.push_back(at(j));
        ++j;
        continue;
      }
      if ((path.types[j + 1] | path.types[j + 2]) & kPathCloseFigure) fig.closed = true;
      Pt p0 = fig.points.back(), p1 = at(j), p2 = at(j + 1), p3 = at(j + 2);
      double ddx = std::max(std::fabs(p0.x - 2 * p1.x + p2.x), std::fabs(p1.x - 2 * p2.x + p3.x));
      double ddy = std::max(std::fabs(p0.y - 2 * p1.y + p2.y), std::fabs(p1.y - 2 * p2.y + p3.y));
      double dd = std::hypot(ddx, ddy);
      int steps = static_cast<int>(std::ceil(std::sqrt(0.75 * dd / tolerance)));
      steps = std::clamp(steps, 1, kMaxBezierSteps);
      for (int s = 1; s <= steps; ++s) {
        double t = double(s) / steps, u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        fig.points.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
      }
      j += 3;
    }
    out.push_back(std::move(fig));
    i = j;
  }
  return out;
}

FIX RoundFix(double v) {
  return static_cast<FIX>(std::clamp(std::llround(v), -(1LL << 31), (1LL << 31) - 1));
}

// --- rasterising ---

struct Edge {
  int64_t xa, ya, xb, yb;  // ya < yb, 28.4
  int dir;
};

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// --- widening ---

std::mutex g_freetypeLock;
FT_Library g_freetype = nullptr;

struct Affine {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
};

// Splits figures (in stroke units) into dashes, each an open figure. The style restarts on each
// figure; a closed figure that no gap breaks stays closed.
std::vector<Polyline> Dashes(const std::vector<Polyline>& figures, const std::vector<double>& style, bool startGap,
                             double startOffset) {
  double total = 0;
  for (double e : style) total += e;
  if (style.empty() || !(total > 0) || !std::isfinite(total)) return figures;
  std::vector<Polyline> out;
  for (const Polyline& fig : figures) {
    std::vector<Pt> pts = fig.points;
    if (fig.closed && pts.size() > 1) pts.push_back(pts.front());
    size_t index = 0;
    double offset = std::isfinite(startOffset) ? std::fmod(std::max(0.0, startOffset), total) : 0;
    while (offset >= style[index]) {
      offset -= style[index];
      index = (index + 1) % style.size();
    }
    double left = style[index] - offset;
    auto drawn = [&] { return (index % 2 == 0) != startGap; };
    Polyline dash;
    if (drawn()) dash.points.push_back(pts.front());
    bool gapSeen = !drawn();
    for (size_t i = 1; i < pts.size(); ++i) {
      Pt a = pts[i - 1], b = pts[i];
      double len = std::hypot(b.x - a.x, b.y - a.y), pos = 0;
      while (len - pos > left) {
        pos += left;
        Pt m{a.x + (b.x - a.x) * pos / len, a.y + (b.y - a.y) * pos / len};
        if (drawn()) {
          dash.points.push_back(m);
          if (dash.points.size() > 1) out.push_back(std::move(dash));
          dash = Polyline();
        }
        index = (index + 1) % style.size();
        left = style[index];
        if (drawn()) dash.points = {m};
        else gapSeen = true;
        if (out.size() > kMaxDashes) return figures;
      }
      left -= len - pos;
      if (drawn()) dash.points.push_back(b);
    }
    if (drawn() && dash.points.size() > 1) out.push_back(fig.closed && !gapSeen ? fig : std::move(dash));
  }
  return out;
}

struct OutlineSink {
  PathPoints* path;
  Affine back;   // stroke units to device pixels
  double scale;  // stroke units per world unit
  FT_Vector last{};
  bool open = false;

  POINTFIX Device(double x, double y) const {
    double wx = x / scale, wy = y / scale;
    return POINTFIX{RoundFix((wx * back.m11 + wy * back.m21 + back.dx) * 16),
                    RoundFix((wx * back.m12 + wy * back.m22 + back.dy) * 16)};
  }
  POINTFIX Device(const FT_Vector* v) const { return Device(double(v->x), double(v->y)); }
};

int SinkMove(const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  if (s->open) s->path->CloseFigure();
  POINTFIX p = s->Device(to);
  s->path->MoveTo(p.x, p.y);
  s->last = *to;
  s->open = true;
  return 0;
}

int SinkLine(const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  POINTFIX p = s->Device(to);
  s->path->LineTo(p.x, p.y);
  s->last = *to;
  return 0;
}

int SinkCubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  s->path->BezierTo(s->Device(c1), s->Device(c2), s->Device(to));
  s->last = *to;
  return 0;
}

int SinkConic(const FT_Vector* c, const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  double x0 = double(s->last.x), y0 = double(s->last.y);
  double cx = double(c->x), cy = double(c->y), x3 = double(to->x), y3 = double(to->y);
  s->path->BezierTo(s->Device(x0 + 2 * (cx - x0) / 3, y0 + 2 * (cy - y0) / 3),
                    s->Device(x3 + 2 * (cx - x3) / 3, y3 + 2 * (cy - y3) / 3), s->Device(x3, y3));
  s->last = *to;
  return 0;
}

// Exports what the stroker holds into `sink` and rewinds it.
bool ExportStroke(FT_Stroker stroker, OutlineSink& sink) {
  FT_UInt points = 0, contours = 0;
  if (FT_Stroker_GetCounts(stroker, &points, &contours) != 0) return false;
  if (points == 0) return true;
  FT_Outline outline;
  if (FT_Outline_New(g_freetype, points, static_cast<FT_Int>(contours), &outline) != 0) return false;
  outline.n_points = 0;
  outline.n_contours = 0;
  FT_Stroker_Export(stroker, &outline);
  FT_Outline_Funcs funcs{SinkMove, SinkLine, SinkConic, SinkCubic, 0, 0};
  bool ok = FT_Outline_Decompose(&outline, &funcs, &sink) == 0;
  if (sink.open) sink.path->CloseFigure();
  sink.open = false;
  FT_Outline_Done(g_freetype, &outline);
  FT_Stroker_Rewind(stroker);
  return ok;
}

}  // namespace

PathPoints FlattenPath(const PathPoints& path) {
  PathPoints out;
  for (const Polyline& fig : Figures(path, 1.0)) {
    out.MoveTo(RoundFix(fig.points[0].x), RoundFix(fig.points[0].y));
    for (size_t i = 1; i < fig.points.size(); ++i) out.LineTo(RoundFix(fig.points[i].x), RoundFix(fig.points[i].y));
    if (fig.closed) out.CloseFigure();
  }
  return out;
}

Region RasterizePath(const PathPoints& path, int fillMode, RECTL clip) {
  std::vector<Edge> edges;
  for (const Polyline& fig : Figures(path, 1.0)) {
    const auto& p = fig.points;
    for (size_t i = 0; i < p.size(); ++i) {
      const Pt& a = p[i];
      const Pt& b = p[(i + 1) % p.size()];
      int64_t ax = RoundFix(a.x), ay = RoundFix(a.y), bx = RoundFix(b.x), by = RoundFix(b.y);
      if (ay == by) continue;
      if (ay < by) edges.push_back({ax, ay, bx, by, 1});
      else edges.push_back({bx, by, ax, ay, -1});
    }
  }
  if (edges.empty() || clip.left >= clip.right || clip.top >= clip.bottom) return Region();
  // A row y samples the pixel centres at 16y; an edge covers the rows whose centre lies in
  // [ya, yb), so a centre on a horizontal boundary belongs to the figure below it.
  std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.ya < r.ya; });
  int64_t rowFirst = std::max<int64_t>(clip.top, CeilDiv(edges.front().ya, 16));
  int64_t maxY = 0;
  for (const Edge& e : edges) maxY = std::max(maxY, e.yb);
  int64_t rowEnd = std::min<int64_t>(clip.bottom, CeilDiv(maxY, 16));
  std::vector<RECTL> rects;
  std::vector<const Edge*> active;
  std::vector<std::pair<int64_t, int>> cross;
  size_t nextEdge = 0;
  for (int64_t row = rowFirst; row < rowEnd; ++row) {
    int64_t y = row * 16;
    while (nextEdge < edges.size() && edges[nextEdge].ya <= y) active.push_back(&edges[nextEdge++]);
    std::erase_if(active, [y](const Edge* e) { return e->yb <= y; });
    cross.clear();
    for (const Edge* e : active) {
      // First column whose centre is at or right of the crossing: ceil(x / 16), exactly.
      __int128 den = static_cast<__int128>(e->yb - e->ya) * 16;
      __int128 num = static_cast<__int128>(e->xa) * (e->yb - e->ya) + static_cast<__int128>(y - e->ya) * (e->xb - e->xa);
      __int128 q = num / den;
      if (num % den != 0 && num > 0) ++q;
      cross.emplace_back(static_cast<int64_t>(q), e->dir);
    }
    std::sort(cross.begin(), cross.end());
    int winding = 0;
    for (size_t i = 0; i + 1 < cross.size(); ++i) {
      winding += fillMode == kFillWinding ? cross[i].second : 1;
      bool inside = fillMode == kFillWinding ? winding != 0 : (winding & 1) != 0;
      int64_t l = std::max<int64_t>(cross[i].first, clip.left);
      int64_t r = std::min<int64_t>(cross[i + 1].first, clip.right);
      if (!inside || l >= r) continue;
      if (!rects.empty() && rects.back().top == row && rects.back().right == l) {
        rects.back().right = static_cast<LONG>(r);
      } else {
        rects.push_back(RECTL{static_cast<LONG>(l), static_cast<LONG>(row), static_cast<LONG>(r), static_cast<LONG>(row + 1)});
      }
    }
  }
  return Region::FromRects(rects);
}

std::optional<PathPoints> WidenPath(const PathPoints& path, const LINEATTRS& attrs, const XFORML* worldToDevice) {
  bool geometric = (attrs.fl & LA_GEOMETRIC) != 0;
  Affine m;
  if (geometric && worldToDevice != nullptr) {
    m = Affine{worldToDevice->eM11, worldToDevice->eM12, worldToDevice->eM21, worldToDevice->eM22,
               worldToDevice->eDx, worldToDevice->eDy};
  }
  double det = m.m11 * m.m22 - m.m12 * m.m21;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return PathPoints{};
  // Stroke units: world units scaled so that one device pixel is about 64 of them (26.6).
  double scale = std::sqrt(std::fabs(det)) * 64;
  double width = geometric ? std::fabs(double(attrs.elWidth.e)) : 1.0 / std::sqrt(std::fabs(det));
  if (!std::isfinite(width)) return std::nullopt;
  std::vector<Polyline> figures = Figures(path, 1.0);
  for (Polyline& fig : figures) {
    for (Pt& p : fig.points) {
      double ux = p.x / 16 - m.dx, uy = p.y / 16 - m.dy;
      p = Pt{(ux * m.m22 - uy * m.m21) / det * scale, (uy * m.m11 - ux * m.m12) / det * scale};
    }
  }
  if (geometric && attrs.cstyle != 0 && attrs.pstyle != nullptr) {
    std::vector<double> style;
    for (ULONG i = 0; i < attrs.cstyle; ++i) style.push_back(std::max(0.0, double(attrs.pstyle[i].e)) * scale);
    figures = Dashes(figures, style, (attrs.fl & LA_STARTGAP) != 0, double(attrs.elStyleState.e) * scale);
  }
  PathPoints out;
  double radius = width * scale / 2;
  if (radius < 1) radius = 1;
  if (radius > 1e9) return std::nullopt;
  FT_Stroker_LineCap cap = FT_STROKER_LINECAP_ROUND;
  FT_Stroker_LineJoin join = FT_STROKER_LINEJOIN_ROUND;
  if (geometric) {
    if (attrs.iEndCap == ENDCAP_SQUARE) cap = FT_STROKER_LINECAP_SQUARE;
    if (attrs.iEndCap == ENDCAP_BUTT) cap = FT_STROKER_LINECAP_BUTT;
    if (attrs.iJoin == JOIN_BEVEL) join = FT_STROKER_LINEJOIN_BEVEL;
    if (attrs.iJoin == JOIN_MITER) join = FT_STROKER_LINEJOIN_MITER_FIXED;
  }
  double miter = std::isfinite(attrs.eMiterLimit) ? std::clamp(double(attrs.eMiterLimit), 1.0, 32000.0) : 10.0;

  std::lock_guard g(g_freetypeLock);
  if (g_freetype == nullptr && FT_Init_FreeType(&g_freetype) != 0) {
    g_freetype = nullptr;
    return std::nullopt;
  }
  FT_Stroker stroker = nullptr;
  if (FT_Stroker_New(g_freetype, &stroker) != 0) return std::nullopt;
  FT_Stroker_Set(stroker, static_cast<FT_Fixed>(std::llround(radius)), cap, join,
                 static_cast<FT_Fixed>(std::llround(miter * 65536)));
  OutlineSink sink{&out, m, scale};
  auto vec = [](const Pt& p) { return FT_Vector{static_cast<FT_Pos>(std::llround(p.x)), static_cast<FT_Pos>(std::llround(p.y))}; };
  bool ok = true;
  size_t batch = 0;
  for (const Polyline& fig : figures) {
    std::vector<FT_Vector> pts;
    for (const Pt& p : fig.points) {
      FT_Vector v = vec(p);
      if (pts.empty() || v.x != pts.back().x || v.y != pts.back().y) pts.push_back(v);
    }
    if (fig.closed && pts.size() > 1 && pts.front().x == pts.back().x && pts.front().y == pts.back().y) pts.pop_back();
    // A lone point draws a dot with round or square caps, as GDI does for a zero-length wide line.
    if (pts.size() == 1) {
      if (cap == FT_STROKER_LINECAP_BUTT) continue;
      pts.push_back(FT_Vector{pts[0].x + 1, pts[0].y});
    }
    bool closed = fig.closed && pts.size() > 2;
    // Long figures go in pieces that meet in the middle of a segment.
    size_t start = 0;
    while (ok && start + 1 < pts.size()) {
      size_t end = std::min(pts.size() - 1, start + kStrokeBatch);
      bool whole = start == 0 && end == pts.size() - 1;
      std::vector<FT_Vector> piece(pts.begin() + static_cast<long>(start), pts.begin() + static_cast<long>(end) + 1);
      if (!whole && end < pts.size() - 1) {
        FT_Vector a = pts[end], b = pts[end + 1];
        FT_Vector mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
        piece.push_back(mid);
        pts[end] = mid;
      }
      ok = FT_Stroker_BeginSubPath(stroker, &piece[0], (whole && closed) ? 0 : 1) == 0;
      for (size_t i = 1; ok && i < piece.size(); ++i) ok = FT_Stroker_LineTo(stroker, &piece[i]) == 0;
      if (ok) ok = FT_Stroker_EndSubPath(stroker) == 0;
      batch += piece.size();
      if (ok && batch >= kStrokeBatch) {
        ok = ExportStroke(stroker, sink);
        batch = 0;
      }
      start = end;
    }
    if (!ok) break;
  }
  if (ok) ok = ExportStroke(stroker, sink);
  FT_Stroker_Done(stroker);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace platform::engine
