// Lines, shapes, pens, transforms and path brackets on a printer device context, checked in the
// engine objects the driver's hooks receive.
#include <cmath>

#include "drawing_page.h"

namespace {

using drawing::Figure;
using drawing::Driver;
using drawing::FiguresOf;
using drawing::Near;
using drawing::Str;
using fakes::DrawCall;

class GdiDrawingTest : public drawing::PageTest {};

// A circle of radius 100 pixels centred on (100, 100), in 28.4: four quarter Béziers whose
// handles are 0.5523 of the radius long.
const std::vector<POINTFIX> kCircleCounterClockwise = {
    {3200, 1600}, {3200, 716},  {2484, 0},    {1600, 0},    {716, 0},     {0, 716},    {0, 1600},
    {0, 2484},    {716, 3200},  {1600, 3200}, {2484, 3200}, {3200, 2484}, {3200, 1600}};

void ExpectPoints(const Figure& f, const std::vector<POINTFIX>& expected) {
  ASSERT_EQ(f.points.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_TRUE(Near(f.points[i], expected[i])) << "point " << i << " " << Str(f.points[i]) << " expected "
                                                << Str(expected[i]);
}

TEST_F(GdiDrawingTest, AnEllipseIsFourBeziersFromTheRightMiddleInTheArcDirection) {
  // GM_COMPATIBLE pulls the right and bottom edges in by a pixel; GM_ADVANCED takes them whole.
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 201, 201));
  ASSERT_EQ(SetGraphicsMode(hdc, GM_ADVANCED), GM_COMPATIBLE);
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 200, 200));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokeAndFillPath StrokeAndFillPath");
  for (const auto& call : calls) {
    auto figures = FiguresOf(call);
    ASSERT_EQ(figures.size(), 1u);
    EXPECT_TRUE(figures[0].closed);
    EXPECT_EQ(figures[0].Beziers(), 12u);
    ExpectPoints(figures[0], kCircleCounterClockwise);
    EXPECT_EQ(call.brushColor, 0u);               // the black pen
    EXPECT_EQ(call.fillBrushColor, 0x00FFFFFFu);  // the white brush
    EXPECT_EQ(call.mix, 0x0D0Du);                 // R2_COPYPEN both ways
    EXPECT_EQ(call.fillOptions, FP_ALTERNATEMODE);
    EXPECT_EQ(call.lineAttrs.fl & LA_GEOMETRIC, 0u);
  }

  ASSERT_EQ(SetArcDirection(hdc, AD_CLOCKWISE), AD_COUNTERCLOCKWISE);
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 200, 200));
  calls = Take();
  ASSERT_EQ(calls.size(), 1u);
  auto figures = FiguresOf(calls[0]);
  ASSERT_EQ(figures.size(), 1u);
  std::vector<POINTFIX> clockwise(kCircleCounterClockwise.rbegin(), kCircleCounterClockwise.rend());
  ExpectPoints(figures[0], clockwise);
}

TEST_F(GdiDrawingTest, PiesChordsAndArcsFollowTheirRadialsAndOnlyArcsStayOpen) {
  ASSERT_TRUE(Pie(hdc, 0, 0, 201, 201, 300, 100, 100, -50));  // from angle 0 a quarter turn up
  ASSERT_TRUE(Chord(hdc, 0, 0, 201, 201, 300, 100, 100, -50));
  ASSERT_TRUE(Arc(hdc, 0, 0, 201, 201, 300, 100, 100, -50));
  SetArcDirection(hdc, AD_CLOCKWISE);
  ASSERT_TRUE(Arc(hdc, 0, 0, 201, 201, 300, 100, 100, -50));  // three quarters the other way
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokeAndFillPath StrokeAndFillPath StrokePath StrokePath");

  auto pie = FiguresOf(calls[0]);
  ASSERT_EQ(pie.size(), 1u);
  EXPECT_TRUE(pie[0].closed);
  ExpectPoints(pie[0], {{1600, 1600}, {3200, 1600}, {3200, 716}, {2484, 0}, {1600, 0}});
  EXPECT_EQ(pie[0].bezier, (std::vector<bool>{false, true, true, true}));

  auto chord = FiguresOf(calls[1]);
  ASSERT_EQ(chord.size(), 1u);
  EXPECT_TRUE(chord[0].closed);
  ExpectPoints(chord[0], {{3200, 1600}, {3200, 716}, {2484, 0}, {1600, 0}});

  auto arc = FiguresOf(calls[2]);
  ASSERT_EQ(arc.size(), 1u);
  EXPECT_FALSE(arc[0].closed);
  EXPECT_EQ(arc[0].Beziers(), 3u);
  auto reverse = FiguresOf(calls[3]);
  ASSERT_EQ(reverse.size(), 1u);
  EXPECT_EQ(reverse[0].Beziers(), 9u);
  EXPECT_TRUE(Near(reverse[0].points.back(), {1600, 0}));
  EXPECT_TRUE(Near(reverse[0].points[3], {1600, 3200})) << Str(reverse[0].points[3]);  // down first
}

TEST_F(GdiDrawingTest, ARoundRectHasFourCornerCurvesJoinedByItsEdges) {
  SelectObject(hdc, GetStockObject(NULL_BRUSH));
  ASSERT_TRUE(RoundRect(hdc, 0, 0, 101, 51, 20, 10));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath");
  auto f = FiguresOf(calls[0]);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_TRUE(f[0].closed);
  EXPECT_EQ(f[0].Beziers(), 12u);
  EXPECT_EQ(f[0].points.size() - 1 - f[0].Beziers(), 3u);  // three edges drawn, the fourth closes
  // Starts on the right edge below the top-right corner and stays inside the 100×50 frame.
  EXPECT_TRUE(Near(f[0].points[0], {1600, 80})) << Str(f[0].points[0]);
  for (const auto& p : f[0].points) {
    EXPECT_GE(p.x, 0);
    EXPECT_LE(p.x, 1600);
    EXPECT_GE(p.y, 0);
    EXPECT_LE(p.y, 800);
  }
}

TEST_F(GdiDrawingTest, ARectangleFillsAsAPatternBlitAndItsBorderAsAStroke) {
  ASSERT_TRUE(Rectangle(hdc, 10, 20, 110, 70));
  SetROP2(hdc, R2_XORPEN);
  ASSERT_TRUE(Rectangle(hdc, 110, 70, 10, 20));  // corners in any order
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt StrokePath BitBlt StrokePath");
  // Inclusive-exclusive: 100×50 logical units cover 99×49 pixels inside the border.
  EXPECT_TRUE(calls[0].target == (RECTL{10, 20, 109, 69})) << Str(calls[0].target);
  EXPECT_EQ(calls[0].rop4, 0xF0F0u);  // pattern copy
  EXPECT_EQ(calls[0].brushColor, 0x00FFFFFFu);
  EXPECT_EQ(calls[2].rop4, 0x5A5Au);  // pattern XOR destination
  EXPECT_EQ(calls[3].mix, 0x0707u);
  auto f = FiguresOf(calls[1]);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_TRUE(f[0].closed);
  ExpectPoints(f[0], {{109 * 16, 20 * 16}, {10 * 16, 20 * 16}, {10 * 16, 69 * 16}, {109 * 16, 69 * 16}});
  EXPECT_EQ(calls[1].clipComplexity, DC_TRIVIAL);

  // A driver that refuses the blit gets the interior as a filled path.
  SetROP2(hdc, R2_COPYPEN);
  Driver().failing = {"BitBlt"};
  ASSERT_TRUE(Rectangle(hdc, 10, 20, 110, 70));
  EXPECT_EQ(Hooks(Take()), "BitBlt(refused) FillPath StrokePath");
}

TEST_F(GdiDrawingTest, PatBltIsABlitOfWholePixelsAndARefusedOneAFilledPathWithTheSameMix) {
  HBRUSH grey = CreateSolidBrush(RGB(0x40, 0x40, 0x40));
  SelectObject(hdc, grey);
  ASSERT_TRUE(PatBlt(hdc, 50, 60, -20, 10, PATINVERT));  // a negative width extends to the left
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 8, 8, DSTINVERT));
  Driver().failing = {"BitBlt"};
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 8, 8, DSTINVERT));
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 8, 8, BLACKNESS));
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 8, 8, PATCOPY));
  Driver().failing.clear();
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt BitBlt BitBlt(refused) FillPath BitBlt(refused) FillPath BitBlt(refused) FillPath");
  EXPECT_TRUE(calls[0].target == (RECTL{30, 60, 50, 70})) << drawing::Str(calls[0].target);
  EXPECT_EQ(calls[0].rop4, 0x5A5Au);
  EXPECT_EQ(calls[0].brushColor, 0x00404040u);
  EXPECT_EQ(calls[1].rop4, 0x5555u);
  EXPECT_EQ(calls[1].brushColor, 0u);  // no brush for an operation without a pattern
  EXPECT_EQ(calls[3].mix, 0x0606u);    // R2_NOT
  EXPECT_EQ(calls[5].mix, 0x0101u);    // R2_BLACK
  EXPECT_EQ(calls[7].mix, 0x0D0Du);    // R2_COPYPEN
  EXPECT_EQ(calls[7].brushColor, 0x00404040u);
  auto square = FiguresOf(calls[7]);
  ASSERT_EQ(square.size(), 1u);
  ExpectPoints(square[0], {{0, 0}, {128, 0}, {128, 128}, {0, 128}});

  // Turned by the world transform, the rectangle is no longer one the blit can take.
  SetGraphicsMode(hdc, GM_ADVANCED);
  XFORM turn{0.6f, 0.8f, -0.8f, 0.6f, 500, 500};
  SetWorldTransform(hdc, &turn);
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 100, 100, PATCOPY));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath");
  EXPECT_TRUE(Near(FiguresOf(calls[0])[0].points[1], {(500 + 60) * 16, (500 + 80) * 16}));
  SelectObject(hdc, GetStockObject(WHITE_BRUSH));
  DeleteObject(grey);
}

TEST_F(GdiDrawingTest, NullPensAndBrushesSkipTheirHalf) {
  SelectObject(hdc, GetStockObject(NULL_PEN));
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 50, 50));
  HBRUSH grey = CreateSolidBrush(RGB(0x80, 0x40, 0x20));
  SelectObject(hdc, grey);
  SetPolyFillMode(hdc, WINDING);
  POINT star[] = {{50, 0}, {80, 100}, {0, 35}, {100, 35}, {20, 100}};
  ASSERT_TRUE(Polygon(hdc, star, 5));
  SelectObject(hdc, GetStockObject(BLACK_PEN));
  SelectObject(hdc, GetStockObject(NULL_BRUSH));
  ASSERT_TRUE(Polygon(hdc, star, 5));
  SelectObject(hdc, GetStockObject(NULL_PEN));
  ASSERT_TRUE(Polygon(hdc, star, 5));  // nothing to draw
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath FillPath StrokePath");
  EXPECT_EQ(calls[0].fillOptions, FP_ALTERNATEMODE);
  EXPECT_EQ(calls[1].fillOptions, FP_WINDINGMODE);
  EXPECT_EQ(calls[1].brushColor, 0x00204080u);
  auto f = FiguresOf(calls[2]);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_TRUE(f[0].closed);
  EXPECT_EQ(f[0].points.size(), 5u);
  SelectObject(hdc, GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(grey));
}

TEST_F(GdiDrawingTest, LinesUseAndMoveTheCurrentPositionAndPolylinesDoNot) {
  POINT previous{-1, -1};
  ASSERT_TRUE(MoveToEx(hdc, 10, 10, &previous));
  EXPECT_EQ(previous.x, 0);
  ASSERT_TRUE(LineTo(hdc, 20, 10));
  POINT to[] = {{20, 30}, {40, 30}};
  ASSERT_TRUE(PolylineTo(hdc, to, 2));
  POINT elsewhere[] = {{500, 500}, {600, 600}};
  ASSERT_TRUE(Polyline(hdc, elsewhere, 2));
  POINT curve[] = {{50, 0}, {60, 0}, {70, 30}};
  ASSERT_TRUE(PolyBezierTo(hdc, curve, 3));
  POINT at{};
  ASSERT_TRUE(GetCurrentPositionEx(hdc, &at));
  EXPECT_EQ(at.x, 70);
  EXPECT_EQ(at.y, 30);
  POINT two[] = {{0, 0}, {5, 5}, {100, 0}, {100, 9}, {100, 20}};
  DWORD counts[] = {2, 3};
  ASSERT_TRUE(PolyPolyline(hdc, two, counts, 2));

  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath StrokePath StrokePath StrokePath StrokePath");
  auto starts = [&](size_t i) { return FiguresOf(calls[i]).at(0).points.at(0); };
  EXPECT_TRUE(Near(starts(0), {160, 160}, 0));
  EXPECT_TRUE(Near(starts(1), {320, 160}, 0));  // PolylineTo from where LineTo ended
  EXPECT_TRUE(Near(starts(2), {8000, 8000}, 0));
  EXPECT_TRUE(Near(starts(3), {640, 480}, 0));  // Polyline left the position alone
  EXPECT_EQ(FiguresOf(calls[3])[0].Beziers(), 3u);
  auto poly = FiguresOf(calls[4]);
  ASSERT_EQ(poly.size(), 2u);
  EXPECT_FALSE(poly[0].closed);
  EXPECT_EQ(poly[1].points.size(), 3u);

  // Counts that make no figure are refused before anything is drawn.
  SetLastError(0);
  POINT one[] = {{1, 1}};
  EXPECT_FALSE(Polyline(hdc, one, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  POINT five[5] = {};
  EXPECT_FALSE(PolyBezier(hdc, five, 5));
  EXPECT_FALSE(PolyBezierTo(hdc, five, 4));
  DWORD shortCounts[] = {2, 1};
  EXPECT_FALSE(PolyPolyline(hdc, two, shortCounts, 2));
  EXPECT_FALSE(Polygon(hdc, nullptr, 3));
  EXPECT_TRUE(Take().empty());
}

TEST_F(GdiDrawingTest, CosmeticPenStylesReachTheStrokeAsStyleUnits) {
  struct Case {
    HPEN pen;
    std::vector<LONG> style;
    FLONG flags;
  };
  LOGBRUSH black{BS_SOLID, 0, 0};
  DWORD user[] = {5, 2, 1};
  std::vector<Case> cases = {
      {CreatePen(PS_SOLID, 0, 0), {}, 0},
      {CreatePen(PS_DASH, 1, 0), {3, 1}, LA_STYLED},
      {CreatePen(PS_DOT, 0, 0), {1, 1}, LA_STYLED},
      {CreatePen(PS_DASHDOT, 0, 0), {3, 1, 1, 1}, LA_STYLED},
      {CreatePen(PS_DASHDOTDOT, 0, 0), {3, 1, 1, 1, 1, 1}, LA_STYLED},
      {ExtCreatePen(PS_COSMETIC | PS_USERSTYLE, 1, &black, 3, user), {5, 2, 1}, LA_STYLED},
      {ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &black, 0, nullptr), {}, LA_ALTERNATE},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.pen, nullptr);
    SelectObject(hdc, c.pen);
    MoveToEx(hdc, 0, 0, nullptr);
    ASSERT_TRUE(LineTo(hdc, 100, 0));
    auto calls = Take();
    ASSERT_EQ(Hooks(calls), "StrokePath");
    const LINEATTRS& la = calls[0].lineAttrs;
    EXPECT_EQ(la.fl & (LA_GEOMETRIC | LA_STYLED | LA_ALTERNATE), c.flags) << c.style.size();
    EXPECT_EQ(la.elWidth.l, 1);
    std::vector<LONG> got;
    for (const auto& v : calls[0].style) got.push_back(v.l);
    EXPECT_EQ(got, c.style);
  }
  SelectObject(hdc, GetStockObject(BLACK_PEN));
  for (const auto& c : cases) EXPECT_TRUE(DeleteObject(c.pen));

  // Styles a cosmetic pen cannot have are refused.
  SetLastError(0);
  EXPECT_EQ(ExtCreatePen(PS_COSMETIC | PS_SOLID, 3, &black, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ExtCreatePen(PS_COSMETIC | PS_USERSTYLE, 1, &black, 0, nullptr), nullptr);
  EXPECT_EQ(ExtCreatePen(PS_COSMETIC | PS_SOLID, 1, &black, 2, user), nullptr);
  DWORD zeros[] = {0, 0};
  EXPECT_EQ(ExtCreatePen(PS_COSMETIC | PS_USERSTYLE, 1, &black, 2, zeros), nullptr);
  LOGBRUSH hatch{BS_HATCHED, 0, HS_CROSS};
  EXPECT_EQ(ExtCreatePen(PS_COSMETIC | PS_SOLID, 1, &hatch, 0, nullptr), nullptr);
  EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC | PS_ALTERNATE, 4, &black, 0, nullptr), nullptr);
  EXPECT_EQ(CreatePen(9, 1, 0), nullptr);
}

TEST_F(GdiDrawingTest, AGeometricPenIsRefusedByTheStrokeAndReachesTheFillAsAnOutline) {
  LOGBRUSH black{BS_SOLID, 0, 0};
  HPEN wide = ExtCreatePen(PS_GEOMETRIC | PS_DASH | PS_ENDCAP_FLAT | PS_JOIN_MITER, 20, &black, 0, nullptr);
  ASSERT_NE(wide, nullptr);
  SelectObject(hdc, wide);
  MoveToEx(hdc, 100, 100, nullptr);
  ASSERT_TRUE(LineTo(hdc, 1100, 100));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath(refused) FillPath");
  const LINEATTRS& la = calls[0].lineAttrs;
  EXPECT_EQ(la.fl & (LA_GEOMETRIC | LA_STYLED), LA_GEOMETRIC | LA_STYLED);
  EXPECT_EQ(la.elWidth.e, 20.0f);
  EXPECT_EQ(la.iJoin, JOIN_MITER);
  EXPECT_EQ(la.iEndCap, ENDCAP_BUTT);
  ASSERT_EQ(calls[0].style.size(), 2u);
  EXPECT_EQ(calls[0].style[0].e, 60.0f);  // dashes scale with the width
  EXPECT_EQ(calls[0].style[1].e, 20.0f);
  ASSERT_TRUE(calls[0].hasXform);
  EXPECT_EQ(calls[0].xform.eM11, 1.0f);

  // The fill is the dashes' outlines, with the winding rule, in the pen's colour.
  const DrawCall& fill = calls[1];
  EXPECT_EQ(fill.fillOptions, FP_WINDINGMODE);
  EXPECT_EQ(fill.brushColor, 0u);
  auto dashes = FiguresOf(fill);
  ASSERT_GE(dashes.size(), 10u);  // 1000 pixels of 60-on 20-off dashes
  for (const auto& d : dashes) {
    EXPECT_TRUE(d.closed);
    for (const auto& p : d.points) {
      EXPECT_GE(p.x, 100 * 16 - 1);
      EXPECT_LE(p.x, 1100 * 16 + 1);  // flat ends do not reach past the line
      EXPECT_GE(p.y, 90 * 16 - 1);
      EXPECT_LE(p.y, 110 * 16 + 1);
    }
  }
  // With a brush too: the combined hook refuses the wide pen, so the fill goes first and the
  // widened outline over it.
  HBRUSH grey = CreateSolidBrush(RGB(0x80, 0x80, 0x80));
  SelectObject(hdc, grey);
  ASSERT_TRUE(Ellipse(hdc, 100, 100, 300, 300));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokeAndFillPath(refused) FillPath StrokePath(refused) FillPath");
  EXPECT_EQ(calls[1].brushColor, 0x00808080u);
  EXPECT_EQ(FiguresOf(calls[1]).size(), 1u);
  EXPECT_EQ(calls[3].brushColor, 0u);
  EXPECT_EQ(calls[3].fillOptions, FP_WINDINGMODE);
  SelectObject(hdc, GetStockObject(NULL_BRUSH));
  DeleteObject(grey);

  // A wide pen from CreatePen draws solid whatever its style says.
  HPEN solid = CreatePen(PS_DASH, 8, RGB(255, 0, 0));
  SelectObject(hdc, solid);
  ASSERT_TRUE(LineTo(hdc, 100, 100));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath(refused) FillPath");
  EXPECT_EQ(calls[0].lineAttrs.fl & LA_STYLED, 0u);
  EXPECT_EQ(calls[0].lineAttrs.iEndCap, ENDCAP_ROUND);
  EXPECT_EQ(FiguresOf(calls[1]).size(), 1u);
  SelectObject(hdc, GetStockObject(BLACK_PEN));
  DeleteObject(wide);
  DeleteObject(solid);
}

TEST_F(GdiDrawingTest, AnInsideFramePenShrinksTheShapeToKeepItsWidthInsideTheFrame) {
  HPEN inside = CreatePen(PS_INSIDEFRAME, 20, 0);
  SelectObject(hdc, inside);
  SelectObject(hdc, GetStockObject(NULL_BRUSH));
  ASSERT_TRUE(Rectangle(hdc, 0, 0, 201, 101));
  SetMapMode(hdc, MM_LOENGLISH);  // 6 pixels a unit: the pen is 120 pixels wide
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 100, -50));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath(refused) FillPath StrokePath(refused) FillPath");
  auto frame = FiguresOf(calls[0]);
  ASSERT_EQ(frame.size(), 1u);
  ExpectPoints(frame[0], {{190 * 16, 10 * 16}, {10 * 16, 10 * 16}, {10 * 16, 90 * 16}, {190 * 16, 90 * 16}});
  for (size_t i : {1u, 3u}) {
    EXPECT_GE(calls[i].pathBounds.xLeft, -1);
    EXPECT_GE(calls[i].pathBounds.yTop, -1);
  }
  EXPECT_LE(calls[1].pathBounds.xRight, 200 * 16 + 1);
  EXPECT_LE(calls[1].pathBounds.yBottom, 100 * 16 + 1);
  EXPECT_LE(calls[3].pathBounds.xRight, 599 * 16 + 1);
  EXPECT_LE(calls[3].pathBounds.yBottom, 299 * 16 + 1);
  // The ellipse's frame is 599×299 pixels less 60 on each side.
  auto ellipse = FiguresOf(calls[2]);
  ASSERT_EQ(ellipse.size(), 1u);
  EXPECT_TRUE(Near(ellipse[0].points[0], {539 * 16, 2392})) << Str(ellipse[0].points[0]);
  SelectObject(hdc, GetStockObject(BLACK_PEN));
  DeleteObject(inside);
}

TEST_F(GdiDrawingTest, EveryMappingModePutsAnInchAtSixHundredPixels) {
  struct Mode {
    int mode;
    int inch;
  };
  for (Mode m : {Mode{MM_LOMETRIC, 254}, Mode{MM_HIMETRIC, 2540}, Mode{MM_LOENGLISH, 100}, Mode{MM_HIENGLISH, 1000},
                 Mode{MM_TWIPS, 1440}}) {
    SetMapMode(hdc, m.mode);
    SetViewportOrgEx(hdc, 300, 1200, nullptr);  // device pixels
    SetWindowOrgEx(hdc, m.inch, 0, nullptr);    // logical units
    ASSERT_TRUE(PatBlt(hdc, m.inch, 0, m.inch, -m.inch, PATCOPY));  // y grows upwards
    POINT p[] = {{2 * m.inch, -m.inch}};
    ASSERT_TRUE(LPtoDP(hdc, p, 1));
    EXPECT_EQ(p[0].x, 900);
    EXPECT_EQ(p[0].y, 1800);
    auto calls = Take();
    ASSERT_EQ(Hooks(calls), "BitBlt") << m.mode;
    EXPECT_TRUE(calls[0].target == (RECTL{300, 1200, 900, 1800})) << m.mode << " " << drawing::Str(calls[0].target);
    EXPECT_EQ(calls[0].rop4, 0xF0F0u);
  }
  // Anisotropic scales each axis as asked; isotropic keeps them equal by shrinking one.
  SetViewportOrgEx(hdc, 0, 0, nullptr);
  SetWindowOrgEx(hdc, 0, 0, nullptr);
  SetMapMode(hdc, MM_ANISOTROPIC);
  ASSERT_TRUE(SetWindowExtEx(hdc, 100, 100, nullptr));
  ASSERT_TRUE(SetViewportExtEx(hdc, 600, 300, nullptr));
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 100, 100, PATCOPY));
  SetMapMode(hdc, MM_ISOTROPIC);
  ASSERT_TRUE(SetWindowExtEx(hdc, 1000, 1000, nullptr));
  ASSERT_TRUE(SetViewportExtEx(hdc, 600, -300, nullptr));
  SIZE viewport{};
  GetViewportExtEx(hdc, &viewport);
  EXPECT_EQ(viewport.cx, 300);
  EXPECT_EQ(viewport.cy, -300);
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 1000, -1000, PATCOPY));
  // MM_TEXT ignores extents.
  SetMapMode(hdc, MM_TEXT);
  EXPECT_TRUE(SetWindowExtEx(hdc, 5, 5, nullptr));
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 10, 10, PATCOPY));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt BitBlt BitBlt");
  EXPECT_TRUE(calls[0].target == (RECTL{0, 0, 600, 300})) << drawing::Str(calls[0].target);
  EXPECT_TRUE(calls[1].target == (RECTL{0, 0, 300, 300})) << drawing::Str(calls[1].target);
  EXPECT_TRUE(calls[2].target == (RECTL{0, 0, 10, 10})) << drawing::Str(calls[2].target);
}

TEST_F(GdiDrawingTest, TheWorldTransformMapsPathPointsInSixteenthsOfAPixel) {
  XFORM half{0.5f, 0, 0, 0.5f, 0, 0};
  SetLastError(0);
  EXPECT_FALSE(SetWorldTransform(hdc, &half));  // only in GM_ADVANCED
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ASSERT_EQ(SetGraphicsMode(hdc, GM_ADVANCED), GM_COMPATIBLE);
  ASSERT_TRUE(SetWorldTransform(hdc, &half));
  MoveToEx(hdc, 1, 3, nullptr);
  ASSERT_TRUE(LineTo(hdc, 101, 3));
  // A quarter turn: x' = 1000 - y, y' = x.
  XFORM turn{0, 1, -1, 0, 1000, 0};
  ASSERT_TRUE(SetWorldTransform(hdc, &turn));
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 200, 100));
  EXPECT_EQ(SetGraphicsMode(hdc, GM_COMPATIBLE), 0);  // not with a transform in force
  ASSERT_TRUE(ModifyWorldTransform(hdc, nullptr, MWT_IDENTITY));
  EXPECT_EQ(SetGraphicsMode(hdc, GM_COMPATIBLE), GM_ADVANCED);

  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath StrokeAndFillPath");
  auto line = FiguresOf(calls[0]);
  ASSERT_EQ(line.size(), 1u);
  ExpectPoints(line[0], {{8, 24}, {808, 24}});
  EXPECT_EQ(calls[0].xform.eM11, 0.5f);
  // The ellipse turned with its frame: it starts at the world point (200, 50) and is 100 wide.
  auto ellipse = FiguresOf(calls[1]);
  ASSERT_EQ(ellipse.size(), 1u);
  EXPECT_TRUE(Near(ellipse[0].points[0], {950 * 16, 200 * 16})) << Str(ellipse[0].points[0]);
  EXPECT_EQ(calls[1].pathBounds.xLeft, 900 * 16);
  EXPECT_EQ(calls[1].pathBounds.xRight, 1000 * 16);
  EXPECT_EQ(calls[1].pathBounds.yBottom, 200 * 16);
}

TEST_F(GdiDrawingTest, APathBracketCollectsFiguresAndDrawsOnlyWhenUsed) {
  ASSERT_TRUE(BeginPath(hdc));
  MoveToEx(hdc, 10, 10, nullptr);
  LineTo(hdc, 50, 10);
  LineTo(hdc, 50, 40);
  ASSERT_TRUE(CloseFigure(hdc));
  ASSERT_TRUE(Ellipse(hdc, 100, 100, 201, 201));
  LineTo(hdc, 60, 60);  // a figure of its own, from the current position
  EXPECT_TRUE(Take().empty());
  SetLastError(0);
  EXPECT_FALSE(StrokePath(hdc));  // the bracket is still open
  EXPECT_EQ(GetLastError(), ERROR_CAN_NOT_COMPLETE);
  ASSERT_TRUE(EndPath(hdc));
  EXPECT_EQ(GetPath(hdc, nullptr, nullptr, 0), 3 + 13 + 2);
  std::vector<POINT> points(18);
  std::vector<BYTE> types(18);
  ASSERT_EQ(GetPath(hdc, points.data(), types.data(), 18), 18);
  EXPECT_EQ(types[0], PT_MOVETO);
  EXPECT_EQ(types[2], PT_LINETO | PT_CLOSEFIGURE);
  EXPECT_EQ(types[3], PT_MOVETO);
  EXPECT_EQ(points[3].x, 200);  // the ellipse's right middle, in logical units
  EXPECT_EQ(types[16], PT_MOVETO);
  EXPECT_EQ(points[16].x, 50);

  ASSERT_TRUE(StrokeAndFillPath(hdc));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokeAndFillPath");
  auto f = FiguresOf(calls[0]);
  ASSERT_EQ(f.size(), 3u);
  EXPECT_TRUE(f[0].closed && f[1].closed && f[2].closed);  // filling closes the open figure
  EXPECT_EQ(f[1].Beziers(), 12u);
  EXPECT_FALSE(StrokePath(hdc));  // used up

  // An abandoned path draws nothing.
  ASSERT_TRUE(BeginPath(hdc));
  Rectangle(hdc, 0, 0, 10, 10);
  ASSERT_TRUE(AbortPath(hdc));
  EXPECT_FALSE(EndPath(hdc));
  EXPECT_TRUE(Take().empty());
}

TEST_F(GdiDrawingTest, SaveAndRestoreBringBackPensModesTransformsAndClip) {
  HPEN dashed = CreatePen(PS_DASH, 0, 0);
  EXPECT_EQ(SaveDC(hdc), 1);
  SelectObject(hdc, dashed);
  SetROP2(hdc, R2_NOT);
  SetMapMode(hdc, MM_LOENGLISH);
  IntersectClipRect(hdc, 0, 0, 10, -10);
  EXPECT_EQ(SaveDC(hdc), 2);
  SetROP2(hdc, R2_BLACK);
  EXPECT_EQ(SaveDC(hdc), 3);
  SetROP2(hdc, R2_WHITE);

  ASSERT_TRUE(RestoreDC(hdc, -1));  // back to level 3's state
  EXPECT_EQ(GetROP2(hdc), R2_BLACK);
  ASSERT_TRUE(RestoreDC(hdc, 2));
  EXPECT_EQ(GetROP2(hdc), R2_NOT);
  EXPECT_EQ(GetMapMode(hdc), MM_LOENGLISH);
  MoveToEx(hdc, 0, 0, nullptr);
  LineTo(hdc, 100, -100);
  SetLastError(0);
  EXPECT_FALSE(RestoreDC(hdc, 2));  // level 2 is gone
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(RestoreDC(hdc, 0));
  EXPECT_FALSE(RestoreDC(hdc, -2));
  ASSERT_TRUE(RestoreDC(hdc, 1));
  EXPECT_EQ(GetROP2(hdc), R2_COPYPEN);
  EXPECT_EQ(GetMapMode(hdc), MM_TEXT);
  EXPECT_EQ(GetCurrentObject(hdc, OBJ_PEN), GetStockObject(BLACK_PEN));
  MoveToEx(hdc, 10, 10, nullptr);
  LineTo(hdc, 100, 100);
  EXPECT_FALSE(RestoreDC(hdc, -1));

  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath StrokePath");
  EXPECT_EQ(calls[0].mix, 0x0606u);
  EXPECT_EQ(calls[0].style.size(), 2u);
  EXPECT_EQ(calls[0].clipComplexity, DC_RECT);  // the saved clip: a 60-pixel square
  EXPECT_TRUE(calls[0].clipBounds == (RECTL{0, 0, 60, 60})) << drawing::Str(calls[0].clipBounds);
  EXPECT_EQ(FiguresOf(calls[0])[0].points.back().x, 600 * 16);
  EXPECT_EQ(calls[1].mix, 0x0D0Du);
  EXPECT_TRUE(calls[1].style.empty());
  EXPECT_EQ(calls[1].clipComplexity, DC_TRIVIAL);  // no clip, and clear of the page's edges
  EXPECT_TRUE(DeleteObject(dashed));
}

TEST_F(GdiDrawingTest, HatchBrushesAreRealizedByTheDriverOnFirstUse) {
  HBRUSH cross = CreateHatchBrush(HS_CROSS, RGB(0, 0, 0));
  ASSERT_NE(cross, nullptr);
  SelectObject(hdc, cross);
  SelectObject(hdc, GetStockObject(NULL_PEN));
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 100, 100));
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 100, 100));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath FillPath");
  EXPECT_EQ(calls[0].brushColor, 0xFFFFFFFFu);
  EXPECT_EQ(calls[0].realizedHatch, HS_CROSS);
  EXPECT_EQ(calls[1].realizedHatch, HS_CROSS);
  auto realized = std::count_if(Driver().calls.begin(), Driver().calls.end(),
                                [](const std::string& l) { return l.rfind("RealizeBrush", 0) == 0; });
  EXPECT_EQ(realized, 1);  // kept for the brush's life

  // A reset gives the device a new PDEV, which realizes the brush anew; the drawing state stays.
  ASSERT_EQ(EndPage(hdc), 1);
  ASSERT_EQ(ResetDCW(hdc, nullptr), hdc);
  ASSERT_EQ(StartPage(hdc), 1);
  Driver().calls.clear();
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 100, 100));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath");
  EXPECT_EQ(calls[0].realizedHatch, HS_CROSS);
  realized = std::count_if(Driver().calls.begin(), Driver().calls.end(),
                           [](const std::string& l) { return l.rfind("RealizeBrush", 0) == 0; });
  EXPECT_EQ(realized, 1);
  EXPECT_EQ(CreateHatchBrush(HS_DDI_MAX, 0), nullptr);
  SelectObject(hdc, GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(cross));
}

TEST_F(GdiDrawingTest, DibPatternBrushesReachTheDriverTopRowFirstWithTheirColours) {
  // An 8×8 one-bit DIB stored bottom-up: the top row (stored last) is 0xF0, the others 0x0F.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
    DWORD rows[8];
  } dib{};
  dib.header = {sizeof(BITMAPINFOHEADER), 8, 8, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
  dib.colours[0] = {0xFF, 0xFF, 0xFF, 0};
  dib.colours[1] = {0x00, 0x00, 0x80, 0};  // dark red
  for (auto& row : dib.rows) row = 0x0F;
  dib.rows[7] = 0xF0;
  HBRUSH pattern = CreateDIBPatternBrushPt(&dib, DIB_RGB_COLORS);
  ASSERT_NE(pattern, nullptr);
  SelectObject(hdc, pattern);
  SelectObject(hdc, GetStockObject(NULL_PEN));
  POINT triangle[] = {{0, 0}, {100, 0}, {0, 100}};
  ASSERT_TRUE(Polygon(hdc, triangle, 3));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath");
  EXPECT_EQ(calls[0].brushColor, 0xFFFFFFFFu);
  EXPECT_EQ(calls[0].realizedHatch, static_cast<LONG>(HS_DDI_MAX));  // a pattern, not a hatch
  EXPECT_EQ(calls[0].realizedSize.cx, 8);
  EXPECT_EQ(calls[0].realizedSize.cy, 8);
  EXPECT_EQ(calls[0].realizedFormat, BMF_1BPP);
  EXPECT_EQ(calls[0].realizedTopRow, 0xF0);
  EXPECT_EQ(calls[0].realizedColour1, RGB(0x80, 0, 0));

  SetLastError(0);
  dib.header.biBitCount = 3;
  EXPECT_EQ(CreateDIBPatternBrushPt(&dib, DIB_RGB_COLORS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateDIBPatternBrushPt(nullptr, DIB_RGB_COLORS), nullptr);
  SelectObject(hdc, GetStockObject(WHITE_BRUSH));
  DeleteObject(pattern);
}

// A pattern from a monochrome bitmap paints its 0 bits in the text colour and its 1 bits in the
// background colour the device context has when the brush is used; the bitmap can go at once.
TEST_F(GdiDrawingTest, MonochromeBitmapPatternBrushesTakeTheContextsColours) {
  const BYTE rows[16] = {0xF0, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0};
  HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, rows);
  ASSERT_NE(bitmap, nullptr);
  HBRUSH pattern = CreatePatternBrush(bitmap);
  ASSERT_NE(pattern, nullptr);
  DeleteObject(bitmap);
  SelectObject(hdc, pattern);
  SelectObject(hdc, GetStockObject(NULL_PEN));
  POINT triangle[] = {{0, 0}, {100, 0}, {0, 100}};
  std::vector<ULONG> colour1;
  for (COLORREF back : {RGB(255, 255, 255), RGB(0, 0, 0x80), RGB(255, 255, 255)}) {
    SetTextColor(hdc, RGB(0x57, 0x57, 0x57));
    SetBkColor(hdc, back);
    ASSERT_TRUE(Polygon(hdc, triangle, 3));
    auto calls = Take();
    ASSERT_EQ(Hooks(calls), "FillPath");
    EXPECT_EQ(calls[0].brushColor, 0xFFFFFFFFu);
    EXPECT_EQ(calls[0].realizedSize.cx, 8);
    EXPECT_EQ(calls[0].realizedFormat, BMF_1BPP);
    EXPECT_EQ(calls[0].realizedTopRow, 0xF0);
    colour1.push_back(calls[0].realizedColour1);
  }
  EXPECT_EQ(colour1, (std::vector<ULONG>{RGB(255, 255, 255), RGB(0, 0, 0x80), RGB(255, 255, 255)}));

  // A colour bitmap becomes a colour pattern of what it holds now.
  const DWORD pixels[4] = {0x000A141E, 0, 0, 0};  // top-left red 10, green 20, blue 30
  HBITMAP colour = CreateBitmap(2, 2, 1, 32, pixels);
  HBRUSH fromColour = CreatePatternBrush(colour);
  ASSERT_NE(fromColour, nullptr);
  SelectObject(hdc, fromColour);
  ASSERT_TRUE(Polygon(hdc, triangle, 3));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath");
  EXPECT_EQ(calls[0].realizedFormat, BMF_24BPP);
  EXPECT_EQ(calls[0].realizedTopRow, 30) << "blue first";
  SetLastError(0);
  EXPECT_EQ(CreatePatternBrush(reinterpret_cast<HBITMAP>(pattern)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SelectObject(hdc, GetStockObject(WHITE_BRUSH));
  DeleteObject(pattern);
  DeleteObject(fromColour);
  DeleteObject(colour);
}

TEST_F(GdiDrawingTest, ObjectsOutliveTheirHandlesWhileSelectedAndStockObjectsStay) {
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ previous = SelectObject(hdc, brush);
  EXPECT_EQ(previous, GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetObjectType(brush), OBJ_BRUSH);
  EXPECT_TRUE(DeleteObject(brush));  // still selected: the device context keeps what it drew with
  SetLastError(0);
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  SelectObject(hdc, GetStockObject(NULL_PEN));
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 10, 10));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath");
  EXPECT_EQ(calls[0].brushColor, 0x00030201u);
  EXPECT_EQ(SelectObject(hdc, brush), nullptr);  // the handle itself is gone
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), OBJ_PEN);
  LOGBRUSH solid{BS_SOLID, 0, 0};
  HPEN ext = ExtCreatePen(PS_GEOMETRIC | PS_SOLID, 3, &solid, 0, nullptr);
  EXPECT_EQ(GetObjectType(ext), OBJ_EXTPEN);
  EXPECT_TRUE(DeleteObject(ext));
  // A world transform that flattens the page is refused.
  SetGraphicsMode(hdc, GM_ADVANCED);
  XFORM flat{1, 1, 1, 1, 0, 0};
  EXPECT_FALSE(SetWorldTransform(hdc, &flat));
  EXPECT_FALSE(ModifyWorldTransform(hdc, &flat, MWT_LEFTMULTIPLY));
}

TEST_F(GdiDrawingTest, OutsideAPageNothingReachesTheDriver) {
  ASSERT_EQ(EndPage(hdc), 1);
  EXPECT_TRUE(Rectangle(hdc, 0, 0, 100, 100));
  EXPECT_TRUE(LineTo(hdc, 5, 5));
  EXPECT_TRUE(PatBlt(hdc, 0, 0, 5, 5, PATCOPY));
  EXPECT_TRUE(Take().empty());
  ASSERT_EQ(StartPage(hdc), 1);
  EXPECT_FALSE(Rectangle(reinterpret_cast<HDC>(0x1234), 0, 0, 1, 1));
  SetLastError(0);
  EXPECT_EQ(PatBlt(hdc, 0, 0, 5, 5, 0x00CC0020), FALSE);  // a source copy has no source here
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
