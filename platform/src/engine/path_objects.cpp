// PATHOBJ over a GDI-style path: enumeration records, bounds, and the paths that clip objects
// hand out.
#include <algorithm>

#include "engine/engine_internal.h"

namespace platform::engine {

void PathPoints::MoveTo(FIX x, FIX y) {
  points.push_back({x, y});
  types.push_back(kPathMoveTo);
}

void PathPoints::LineTo(FIX x, FIX y) {
  points.push_back({x, y});
  types.push_back(kPathLineTo);
}

void PathPoints::BezierTo(POINTFIX c1, POINTFIX c2, POINTFIX end) {
  points.insert(points.end(), {c1, c2, end});
  types.insert(types.end(), {kPathBezierTo, kPathBezierTo, kPathBezierTo});
}

void PathPoints::CloseFigure() {
  if (!types.empty() && (types.back() & kPathTypeMask) != kPathMoveTo) types.back() |= kPathCloseFigure;
}

RECTL PathPixelBounds(const PathPoints& path) {
  if (path.points.empty()) return RECTL{0, 0, 0, 0};
  FIX l = path.points[0].x, r = l, t = path.points[0].y, b = t;
  for (const POINTFIX& p : path.points) {
    l = std::min(l, p.x);
    r = std::max(r, p.x);
    t = std::min(t, p.y);
    b = std::max(b, p.y);
  }
  return RECTL{l >> 4, t >> 4, (r >> 4) + 1, (b >> 4) + 1};
}

// Records: a figure starts at a move (or at the path's first point); a run of points of one kind
// (lines or Béziers) makes one record. The first record of a figure begins with the move's point.
EnginePath::Impl::Impl(PathPoints p) : path(std::move(p)) {
  head.owner = this;
  size_t n = std::min(path.points.size(), path.types.size());
  path.points.resize(n);
  path.types.resize(n);
  ULONG curves = 0;
  bool beziers = false;
  bool integers = true;
  size_t i = 0;
  while (i < n) {
    // One figure: the start point and what follows up to the next move.
    size_t figureEnd = i + 1;
    while (figureEnd < n && (path.types[figureEnd] & kPathTypeMask) != kPathMoveTo) ++figureEnd;
    bool closed = false;
    size_t j = i + 1;
    if (j == figureEnd) records.push_back({PD_BEGINSUBPATH | PD_RESETSTYLE, i, 1});
    while (j < figureEnd) {
      BYTE kind = path.types[j] & kPathTypeMask;
      size_t k = j;
      while (k < figureEnd && (path.types[k] & kPathTypeMask) == kind) {
        if (path.types[k] & kPathCloseFigure) closed = true;
        ++k;
      }
      FLONG flags = kind == kPathBezierTo ? PD_BEZIERS : 0;
      size_t start = j;
      if (j == i + 1) {
        flags |= PD_BEGINSUBPATH | PD_RESETSTYLE;
        start = i;
      }
      records.push_back({flags, start, static_cast<ULONG>(k - start)});
      if (kind == kPathBezierTo) {
        beziers = true;
        curves += static_cast<ULONG>((k - j + 2) / 3);
      } else {
        curves += static_cast<ULONG>(k - j);
      }
      j = k;
    }
    records.back().flags |= PD_ENDSUBPATH | (closed ? PD_CLOSEFIGURE : 0);
    i = figureEnd;
  }
  for (const POINTFIX& pt : path.points) {
    if ((pt.x & 15) != 0 || (pt.y & 15) != 0) integers = false;
  }
  head.obj.fl = (beziers ? PO_BEZIERS : 0) | (integers ? PO_ALL_INTEGERS : 0);
  head.obj.cCurves = curves;
}

EnginePath::EnginePath(PathPoints path) : impl_(std::make_unique<Impl>(std::move(path))) {}
EnginePath::~EnginePath() = default;
EnginePath::EnginePath(EnginePath&&) noexcept = default;
EnginePath& EnginePath::operator=(EnginePath&&) noexcept = default;
PATHOBJ* EnginePath::get() { return &impl_->head.obj; }
const PathPoints& EnginePath::points() const { return impl_->path; }

}  // namespace platform::engine

using platform::engine::EnginePath;

extern "C" void PATHOBJ_vEnumStart(PATHOBJ* ppo) {
  if (auto* p = platform::engine::PathHeader::From(ppo)) p->nextRecord = 0;
}

extern "C" BOOL PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd) {
  auto* p = platform::engine::PathHeader::From(ppo);
  if (ppd == nullptr) return FALSE;
  *ppd = PATHDATA{0, 0, nullptr};
  if (p == nullptr || p->nextRecord >= p->records.size()) return FALSE;
  const platform::engine::PathRecord& r = p->records[p->nextRecord++];
  ppd->flags = r.flags;
  ppd->count = r.count;
  ppd->pptfx = p->path.points.data() + r.first;
  return p->nextRecord < p->records.size() ? TRUE : FALSE;
}

// The bounds hold every point, control points included; right and bottom are inclusive.
extern "C" void PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx) {
  if (prectfx == nullptr) return;
  *prectfx = RECTFX{0, 0, 0, 0};
  auto* p = platform::engine::PathHeader::From(ppo);
  if (p == nullptr || p->path.points.empty()) return;
  const auto& pts = p->path.points;
  RECTFX r{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
  for (const POINTFIX& pt : pts) {
    r.xLeft = std::min(r.xLeft, pt.x);
    r.xRight = std::max(r.xRight, pt.x);
    r.yTop = std::min(r.yTop, pt.y);
    r.yBottom = std::max(r.yBottom, pt.y);
  }
  *prectfx = r;
}

extern "C" void EngDeletePath(PATHOBJ* ppo) {
  auto* p = platform::engine::PathHeader::From(ppo);
  if (p != nullptr && p->ownedByEngine) delete p;
}
