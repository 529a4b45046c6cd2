// Clipped runs of cosmetic lines (PATHOBJ_vEnumStartClipLines, PATHOBJ_bEnumClipLines).
//
// The pixels a line from A to B covers: the line is x-major when |dx| >= |dy| (28.4 deltas).
// Along the major axis it takes n = ceil(|dmajor| / 16) pixels, index 0 at A, the last end
// excluded as GDI does. Pixel i sits at major = A.major ± 16·i and minor = A.minor ±
// MulDiv(16·i, |dminor|, |dmajor|) (rounded half away from zero, as the driver reconstructs it);
// each coordinate names the pixel whose centre is nearest, halves going right or down
// (floor((v + 8) / 16)). A run holds the first and last index (both inclusive) of pixels inside.
#include <algorithm>

#include "engine/engine_internal.h"

namespace platform::engine {
namespace {

int64_t FloorDiv16(int64_t v) { return v >= 0 ? v / 16 : -((-v + 15) / 16); }

struct LineWalk {
  bool xMajor;
  int64_t aMajor, aMinor, dMajor, dMinor;  // absolute deltas
  int sMajor, sMinor;
  int64_t n;

  LineWalk(POINTFIX a, POINTFIX b) {
    int64_t dx = int64_t(b.x) - a.x, dy = int64_t(b.y) - a.y;
    xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    int64_t dM = xMajor ? dx : dy, dm = xMajor ? dy : dx;
    aMajor = xMajor ? a.x : a.y;
    aMinor = xMajor ? a.y : a.x;
    sMajor = dM < 0 ? -1 : 1;
    sMinor = dm < 0 ? -1 : 1;
    dMajor = dM < 0 ? -dM : dM;
    dMinor = dm < 0 ? -dm : dm;
    n = (dMajor + 15) / 16;
  }
  int64_t Major(int64_t i) const { return FloorDiv16(aMajor + sMajor * 16 * i + 8); }
  int64_t Minor(int64_t i) const {
    int64_t off = dMajor == 0 ? 0 : (16 * i * dMinor + dMajor / 2) / dMajor;
    return FloorDiv16(aMinor + sMinor * off + 8);
  }
};

// The indices in [0, n) where the monotone f lies in [lo, hi): a (possibly empty) interval.
template <typename F>
std::pair<int64_t, int64_t> Within(F f, int sign, int64_t n, int64_t lo, int64_t hi) {
  // With sign > 0 f grows with i; the first index with f >= lo, the first with f >= hi.
  auto firstWhere = [&](auto pred) {
    int64_t l = 0, r = n;
    while (l < r) {
      int64_t m = l + (r - l) / 2;
      if (pred(m)) r = m;
      else l = m + 1;
    }
    return l;
  };
  if (sign > 0) {
    return {firstWhere([&](int64_t i) { return f(i) >= lo; }), firstWhere([&](int64_t i) { return f(i) >= hi; })};
  }
  return {firstWhere([&](int64_t i) { return f(i) < hi; }), firstWhere([&](int64_t i) { return f(i) < lo; })};
}

}  // namespace

int64_t LinePixelCount(POINTFIX a, POINTFIX b) { return LineWalk(a, b).n; }

std::vector<RUN> LineRuns(POINTFIX a, POINTFIX b, const Region* clip) {
  LineWalk w(a, b);
  if (w.n == 0) return {};
  if (clip == nullptr) return {RUN{0, static_cast<LONG>(w.n - 1)}};
  auto major = [&](int64_t i) { return w.Major(i); };
  auto minor = [&](int64_t i) { return w.Minor(i); };
  int64_t m0 = w.Major(0), m1 = w.Major(w.n - 1), n0 = w.Minor(0), n1 = w.Minor(w.n - 1);
  int64_t majLo = std::min(m0, m1), majHi = std::max(m0, m1), minLo = std::min(n0, n1), minHi = std::max(n0, n1);
  std::vector<std::pair<int64_t, int64_t>> spans;
  for (const RECTL& r : clip->Rects()) {
    int64_t rMajLo = w.xMajor ? r.left : r.top, rMajHi = w.xMajor ? r.right : r.bottom;
    int64_t rMinLo = w.xMajor ? r.top : r.left, rMinHi = w.xMajor ? r.bottom : r.right;
    if (rMajHi <= majLo || rMajLo > majHi || rMinHi <= minLo || rMinLo > minHi) continue;
    auto [s1, e1] = Within(major, w.sMajor, w.n, rMajLo, rMajHi);
    auto [s2, e2] = Within(minor, w.sMinor, w.n, rMinLo, rMinHi);
    int64_t s = std::max(s1, s2), e = std::min(e1, e2);
    if (s < e) spans.emplace_back(s, e);
  }
  std::sort(spans.begin(), spans.end());
  std::vector<RUN> runs;
  for (auto [s, e] : spans) {
    if (!runs.empty() && s <= runs.back().iStop + 1) {
      runs.back().iStop = std::max<LONG>(runs.back().iStop, static_cast<LONG>(e - 1));
    } else {
      runs.push_back(RUN{static_cast<LONG>(s), static_cast<LONG>(e - 1)});
    }
  }
  return runs;
}

}  // namespace platform::engine

using platform::engine::ClipHeader;
using platform::engine::PathHeader;

// Lines are the path's segments with curves flattened, closing segments included. The style
// state of a styled line is its distance in pixels from its figure's start, as (element index <<
// 16) | position within the element, with the style in pixels.
extern "C" void PATHOBJ_vEnumStartClipLines(PATHOBJ* ppo, CLIPOBJ* pco, SURFOBJ*, LINEATTRS* pla) {
  auto* p = PathHeader::From(ppo);
  if (p == nullptr) return;
  p->clipLines.clear();
  p->nextLine = 0;
  p->nextRun = 0;
  const platform::engine::Region* clip = nullptr;
  platform::engine::Region bounds;
  if (auto* c = ClipHeader::From(pco)) {
    if (pco->iDComplexity != DC_TRIVIAL) clip = &c->visible;
  } else if (pco != nullptr && pco->iDComplexity != DC_TRIVIAL) {
    bounds = platform::engine::Region(pco->rclBounds);
    clip = &bounds;
  }
  std::vector<LONG> style;
  LONG styleTotal = 0;
  if (pla != nullptr && pla->pstyle != nullptr && !(pla->fl & LA_GEOMETRIC)) {
    for (ULONG i = 0; i < pla->cstyle; ++i) {
      style.push_back(std::max<LONG>(0, pla->pstyle[i].l));
      styleTotal += style.back();
    }
  }
  platform::engine::PathPoints flat = platform::engine::FlattenPath(p->path);
  const auto& pts = flat.points;
  for (size_t i = 0; i < pts.size();) {
    size_t j = i + 1;
    while (j < pts.size() && (flat.types[j] & platform::engine::kPathTypeMask) != platform::engine::kPathMoveTo) ++j;
    bool closed = j > i + 1 && (flat.types[j - 1] & platform::engine::kPathCloseFigure);
    int64_t travelled = 0;
    for (size_t k = i + 1; k < j + (closed ? 1 : 0); ++k) {
      POINTFIX a = pts[k - 1], b = k < j ? pts[k] : pts[i];
      LONG state = 0;
      if (styleTotal > 0) {
        LONG pos = static_cast<LONG>(travelled % styleTotal);
        LONG index = 0;
        while (pos >= style[static_cast<size_t>(index)]) pos -= style[static_cast<size_t>(index++)];
        state = (index << 16) | pos;
      }
      travelled += platform::engine::LinePixelCount(a, b);
      auto runs = platform::engine::LineRuns(a, b, clip);
      if (!runs.empty()) p->clipLines.push_back({a, b, state, std::move(runs)});
    }
    i = j;
  }
}

// One line per call with as many of its runs as the buffer holds; a line with more runs comes
// again with the rest. TRUE while more follow.
extern "C" BOOL PATHOBJ_bEnumClipLines(PATHOBJ* ppo, ULONG cb, CLIPLINE* pcl) {
  if (pcl == nullptr || cb < offsetof(CLIPLINE, arun)) return FALSE;
  pcl->c = 0;
  auto* p = PathHeader::From(ppo);
  size_t room = (cb - offsetof(CLIPLINE, arun)) / sizeof(RUN);
  if (p == nullptr || room == 0 || p->nextLine >= p->clipLines.size()) return FALSE;
  const platform::engine::ClipLine& line = p->clipLines[p->nextLine];
  pcl->ptfxA = line.a;
  pcl->ptfxB = line.b;
  pcl->lStyleState = line.styleState;
  while (pcl->c < room && p->nextRun < line.runs.size()) pcl->arun[pcl->c++] = line.runs[p->nextRun++];
  if (p->nextRun >= line.runs.size()) {
    ++p->nextLine;
    p->nextRun = 0;
  }
  return p->nextLine < p->clipLines.size() ? TRUE : FALSE;
}
