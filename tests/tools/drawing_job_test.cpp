// The drawing operations of job file pages as the reader takes them: their geometry in logical
// units, their pens and brushes, and one message naming page, operation and field for each bad value.
#include <gtest/gtest.h>

#include <string>

#include "job_file.h"

inline bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

namespace {

using namespace rt7700print;

JobFile Read(const std::string& text) {
  JobSettings settings;
  auto read = ReadJobText(text, "JOB", settings);
  if (auto* e = std::get_if<InputError>(&read)) {
    ADD_FAILURE() << e->field << ": " << e->expected;
    return {};
  }
  return std::get<JobFile>(read);
}

std::string Problem(const std::string& text) {
  JobSettings settings;
  auto read = ReadJobText(text, "JOB", settings);
  auto* e = std::get_if<InputError>(&read);
  return e == nullptr ? "(accepted)" : e->field + ": " + e->expected;
}

std::vector<POINT> PointsOf(const PageDrawing& page, const DrawOp& op) {
  return {page.points.begin() + op.first, page.points.begin() + op.first + op.count};
}

using Points = std::vector<POINT>;

TEST(DrawingJobTest, OperationsKeepTheirGeometryInHundredthsOfTheUnitOnTheirOwnPage) {
  JobFile job = Read(R"({"pages": [{}, {"unit": "mm", "draw": [
      {"op": "line", "from": [10.5, 20], "to": [-3.004, 9999.996]},
      {"op": "polygon", "points": [[0, 0], [1, 0], [0, 1]]},
      {"op": "rectangle", "at": [10, 20], "size": [30, 40]},
      {"op": "rounded-rectangle", "at": [0, 0], "size": [30, 40], "radius": 5},
      {"op": "arc", "at": [0, 0], "size": [20, 10], "start": 0, "end": 90},
      {"op": "path", "path": [["move", 1, 2], ["line", 3, 4], ["curve", 5, 6, 7, 8, 9, 10], ["close"],
                              ["move", 0, 0], ["line", 1, 1]]},
      {"op": "clip", "shape": "ellipse", "at": [1, 1], "size": [2, 2], "mode": "xor"}]}, {}],
      "unit": "pt"})");
  EXPECT_EQ(job.pages, 3);
  EXPECT_EQ(job.unit, Unit::Point);  // written after the pages, and still the job's
  ASSERT_EQ(job.drawn.size(), 1u);
  EXPECT_EQ(job.drawn[0].number, 2);
  const PageDrawing& page = job.drawn[0].drawing;
  EXPECT_EQ(page.unit, Unit::Millimetre);
  ASSERT_EQ(page.ops.size(), 7u);
  EXPECT_EQ(PointsOf(page, page.ops[0]), (Points{{1050, 2000}, {-300, 1000000}}));
  EXPECT_EQ(PointsOf(page, page.ops[1]), (Points{{0, 0}, {100, 0}, {0, 100}}));
  EXPECT_EQ(PointsOf(page, page.ops[2]), (Points{{1000, 2000}, {4000, 6000}}));
  // The corners' ellipse is twice the radius.
  EXPECT_EQ(PointsOf(page, page.ops[3]), (Points{{0, 0}, {3000, 4000}, {1000, 1000}}));
  // Angles counterclockwise from three o'clock on a y-down page: 90 degrees points up.
  EXPECT_EQ(PointsOf(page, page.ops[4]), (Points{{0, 0}, {2000, 1000}, {3000, 500}, {1000, -1500}}));
  const DrawOp& path = page.ops[5];
  EXPECT_EQ(path.count, 7u);
  std::vector<BYTE> types(page.types.begin() + path.first, page.types.begin() + path.first + path.count);
  EXPECT_EQ(types, (std::vector<BYTE>{PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_BEZIERTO,
                                      PT_BEZIERTO | PT_CLOSEFIGURE, PT_MOVETO, PT_LINETO}));
  EXPECT_EQ(PointsOf(page, path)[4], (POINT{900, 1000}));
  EXPECT_EQ(page.ops[6].clipShape, ClipShape::Ellipse);
  EXPECT_EQ(page.ops[6].clipMode, RGN_XOR);
  EXPECT_EQ(page.points.size(), page.types.size());
}

TEST(DrawingJobTest, PensAndBrushesBecomeWhatGdiTakes) {
  JobFile job = Read(R"({"pages": [{"draw": [
      {"op": "set", "pen": {"width": 0.5, "gray": 25, "dashes": [2, 1], "join": "miter", "cap": "flat"},
       "brush": {"color": "#1a2B3c"}, "fill-rule": "nonzero", "rop": "xor-pen"},
      {"op": "set", "pen": "none", "brush": "none"},
      {"op": "set", "pen": {"style": "none", "width": 3}, "brush": {"hatch": "cross", "gray": 100}},
      {"op": "set", "pen": {"style": "dash-dot", "color": "white"}, "brush": {"pattern": ["#..#", ".##."]}}]}]})");
  ASSERT_EQ(job.drawn.size(), 1u);
  const PageDrawing& page = job.drawn[0].drawing;
  EXPECT_FALSE(page.unit.has_value());
  ASSERT_EQ(page.pens.size(), 4u);
  ASSERT_EQ(page.brushes.size(), 4u);
  const PenSpec& dashed = page.pens[page.ops[0].pen];
  EXPECT_FALSE(dashed.none);
  EXPECT_EQ(dashed.width, 50);
  EXPECT_EQ(dashed.color, RGB(191, 191, 191));  // a quarter of the way to black
  EXPECT_EQ(dashed.style, PS_USERSTYLE);
  EXPECT_EQ(dashed.dashes, (std::vector<DWORD>{200, 100}));
  EXPECT_EQ(dashed.join, PS_JOIN_MITER);
  EXPECT_EQ(dashed.cap, PS_ENDCAP_FLAT);
  EXPECT_EQ(page.ops[0].fillRule, WINDING);
  EXPECT_EQ(page.ops[0].rop, R2_XORPEN);
  EXPECT_EQ(page.brushes[page.ops[0].brush].kind, BrushSpec::Kind::Solid);
  EXPECT_EQ(page.brushes[page.ops[0].brush].color, RGB(0x1A, 0x2B, 0x3C));

  EXPECT_TRUE(page.pens[page.ops[1].pen].none);
  EXPECT_EQ(page.brushes[page.ops[1].brush].kind, BrushSpec::Kind::None);
  EXPECT_TRUE(page.pens[page.ops[2].pen].none);
  EXPECT_EQ(page.brushes[page.ops[2].brush].kind, BrushSpec::Kind::Hatch);
  EXPECT_EQ(page.brushes[page.ops[2].brush].hatch, static_cast<int>(HS_CROSS));
  EXPECT_EQ(page.brushes[page.ops[2].brush].color, RGB(0, 0, 0));

  EXPECT_EQ(page.pens[page.ops[3].pen].style, PS_DASHDOT);
  EXPECT_EQ(page.pens[page.ops[3].pen].width, 0);
  EXPECT_EQ(page.pens[page.ops[3].pen].color, RGB(255, 255, 255));
  const BrushSpec& pattern = page.brushes[page.ops[3].brush];
  EXPECT_EQ(pattern.kind, BrushSpec::Kind::Pattern);
  EXPECT_EQ(pattern.width, 4);
  EXPECT_EQ(pattern.height, 2);
  EXPECT_EQ(pattern.rows, (std::vector<uint32_t>{0x90000000u, 0x60000000u}));  // leftmost pixel in the top bit
}

TEST(DrawingJobTest, BadDrawingGetsOneMessageNamingPageOperationAndField) {
  struct Case {
    const char* job;
    const char* message;
  };
  const Case cases[] = {
      {R"({"pages": [{}, {"draw": [{"op": "save"}, {"op": "save"}, {"op": "save"}, {"op": "restore"},
          {"op": "ellipse", "at": [0, 0], "size": [1, 1], "pen": {"width": 200}}]}]})",
       "page 2, op 5 (ellipse): pen.width: expected a number from 0 to 100"},
      {R"({"pages": [{"draw": [{"op": "line", "from": [0, 0], "to": [1, 1], "pen": {"width": -0.5}}]}]})",
       "page 1, op 1 (line): pen.width: expected a number from 0 to 100"},
      {R"({"pages": [{"draw": [{"op": "circle"}]}]})", nullptr},
      {R"({"pages": [{"draw": [{"at": [0, 0]}]}]})", "page 1, op 1: op: expected the operation's name (the field is missing)"},
      {R"({"pages": [{"draw": [{"op": "line", "from": [0, 0]}]}]})",
       "page 1, op 1 (line): to: expected the end [x, y] (the field is missing)"},
      {R"({"pages": [{"draw": [{"op": "line", "from": [0, 0], "to": [1, 1], "brush": "none"}]}]})",
       "page 1, op 1 (line): brush: expected only op, from, to, pen, rop"},
      {R"({"pages": [{"draw": [{"op": "polyline", "points": [[0, 0], [1, 10001]]}]}]})",
       "page 1, op 1 (polyline): points[1]: expected [x, y], numbers from -10000 to 10000"},
      {R"({"pages": [{"draw": [{"op": "polyline", "points": [[0, 0], ["1", 1]]}]}]})",
       "page 1, op 1 (polyline): points[1]: expected [x, y], numbers from -10000 to 10000"},
      {R"({"pages": [{"draw": [{"op": "polygon", "points": [[0, 0], [1, 1]]}]}]})",
       "page 1, op 1 (polygon): points: expected a list of 3 to 10000 points [x, y]"},
      {R"({"pages": [{"draw": [{"op": "rectangle", "at": [0, 0], "size": [-1, 1]}]}]})",
       "page 1, op 1 (rectangle): size: expected [width, height], numbers from 0 to 10000"},
      {R"({"pages": [{"draw": [{"op": "arc", "at": [0, 0], "size": [1, 1], "start": 0, "end": 400}]}]})",
       "page 1, op 1 (arc): end: expected a number from -360 to 360"},
      {R"({"pages": [{"draw": [{"op": "save"}]}, {"draw": [{"op": "restore"}]}]})",
       "page 2, op 1 (restore): op: expected a save on this page before a restore"},
      {R"({"pages": [{"draw": [{"op": "path", "path": [["line", 1, 1]]}]}]})",
       "page 1, op 1 (path): path[0]: expected a path that starts with [\"move\", x, y]"},
      {R"({"pages": [{"draw": [{"op": "path", "path": [["move", 1, 1], ["curve", 1, 2, 3, 4]]}]}]})",
       "page 1, op 1 (path): path[1]: expected a list of steps: [\"move\", x, y], [\"line\", x, y], "
       "[\"curve\", x1, y1, x2, y2, x3, y3], [\"close\"]"},
      {R"({"pages": [{"draw": [{"op": "path", "path": [["move", 1, 1], ["curve", 1, 2, 3, 4, 5, true]]}]}]})",
       "page 1, op 1 (path): path[1]: expected [x, y], numbers from -10000 to 10000"},
      {R"({"pages": [{"draw": [{"op": "set", "brush": {"hatch": "cross", "pattern": ["#"]}}]}]})",
       "page 1, op 1 (set): brush.pattern: expected a hatch or a pattern, not both"},
      {R"({"pages": [{"draw": [{"op": "set", "brush": {"pattern": ["#.", "#"]}}]}]})",
       "page 1, op 1 (set): brush.pattern[1]: expected a list of 1 to 32 rows of 1 to 32 characters, # for ink and "
       ". for paper, all as long as the first, got \"#\""},
      {R"({"pages": [{"draw": [{"op": "set", "brush": {"hatch": "zigzag"}}]}]})",
       "page 1, op 1 (set): brush.hatch: expected horizontal, vertical, forward-diagonal, backward-diagonal, cross "
       "or diagonal-cross, got \"zigzag\""},
      {R"({"pages": [{"draw": [{"op": "set", "pen": {"color": "#12345"}}]}]})",
       "page 1, op 1 (set): pen.color: expected \"#rrggbb\", \"black\" or \"white\", got \"#12345\""},
      {R"({"pages": [{"draw": [{"op": "set", "pen": {"color": "black", "gray": 3}}]}]})",
       "page 1, op 1 (set): pen.gray: expected a color or a gray, not both"},
      {R"({"pages": [{"draw": [{"op": "set", "pen": {"thickness": 3}}]}]})",
       "page 1, op 1 (set): pen.thickness: expected only width, color, gray, style, dashes, join, cap"},
      {R"({"pages": [{"draw": [{"op": "set", "pen": {"dashes": [0, 0]}}]}]})",
       "page 1, op 1 (set): pen.dashes: expected a list of 1 to 16 lengths from 0 to 1000, not all 0"},
      {R"({"pages": [{"draw": [{"op": "set", "pen": {"style": "dot", "dashes": [1]}}]}]})",
       "page 1, op 1 (set): pen.dashes: expected dashes or a style other than solid, not both"},
      {R"({"pages": [{"draw": [{"op": "set", "pen": 1}]}]})",
       "page 1, op 1 (set): pen: expected \"none\" or a pen object {\"width\": ..., \"color\": ..., ...}"},
      {R"({"pages": [{"draw": [{"op": "set"}]}]})",
       "page 1, op 1 (set): op: expected at least one of pen, brush, fill-rule, rop to set"},
      {R"({"pages": [{"draw": [{"op": "set", "rop": "copy"}]}]})", nullptr},
      {R"({"pages": [{"draw": [{"op": "clip", "shape": "path", "at": [0, 0], "path": [["move", 0, 0]]}]}]})",
       "page 1, op 1 (clip): at: expected no at for a clip by a path"},
      {R"({"pages": [{"draw": [{"op": "clip", "shape": "rectangle", "at": [0, 0], "size": [1, 1], "mode": "and"}]}]})",
       "page 1, op 1 (clip): mode: expected intersect, union, xor, exclude or replace, got \"and\""},
      {R"({"pages": [{}, {"text": "hi"}]})", "page 2: text: expected only \"unit\" and \"draw\""},
      {R"({"pages": [{"unit": "cm"}]})", "page 1: unit: expected \"pt\" or \"mm\""},
      {R"({"pages": [{"unit": ["mm"]}]})", "page 1: unit: expected \"pt\" or \"mm\""},
      {R"({"pages": [{"draw": {"op": "save"}}]})", "page 1: draw: expected a list of drawing operations"},
      {R"({"pages": [{"draw": [{"op": "save"}, 3]}]})", "page 1, op 2: expected an operation object {\"op\": ..., ...}"},
      {R"({"pages": [{"draw": [[]]}]})", "page 1, op 1: expected an operation object {\"op\": ..., ...}"},
      {R"({"pages": [{}, 5]})", "page 2: expected a page object {\"unit\": ..., \"draw\": [...]}"},
      {R"({"unit": "in", "pages": 1})", "unit: expected \"pt\" or \"mm\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.job);
    std::string got = Problem(c.job);
    if (c.message != nullptr) {
      EXPECT_EQ(got, c.message);
    } else {
      EXPECT_NE(got, "(accepted)");
      EXPECT_EQ(got.find('\n'), std::string::npos);
    }
  }
  EXPECT_EQ(Problem(R"({"pages": [{"draw": [{"op": "circle"}]}]})").rfind("page 1, op 1: op: expected line, polyline, "), 0u);
}

// Memory stays in proportion to the text: an operation is bounded while it is still being read,
// and a job's operations and points in all.
TEST(DrawingJobTest, LimitsBoundWhatAJobHoldsWhileItIsRead) {
  std::string many = R"({"pages": [{"draw": [{"op": "polyline", "points": [)";
  for (size_t i = 0; i <= kMaxPointsPerOp; ++i) many += std::string(i == 0 ? "" : ",") + "[1,2]";
  EXPECT_EQ(Problem(many + "]}]}]}"), "page 1, op 1 (polyline): points: expected a list of 2 to 10000 points [x, y]");

  std::string junk = R"({"pages": [{"draw": [{"op": "line", "from": [0, 0], "to": [1, 1], "junk": [)";
  for (size_t i = 0; i < 20 * kMaxPointsPerOp; ++i) junk += i == 0 ? "0" : ",0";
  EXPECT_EQ(Problem(junk + "]}]}]}"), "page 1, op 1: expected at most 10000 points in one operation");

  std::string ops = R"({"pages": [{"draw": [)";
  for (size_t i = 0; i <= kMaxDrawOps; ++i) ops += i == 0 ? R"({"op":"save"})" : R"(,{"op":"save"})";
  EXPECT_EQ(Problem(ops + "]}]}"), "page 1, op 500001 (save): expected at most 500000 drawing operations in a job");

  // Points count across pages: 401 pages of 10000 points pass the job's four million.
  std::string points = R"({"pages": [)";
  std::string polyline = R"({"draw": [{"op": "polyline", "points": [)";
  for (size_t i = 0; i < kMaxPointsPerOp; ++i) polyline += i == 0 ? "[0,0]" : ",[0,0]";
  polyline += "]}]}";
  for (int page = 0; page <= 400; ++page) points += (page == 0 ? "" : ",") + polyline;
  EXPECT_EQ(Problem(points + "]}"), "page 401, op 1 (polyline): expected at most 4000000 points in a job");
}

}  // namespace
