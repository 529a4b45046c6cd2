// The engine's geometry: clipped cosmetic-line runs against a brute-force pixel walk, rasterised
// fills against the pixels their figures hold, widened strokes as the outlines a DrvFillPath gets.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "platform/engine_objects.h"

namespace {

using namespace platform::engine;

constexpr FIX F(double pixels) { return static_cast<FIX>(pixels * 16); }

// --- clipped lines ---

int64_t Floor16(int64_t v) { return v >= 0 ? v / 16 : -((-v + 15) / 16); }

// The pixel of index i of the line, walked one index at a time from the documented rule.
std::pair<int64_t, int64_t> PixelAt(POINTFIX a, POINTFIX b, int64_t i) {
  int64_t dx = int64_t(b.x) - a.x, dy = int64_t(b.y) - a.y;
  bool xMajor = std::llabs(dx) >= std::llabs(dy);
  int64_t dM = xMajor ? dx : dy, dm = xMajor ? dy : dx;
  int64_t major = (xMajor ? a.x : a.y) + (dM < 0 ? -16 * i : 16 * i);
  int64_t off = (16 * i * std::llabs(dm) + std::llabs(dM) / 2) / std::llabs(dM);
  int64_t minor = (xMajor ? a.y : a.x) + (dm < 0 ? -off : off);
  int64_t pm = Floor16(major + 8), pn = Floor16(minor + 8);
  return xMajor ? std::make_pair(pm, pn) : std::make_pair(pn, pm);
}

int64_t PixelCount(POINTFIX a, POINTFIX b) {
  int64_t d = std::max(std::llabs(int64_t(b.x) - a.x), std::llabs(int64_t(b.y) - a.y));
  return (d + 15) / 16;
}

struct Line {
  POINTFIX a, b;
  std::set<int64_t> indices;
};

// Every line the engine hands out, with the indices of its runs; the same line may come in
// several calls when its runs do not fit.
std::vector<Line> ClipLines(PATHOBJ* ppo, CLIPOBJ* pco, ULONG bufferBytes, int* calls = nullptr) {
  std::vector<Line> out;
  LINEATTRS la = LineAttrs::Cosmetic().attrs;
  PATHOBJ_vEnumStartClipLines(ppo, pco, nullptr, &la);
  std::vector<uint64_t> buffer((bufferBytes + 7) / 8);
  auto* cl = reinterpret_cast<CLIPLINE*>(buffer.data());
  for (int guard = 0; guard < 100000; ++guard) {
    BOOL more = PATHOBJ_bEnumClipLines(ppo, bufferBytes, cl);
    if (calls) ++*calls;
    if (cl->c > 0) {
      if (out.empty() || out.back().a.x != cl->ptfxA.x || out.back().a.y != cl->ptfxA.y ||
          out.back().b.x != cl->ptfxB.x || out.back().b.y != cl->ptfxB.y) {
        out.push_back({cl->ptfxA, cl->ptfxB, {}});
      }
      for (ULONG r = 0; r < cl->c; ++r) {
        EXPECT_LE(cl->arun[r].iStart, cl->arun[r].iStop);
        for (LONG i = cl->arun[r].iStart; i <= cl->arun[r].iStop; ++i) {
          EXPECT_TRUE(out.back().indices.insert(i).second) << "index " << i << " in two runs";
        }
      }
    }
    if (!more) break;
  }
  return out;
}

// A region with holes, notches and single-pixel rectangles: an ellipse less a grid of squares,
// plus scattered dots.
Region ComplexRegion() {
  PathPoints ellipse;
  const double k = 0.5522847498;
  double cx = 120, cy = 90, rx = 100, ry = 70;
  auto P = [](double x, double y) { return POINTFIX{F(x), F(y)}; };
  ellipse.MoveTo(F(cx + rx), F(cy));
  ellipse.BezierTo(P(cx + rx, cy + k * ry), P(cx + k * rx, cy + ry), P(cx, cy + ry));
  ellipse.BezierTo(P(cx - k * rx, cy + ry), P(cx - rx, cy + k * ry), P(cx - rx, cy));
  ellipse.BezierTo(P(cx - rx, cy - k * ry), P(cx - k * rx, cy - ry), P(cx, cy - ry));
  ellipse.BezierTo(P(cx + k * rx, cy - ry), P(cx + rx, cy - k * ry), P(cx + rx, cy));
  ellipse.CloseFigure();
  Region r = RasterizePath(ellipse, kFillAlternate, RECTL{0, 0, 400, 400});
  for (LONG y = 0; y < 200; y += 13) {
    for (LONG x = 0; x < 260; x += 11) r.Subtract(Region(RECTL{x, y, x + 4, y + 5}));
  }
  for (LONG i = 0; i < 40; ++i) r.Union(Region(RECTL{230 + i % 7, 10 + 3 * i, 231 + i % 7, 11 + 3 * i}));
  return r;
}

TEST(ClipLinesTest, RunsAgreeWithABruteForceWalkOverAComplexRegion) {
  Region clip = ComplexRegion();
  ASSERT_GT(clip.RectCount(), 100u);
  std::mt19937 rng(9);
  std::uniform_int_distribution<FIX> coord(F(-20), F(280));
  PathPoints path;
  std::vector<std::pair<POINTFIX, POINTFIX>> segments;
  auto add = [&](POINTFIX a, POINTFIX b) {
    path.MoveTo(a.x, a.y);
    path.LineTo(b.x, b.y);
    segments.emplace_back(a, b);
  };
  // Horizontal, vertical, diagonal both ways, fractional ends, then random lines.
  add({F(0), F(90)}, {F(250), F(90)});
  add({F(120), F(-5)}, {F(120), F(190)});
  add({F(230), F(200)}, {F(10), F(-20)});
  add({F(10) + 7, F(170) + 9}, {F(230) + 3, F(15) + 8});
  add({F(200) + 8, F(40) + 8}, {F(30) - 8, F(41) - 8});
  for (int i = 0; i < 300; ++i) add({coord(rng), coord(rng)}, {coord(rng), coord(rng)});
  EnginePath ppo(path);
  EngineClip co(&clip, RECTL{-100, -100, 1000, 1000}, RECTL{-30, -30, 300, 300});
  ASSERT_EQ(co.get()->iDComplexity, DC_COMPLEX);

  int calls = 0;
  std::vector<Line> lines = ClipLines(ppo.get(), co.get(), 432, &calls);
  size_t next = 0;
  int64_t pixelsInside = 0;
  for (auto [a, b] : segments) {
    std::set<int64_t> expected;
    for (int64_t i = 0; i < PixelCount(a, b); ++i) {
      auto [x, y] = PixelAt(a, b, i);
      if (clip.Contains(static_cast<LONG>(x), static_cast<LONG>(y))) expected.insert(i);
    }
    pixelsInside += static_cast<int64_t>(expected.size());
    if (expected.empty()) continue;  // a line wholly clipped away is not handed out
    ASSERT_LT(next, lines.size());
    const Line& got = lines[next++];
    ASSERT_EQ(got.a.x, a.x);
    ASSERT_EQ(got.b.y, b.y);
    EXPECT_EQ(got.indices, expected) << "line (" << a.x << "," << a.y << ")-(" << b.x << "," << b.y << ")";
  }
  EXPECT_EQ(next, lines.size());
  EXPECT_GT(pixelsInside, 10000);

  // With room for two runs per call every line still arrives whole.
  std::vector<Line> small = ClipLines(ppo.get(), co.get(), offsetof(CLIPLINE, arun) + 2 * sizeof(RUN));
  ASSERT_EQ(small.size(), lines.size());
  for (size_t i = 0; i < small.size(); ++i) EXPECT_EQ(small[i].indices, lines[i].indices);
}

TEST(ClipLinesTest, IndicesStartAtTheFirstEndAndExcludeTheLastPixel) {
  PathPoints path;
  path.MoveTo(F(10), F(5));
  path.LineTo(F(0), F(5));  // right to left
  path.LineTo(F(0), F(5));  // zero length: nothing
  path.LineTo(F(0), F(9));
  path.CloseFigure();       // back to (10, 5): a y-minor diagonal
  EnginePath ppo(path);
  Region clip = Region::FromRects(std::vector<RECTL>{{0, 5, 3, 6}, {6, 5, 8, 6}, {0, 0, 2, 20}});
  EngineClip co(&clip, RECTL{0, 0, 100, 100}, RECTL{0, 0, 11, 10});
  std::vector<Line> lines = ClipLines(ppo.get(), co.get(), 432);
  ASSERT_EQ(lines.size(), 3u);
  // Pixels x = 10..1 along the first line: x 7, 6 are indices 3, 4; x 2, 1 are 8, 9.
  EXPECT_EQ(lines[0].indices, (std::set<int64_t>{3, 4, 8, 9}));
  EXPECT_EQ(lines[1].indices, (std::set<int64_t>{0, 1, 2, 3}));
  EXPECT_EQ(lines[2].a.x, F(0));
  EXPECT_EQ(lines[2].b.x, F(10));
}

// --- rasterising ---

std::vector<POINTFIX> Star() {
  std::vector<POINTFIX> v;
  for (int i = 0; i < 5; ++i) {
    double t = -M_PI / 2 + i * 4 * M_PI / 5;
    v.push_back({F(50.3 + 40 * std::cos(t)), F(50.7 + 40 * std::sin(t))});
  }
  return v;
}

// Winding number at a pixel centre with the same half-open rule, computed directly.
int Winding(const std::vector<POINTFIX>& poly, double px, double py) {
  int w = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    double x0 = poly[i].x / 16.0, y0 = poly[i].y / 16.0;
    double x1 = poly[(i + 1) % poly.size()].x / 16.0, y1 = poly[(i + 1) % poly.size()].y / 16.0;
    int dir = y1 > y0 ? 1 : -1;
    if (y0 > y1) {
      std::swap(x0, x1);
      std::swap(y0, y1);
    }
    if (!(y0 <= py && py < y1)) continue;
    double cx = x0 + (py - y0) * (x1 - x0) / (y1 - y0);
    if (cx <= px) w += dir;
  }
  return w;
}

TEST(RasterizeTest, FillModesAgreeWithWindingNumbersAtPixelCentres) {
  std::vector<POINTFIX> star = Star();
  PathPoints path;
  path.MoveTo(star[0].x, star[0].y);
  for (size_t i = 1; i < star.size(); ++i) path.LineTo(star[i].x, star[i].y);
  Region alternate = RasterizePath(path, kFillAlternate, RECTL{0, 0, 200, 200});
  Region winding = RasterizePath(path, kFillWinding, RECTL{0, 0, 200, 200});
  int centre = 0;
  for (int y = 0; y < 110; ++y) {
    for (int x = 0; x < 110; ++x) {
      int w = Winding(star, x, y);
      ASSERT_EQ(alternate.Contains(x, y), (w & 1) != 0) << x << "," << y;
      ASSERT_EQ(winding.Contains(x, y), w != 0) << x << "," << y;
      centre += w == 2 || w == -2;
    }
  }
  EXPECT_GT(centre, 300);  // the pentagon in the middle tells the modes apart
  EXPECT_TRUE(winding.Contains(50, 50));
  EXPECT_FALSE(alternate.Contains(50, 50));
}

TEST(RasterizeTest, RectanglesTakeTheirLeftAndTopEdgesOnlyAndAbuttingFiguresShareNoPixel) {
  PathPoints square;
  square.MoveTo(F(2), F(3));
  square.LineTo(F(12), F(3));
  square.LineTo(F(12), F(13));
  square.LineTo(F(2), F(13));
  EXPECT_TRUE(RasterizePath(square, kFillWinding, RECTL{0, 0, 100, 100}) == Region(RECTL{2, 3, 12, 13}));
  EXPECT_TRUE(RasterizePath(square, kFillWinding, RECTL{5, 0, 8, 4}) == Region(RECTL{5, 3, 8, 4}));

  PathPoints upper, lower;
  upper.MoveTo(F(0), F(0));
  upper.LineTo(F(40), F(0));
  upper.LineTo(F(0), F(30));
  lower.MoveTo(F(40), F(0));
  lower.LineTo(F(40), F(30));
  lower.LineTo(F(0), F(30));
  Region u = RasterizePath(upper, kFillAlternate, RECTL{0, 0, 100, 100});
  Region l = RasterizePath(lower, kFillAlternate, RECTL{0, 0, 100, 100});
  Region both(u);
  both.Intersect(l);
  EXPECT_TRUE(both.IsEmpty());
  u.Union(l);
  EXPECT_TRUE(u == Region(RECTL{0, 0, 40, 30}));
}

PathPoints Ellipse(double cx, double cy, double rx, double ry) {
  const double k = 0.5522847498;
  auto P = [](double x, double y) { return POINTFIX{F(x), F(y)}; };
  PathPoints e;
  e.MoveTo(F(cx + rx), F(cy));
  e.BezierTo(P(cx + rx, cy + k * ry), P(cx + k * rx, cy + ry), P(cx, cy + ry));
  e.BezierTo(P(cx - k * rx, cy + ry), P(cx - rx, cy + k * ry), P(cx - rx, cy));
  e.BezierTo(P(cx - rx, cy - k * ry), P(cx - k * rx, cy - ry), P(cx, cy - ry));
  e.BezierTo(P(cx + k * rx, cy - ry), P(cx + rx, cy - k * ry), P(cx + rx, cy));
  e.CloseFigure();
  return e;
}

// Pixels clearly inside or outside the true ellipse (by more than the Bézier and flattening
// error) must come out that way.
void ExpectEllipse(const Region& r, double cx, double cy, double rx, double ry, const RECTL& limit) {
  int checked = 0;
  for (LONG y = limit.top; y < limit.bottom; ++y) {
    for (LONG x = limit.left; x < limit.right; ++x) {
      double d = std::sqrt(std::pow((x - cx) / rx, 2) + std::pow((y - cy) / ry, 2)) - 1;
      if (std::fabs(d) * std::min(rx, ry) < 0.25) continue;
      ASSERT_EQ(r.Contains(x, y), d < 0) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

TEST(RasterizeTest, AnEllipseOfBeziersGivesTheEllipsesPixels) {
  Region r = RasterizePath(Ellipse(80.5, 60.25, 70, 45), kFillWinding, RECTL{0, 0, 300, 300});
  ExpectEllipse(r, 80.5, 60.25, 70, 45, RECTL{0, 0, 160, 120});
  double area = 0;
  for (const RECTL& rc : r.Rects()) area += double(rc.right - rc.left) * (rc.bottom - rc.top);
  EXPECT_NEAR(area, M_PI * 70 * 45, M_PI * 70 * 45 * 0.01);
}

TEST(RasterizeTest, FillUnderAnEllipticClipEnumeratesTheIntersection) {
  Region ellipse = RasterizePath(Ellipse(100, 100, 60, 30), kFillAlternate, RECTL{0, 0, 1000, 1000});
  PathPoints rect;
  rect.MoveTo(F(70), F(50));
  rect.LineTo(F(200), F(50));
  rect.LineTo(F(200), F(120));
  rect.LineTo(F(70), F(120));
  rect.CloseFigure();
  Region fill = RasterizePath(rect, kFillWinding, RECTL{0, 0, 1000, 1000});
  EngineClip co(&ellipse, RECTL{0, 0, 1000, 1000}, fill.Bounds());
  fill.Intersect(co.visible());
  ASSERT_EQ(co.get()->iDComplexity, DC_COMPLEX);
  for (ULONG dir : {CD_RIGHTDOWN, CD_LEFTDOWN, CD_RIGHTUP, CD_LEFTUP}) {
    std::vector<RECTL> got;
    CLIPOBJ_cEnumStart(co.get(), FALSE, CT_RECTANGLES, dir, 0);
    ULONG buf[5];
    BOOL more;
    do {
      more = CLIPOBJ_bEnum(co.get(), sizeof(buf), buf);
      auto* er = reinterpret_cast<ENUMRECTS*>(buf);
      if (er->c) got.push_back(er->arcl[0]);
    } while (more);
    Region unionOfRects = Region::FromRects(got);
    EXPECT_TRUE(unionOfRects == fill) << "direction " << dir;
    ExpectEllipse(unionOfRects, 100, 100, 60, 30, RECTL{70, 50, 200, 120});
    for (LONG y = 0; y < 200; ++y) EXPECT_FALSE(unionOfRects.Contains(69, y) || unionOfRects.Contains(100, 120 + y % 20));
  }
}

// --- widening ---

// What a DrvFillPath receives: the figures of the path object, and whether each was closed.
struct FillCall {
  int figures = 0;
  int closed = 0;
  PathPoints path;
  FLONG options = 0;
};
FillCall g_fill;

BOOL RecordingFillPath(SURFOBJ*, PATHOBJ* ppo, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG flOptions) {
  g_fill = FillCall();
  g_fill.options = flOptions;
  PATHOBJ_vEnumStart(ppo);
  PATHDATA pd;
  BOOL more;
  do {
    more = PATHOBJ_bEnum(ppo, &pd);
    for (ULONG i = 0; i < pd.count; ++i) {
      bool start = i == 0 && (pd.flags & PD_BEGINSUBPATH);
      g_fill.path.points.push_back(pd.pptfx[i]);
      g_fill.path.types.push_back(start ? kPathMoveTo : (pd.flags & PD_BEZIERS) ? kPathBezierTo : kPathLineTo);
    }
    if (pd.flags & PD_BEGINSUBPATH) ++g_fill.figures;
    if (pd.flags & PD_CLOSEFIGURE) {
      ++g_fill.closed;
      g_fill.path.CloseFigure();
    }
  } while (more);
  return TRUE;
}

Region Widened(const PathPoints& path, LineAttrs la, const XFORML* xf = nullptr) {
  auto outline = WidenPath(path, *la.get(), xf);
  EXPECT_TRUE(outline.has_value());
  return outline ? RasterizePath(*outline, kFillWinding, RECTL{-500, -500, 1000, 1000}) : Region();
}

PathPoints Segment(double x0, double y0, double x1, double y1) {
  PathPoints p;
  p.MoveTo(F(x0), F(y0));
  p.LineTo(F(x1), F(y1));
  return p;
}

TEST(WidenTest, AWideDashedLineReachesTheFillHookAsOneClosedOutlinePerDash) {
  PathPoints line = Segment(10, 20, 110, 20);
  LineAttrs la = LineAttrs::Geometric(3, JOIN_MITER, ENDCAP_BUTT, 10, {5, 5});
  XFORML doubled{2, 0, 0, 2, 0, 0};  // world lengths double on the device
  auto outline = WidenPath(line, *la.get(), &doubled);
  ASSERT_TRUE(outline.has_value());
  EnginePath ppo(*outline);
  EngineClip co(nullptr, RECTL{0, 0, 1000, 1000}, PathPixelBounds(*outline));
  EngineBrush brush = EngineBrush::Solid(0);
  PFN_DrvFillPath fill = RecordingFillPath;
  ASSERT_TRUE(fill(nullptr, ppo.get(), co.get(), brush.get(), nullptr, 0x0D0D, FP_WINDINGMODE));
  EXPECT_EQ(g_fill.figures, 5);
  EXPECT_EQ(g_fill.closed, 5);
  EXPECT_EQ(g_fill.options, FP_WINDINGMODE);
  // Dashes of 10 device pixels every 20, 6 pixels wide around y = 20.
  std::vector<RECTL> dashes;
  for (int x = 10; x < 110; x += 20) dashes.push_back(RECTL{x, 17, x + 10, 23});
  Region got = RasterizePath(g_fill.path, kFillWinding, RECTL{0, 0, 1000, 1000});
  EXPECT_TRUE(got == Region::FromRects(dashes)) << got.RectCount();
}

TEST(WidenTest, StartGapAndStyleStateShiftTheDashes) {
  PathPoints line = Segment(0, 0, 40, 0);
  LineAttrs gap = LineAttrs::Geometric(2, JOIN_ROUND, ENDCAP_BUTT, 10, {10, 5}, true);
  EXPECT_TRUE(Widened(line, gap) == Region::FromRects(std::vector<RECTL>{{10, -1, 15, 1}, {25, -1, 30, 1}}));
  LineAttrs shifted = LineAttrs::Geometric(2, JOIN_ROUND, ENDCAP_BUTT, 10, {10, 5});
  shifted.attrs.elStyleState.e = 12;
  EXPECT_TRUE(Widened(line, shifted) == Region::FromRects(std::vector<RECTL>{{3, -1, 13, 1}, {18, -1, 28, 1}, {33, -1, 40, 1}}));
}

TEST(WidenTest, CapsAndJoinsShapeTheOutline) {
  PathPoints line = Segment(20, 30, 120, 30);
  EXPECT_TRUE(Widened(line, LineAttrs::Geometric(10, JOIN_MITER, ENDCAP_BUTT)) == Region(RECTL{20, 25, 120, 35}));
  EXPECT_TRUE(Widened(line, LineAttrs::Geometric(10, JOIN_MITER, ENDCAP_SQUARE)) == Region(RECTL{15, 25, 125, 35}));
  Region round = Widened(line, LineAttrs::Geometric(10, JOIN_MITER, ENDCAP_ROUND));
  EXPECT_TRUE(round.Contains(16, 30));
  EXPECT_FALSE(round.Contains(14, 30));
  EXPECT_FALSE(round.Contains(16, 26));  // the cap is round, not square

  PathPoints corner;
  corner.MoveTo(F(0), F(0));
  corner.LineTo(F(50), F(0));
  corner.LineTo(F(50), F(50));
  Region miter = Widened(corner, LineAttrs::Geometric(10, JOIN_MITER, ENDCAP_BUTT, 10));
  Region bevel = Widened(corner, LineAttrs::Geometric(10, JOIN_BEVEL, ENDCAP_BUTT, 10));
  Region limited = Widened(corner, LineAttrs::Geometric(10, JOIN_MITER, ENDCAP_BUTT, 1.2f));
  EXPECT_TRUE(miter.Contains(54, -5));  // the square corner of the miter
  EXPECT_FALSE(bevel.Contains(54, -5));
  EXPECT_FALSE(limited.Contains(54, -5));  // a right angle needs a limit of √2
  EXPECT_TRUE(miter.Contains(53, -3));
  EXPECT_FALSE(limited.Contains(53, -3));  // past the limit the corner is bevelled, not cut short
  EXPECT_TRUE(bevel.Contains(52, -2));

  // A closed figure is joined all round: no notch at its start.
  PathPoints box;
  box.MoveTo(F(0), F(0));
  box.LineTo(F(40), F(0));
  box.LineTo(F(40), F(40));
  box.LineTo(F(0), F(40));
  box.CloseFigure();
  Region framed = Widened(box, LineAttrs::Geometric(4, JOIN_MITER, ENDCAP_BUTT));
  Region expected(RECTL{-2, -2, 42, 42});
  expected.Subtract(Region(RECTL{2, 2, 38, 38}));
  EXPECT_TRUE(framed == expected);
}

TEST(WidenTest, WidthsGoThroughTheWorldTransform) {
  PathPoints line = Segment(0, 0, 60, 60);  // device: a diagonal
  XFORML rotate{0, 1, -1, 0, 0, 0};           // world x is device y
  Region r = Widened(line, LineAttrs::Geometric(4, JOIN_MITER, ENDCAP_BUTT), &rotate);
  EXPECT_TRUE(r.Contains(30, 30));
  EXPECT_TRUE(r.Contains(31, 29));
  EXPECT_FALSE(r.Contains(33, 27));  // beyond half of 4 pixels across the line
  XFORML squash{1, 0, 0, 3, 0, 0};   // widths across a horizontal line triple
  Region h = Widened(Segment(0, 30.5, 50, 30.5), LineAttrs::Geometric(4, JOIN_MITER, ENDCAP_BUTT), &squash);
  EXPECT_TRUE(h == Region(RECTL{0, 25, 50, 37}));
  XFORML singular{1, 1, 1, 1, 0, 0};
  auto none = WidenPath(line, *LineAttrs::Geometric(4, JOIN_MITER, ENDCAP_BUTT).get(), &singular);
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
}

}  // namespace
