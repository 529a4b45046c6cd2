// A job file page drawn on a printer device context over the fake driver: where its units land on
// the device, which hooks its pens, brushes and clips reach, and what a failed call leaves behind.
#include "drawing_page.h"
#include "job_file.h"
#include "page_drawing.h"

namespace {

using drawing::Driver;
using drawing::FiguresOf;
using drawing::Near;
using drawing::Str;
using namespace rt7700print;

class PageDrawingTest : public drawing::PageTest {
 protected:
  // The job's one drawn page, read from a page's "draw" list.
  static PageDrawing Page(const std::string& draw) {
    JobSettings settings;
    auto read = ReadJobText(R"({"pages": [{"draw": )" + draw + "}]}", "JOB", settings);
    if (auto* e = std::get_if<InputError>(&read)) {
      ADD_FAILURE() << e->field << ": " << e->expected;
      return {};
    }
    auto& job = std::get<JobFile>(read);
    return job.drawn.empty() ? PageDrawing{} : std::move(job.drawn[0].drawing);
  }
};

// The fake's printable area starts 118 pixels from the paper's corner.
constexpr LONG kOffset = 118;

TEST_F(PageDrawingTest, PointsAndMillimetresLandOnTheDeviceFromThePapersCorner) {
  for (Unit unit : {Unit::Point, Unit::Millimetre}) {
    // An inch and two inches from the corner, and a 0.01-unit step that must not be lost.
    std::string draw = unit == Unit::Point
                           ? R"([{"op": "line", "from": [72, 72], "to": [144, 72.12]}])"
                           : R"([{"op": "line", "from": [25.4, 25.4], "to": [50.8, 25.45]}])";
    ASSERT_EQ(DrawPage(hdc, Page(draw), unit), std::nullopt);
    auto calls = Take();
    ASSERT_EQ(Hooks(calls), "StrokePath");
    auto f = FiguresOf(calls[0]);
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].points.size(), 2u);
    EXPECT_TRUE(Near(f[0].points[0], {(600 - kOffset) * 16, (600 - kOffset) * 16})) << Str(f[0].points[0]);
    // 0.12 pt and 0.05 mm are a whole device pixel: 600 · 0.12 / 72 = 1, 600 · 0.05 / 25.4 = 1.18.
    EXPECT_TRUE(Near(f[0].points[1], {(1200 - kOffset) * 16, (601 - kOffset) * 16}, 4)) << Str(f[0].points[1]);
    // The page's default pen: a cosmetic black hairline.
    EXPECT_EQ(calls[0].lineAttrs.fl & LA_GEOMETRIC, 0u);
    EXPECT_EQ(calls[0].brushColor, 0u);
  }
  // The device context is as it was: no mapping left behind.
  EXPECT_EQ(GetMapMode(hdc), MM_TEXT);
}

// Angles turn counterclockwise as seen on the page: a quarter arc from 0 to 90 degrees runs from
// three o'clock up to twelve, through the upper right.
TEST_F(PageDrawingTest, ArcsRunCounterclockwiseOnThePageFromStartToEnd) {
  ASSERT_EQ(DrawPage(hdc, Page(R"([{"op": "arc", "at": [72, 72], "size": [144, 144], "start": 0, "end": 90}])"),
                     Unit::Point),
            std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath");
  auto f = FiguresOf(calls[0]);
  ASSERT_EQ(f.size(), 1u);
  const LONG centre = (1200 - kOffset) * 16, radius = 600 * 16;
  EXPECT_TRUE(Near(f[0].points.front(), {centre + radius, centre}, 16)) << Str(f[0].points.front());
  EXPECT_TRUE(Near(f[0].points.back(), {centre, centre - radius}, 16)) << Str(f[0].points.back());
  for (const auto& p : f[0].points) {
    EXPECT_GE(p.x, centre - 16);
    EXPECT_LE(p.y, centre + 16);
  }
}

TEST_F(PageDrawingTest, PensReachTheStrokeWithTheirWidthDashesJoinsCapsAndColour) {
  PageDrawing page = Page(R"([
      {"op": "polyline", "points": [[0, 0], [72, 0], [72, 72]],
       "pen": {"width": 2, "dashes": [6, 3], "join": "miter", "cap": "flat", "gray": 50}},
      {"op": "line", "from": [20, 72], "to": [72, 72], "pen": {"width": 0, "dashes": [7.2, 3.6]}},
      {"op": "line", "from": [20, 72], "to": [72, 72], "pen": {"width": 1, "style": "dot", "cap": "square", "join": "bevel"}}])");
  ASSERT_EQ(DrawPage(hdc, page, Unit::Point), std::nullopt);
  auto calls = Take();
  // Geometric strokes are refused like the printer's driver does, and come back as fills.
  ASSERT_EQ(Hooks(calls), "StrokePath(refused) FillPath StrokePath StrokePath(refused) FillPath");
  const LINEATTRS& wide = calls[0].lineAttrs;
  EXPECT_EQ(wide.fl & (LA_GEOMETRIC | LA_STYLED), LA_GEOMETRIC | LA_STYLED);
  EXPECT_EQ(wide.elWidth.e, 200.0f);  // logical units, which the transform takes to the device
  EXPECT_EQ(wide.iJoin, JOIN_MITER);
  EXPECT_EQ(wide.iEndCap, ENDCAP_BUTT);
  ASSERT_EQ(calls[0].style.size(), 2u);
  EXPECT_EQ(calls[0].style[0].e, 600.0f);
  EXPECT_EQ(calls[0].style[1].e, 300.0f);
  ASSERT_TRUE(calls[0].hasXform);
  EXPECT_NEAR(calls[0].xform.eM11, 600.0 / 7200, 1e-6);
  EXPECT_EQ(calls[1].brushColor, RGB(128, 128, 128));

  // A hairline's dashes are device pixels: 7.2 pt is 60 of them.
  const LINEATTRS& hair = calls[2].lineAttrs;
  EXPECT_EQ(hair.fl & LA_GEOMETRIC, 0u);
  ASSERT_EQ(hair.cstyle, 2u);
  EXPECT_EQ(hair.pstyle[0].l, 60);
  EXPECT_EQ(hair.pstyle[1].l, 30);

  const LINEATTRS& dotted = calls[3].lineAttrs;
  EXPECT_EQ(dotted.iJoin, JOIN_BEVEL);
  EXPECT_EQ(dotted.iEndCap, ENDCAP_SQUARE);
  EXPECT_EQ(dotted.fl & LA_STYLED, LA_STYLED);
}

// A path is stroked, filled or both by what the pen and brush in force are, and "save" and
// "restore" bring back the pen and brush that decide it.
TEST_F(PageDrawingTest, PathsPaintWithThePenAndBrushInForceAcrossSaveAndRestore) {
  const std::string triangle = R"("path": [["move", 20, 20], ["line", 72, 20], ["line", 20, 72], ["close"]])";
  PageDrawing page = Page(R"([
      {"op": "path", )" + triangle + R"(},
      {"op": "path", "brush": {"gray": 50}, )" + triangle + R"(},
      {"op": "path", "pen": "none", "brush": {"gray": 50}, "fill-rule": "nonzero", )" + triangle + R"(},
      {"op": "save"},
      {"op": "set", "pen": "none", "brush": {"color": "#ff0000"}},
      {"op": "path", )" + triangle + R"(},
      {"op": "restore"},
      {"op": "path", )" + triangle + R"(},
      {"op": "polygon", "points": [[20, 20], [30, 20], [20, 30]]}])");
  ASSERT_EQ(DrawPage(hdc, page, Unit::Point), std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath StrokeAndFillPath FillPath FillPath StrokePath StrokePath");
  EXPECT_EQ(calls[1].fillBrushColor, RGB(128, 128, 128));
  EXPECT_EQ(calls[1].fillOptions, FP_ALTERNATEMODE);
  EXPECT_EQ(calls[2].fillOptions, FP_WINDINGMODE);
  EXPECT_EQ(calls[3].fillOptions, FP_ALTERNATEMODE);  // the rule was the operation's alone
  EXPECT_EQ(calls[3].brushColor, RGB(255, 0, 0));
  auto f = FiguresOf(calls[4]);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_TRUE(f[0].closed);
  // After the restore the brush is none again: the polygon is only outlined.
  EXPECT_EQ(calls[5].hook, "StrokePath");
}

TEST_F(PageDrawingTest, ClipsCombineAndEndWithTheirRestore) {
  PageDrawing page = Page(R"([
      {"op": "save"},
      {"op": "clip", "shape": "rectangle", "at": [0, 0], "size": [72, 72]},
      {"op": "clip", "shape": "rectangle", "at": [36, 0], "size": [72, 72], "mode": "union"},
      {"op": "rectangle", "at": [-10, -10], "size": [300, 300], "pen": "none", "brush": {"gray": 100}},
      {"op": "clip", "shape": "ellipse", "at": [0, 0], "size": [72, 72], "mode": "replace"},
      {"op": "rectangle", "at": [-10, -10], "size": [300, 300], "pen": "none", "brush": {"gray": 100}},
      {"op": "restore"},
      {"op": "rectangle", "at": [20, 20], "size": [300, 300], "pen": "none", "brush": {"gray": 100}}])");
  ASSERT_EQ(DrawPage(hdc, page, Unit::Point), std::nullopt);
  auto calls = Take();
  ASSERT_EQ(calls.size(), 3u) << Hooks(calls);
  // The union of two overlapping inches is one rectangle, 1.5 inches wide, on the surface. A
  // rectangle in a path leaves out its right and bottom edges.
  EXPECT_EQ(calls[0].clipComplexity, DC_RECT);
  EXPECT_TRUE(calls[0].clipBounds == (RECTL{0, 0, 900 - kOffset - 1, 600 - kOffset - 1})) << Str(calls[0].clipBounds);
  EXPECT_EQ(calls[1].clipComplexity, DC_COMPLEX);
  EXPECT_EQ(calls[2].clipComplexity, DC_TRIVIAL);
}

TEST_F(PageDrawingTest, PatternsAndHatchesReachTheDriverAsTheirBrushes) {
  PageDrawing page = Page(R"([
      {"op": "polygon", "points": [[0, 0], [72, 0], [0, 72]], "pen": "none",
       "brush": {"pattern": ["####....", "........"], "color": "#800000"}},
      {"op": "polygon", "points": [[0, 0], [72, 0], [0, 72]], "pen": "none",
       "brush": {"hatch": "diagonal-cross", "color": "#000080"}}])");
  ASSERT_EQ(DrawPage(hdc, page, Unit::Point), std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath FillPath");
  EXPECT_EQ(calls[0].realizedHatch, static_cast<LONG>(HS_DDI_MAX));
  EXPECT_EQ(calls[0].realizedSize.cx, 8);
  EXPECT_EQ(calls[0].realizedSize.cy, 2);
  EXPECT_EQ(calls[0].realizedTopRow, 0xF0);
  EXPECT_EQ(calls[0].realizedColour1, RGB(0x80, 0, 0));
  EXPECT_EQ(calls[1].realizedHatch, static_cast<LONG>(HS_DIAGCROSS));
}

TEST_F(PageDrawingTest, AFailedCallNamesTheOperationAndLeavesTheDeviceContextAsItWas) {
  // A fill under an elliptic clip is refused like the printer's driver does; with the blit
  // failing too, nothing is left of the fallback chain.
  Driver().failing = {"BitBlt"};
  PageDrawing page = Page(R"([
      {"op": "save"},
      {"op": "set", "pen": {"width": 3}},
      {"op": "clip", "shape": "ellipse", "at": [0, 0], "size": [72, 72]},
      {"op": "rectangle", "at": [0, 0], "size": [72, 72], "brush": {"gray": 50}},
      {"op": "line", "from": [0, 0], "to": [1, 1]}])");
  SetLastError(0);
  auto failure = DrawPage(hdc, page, Unit::Point);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->rfind("op 4 (rectangle): Rectangle failed (error ", 0), 0u) << *failure;
  Take();

  Driver().failing.clear();
  RECT box{};
  EXPECT_EQ(GetClipBox(hdc, &box), SIMPLEREGION);  // no clip: the whole surface
  EXPECT_EQ(GetObjectType(GetCurrentObject(hdc, OBJ_PEN)), OBJ_PEN);
  ASSERT_TRUE(Rectangle(hdc, 10, 10, 100, 100));
  auto calls = Take();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().clipComplexity, DC_TRIVIAL);
  EXPECT_EQ(calls.back().lineAttrs.fl & LA_GEOMETRIC, 0u);  // not the page's wide pen
}

}  // namespace
