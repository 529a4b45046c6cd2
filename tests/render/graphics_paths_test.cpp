// The path hooks through the hook table with engine paths, clips, brushes and line attributes.
#include <string>

#include "graphics_fixture.h"
#include "support/traces.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

class PathHooks : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    black_ = Bound(engine::EngineBrush::Solid(0));
  }

  // Brings the line attributes and pen into a known state, so each case shows only its own commands.
  void Prime() {
    ASSERT_TRUE(Stroke(Polyline({{1, 1}, {2, 2}}), black_, engine::LineAttrs::Cosmetic()));
    Run();
  }

  engine::EngineBrush black_ = engine::EngineBrush::Solid(0);
};

TEST_F(PathHooks, FirstStrokeOfAPageSetsPenAndAttributesThenOnlyTheWindowAndPath) {
  ASSERT_TRUE(Stroke(Polyline({{100, 200}, {300, 200}, {300, 400}, {100, 400}}), black_, engine::LineAttrs::Cosmetic()));
  EXPECT_STREAM(Pcl("MC1,240SVLA2,4LA1,4WU0PW0.042333LTIWPU100,200PD300,200,300,400,100,400"), Run());
  // A closed figure gets its closing segment from the last point back to the start.
  ASSERT_TRUE(Stroke(Polyline({{100, 200}, {300, 200}, {300, 400}, {100, 400}}, true), black_,
                     engine::LineAttrs::Cosmetic()));
  EXPECT_STREAM(Pcl("IWPU100,200PD300,200,300,400,100,400PD100,400,100,200;"), Run());
}

TEST_F(PathHooks, CoordinatesAreFlooredPixelsAndNegativeFractionsRoundDown) {
  Prime();
  engine::PathPoints p;
  MoveTo(p, -1, 15);
  LineTo(p, -17, 16);
  LineTo(p, 33, -16);
  ASSERT_TRUE(Stroke(p, black_, engine::LineAttrs::Cosmetic()));
  EXPECT_STREAM(Pcl("IW0,0,3,2PU-1,0PD-2,1,2,-1"), Run());  // cut at the page edge: a window
}

TEST_F(PathHooks, FilledSubpathsShareOnePolygonAndTheFillRuleChoosesFp) {
  Prime();
  engine::PathPoints p = Polyline({{10, 10}, {50, 10}, {50, 50}}, true);
  MoveTo(p, Fx(60), Fx(60));
  LineTo(p, Fx(90), Fx(60));
  LineTo(p, Fx(90), Fx(90));
  CloseFigure(p);
  ASSERT_TRUE(Fill(p, black_, FP_ALTERNATEMODE));
  EXPECT_STREAM(Pcl("FT10,100IWPU10,10PM0PD50,10,50,50PD50,50,10,10;PM1PU60,60PD90,60,90,90PD90,90,60,60;PM2FP"), Run());
  ASSERT_TRUE(Fill(p, black_, FP_WINDINGMODE));
  EXPECT_STREAM(Pcl("IWPU10,10PM0PD50,10,50,50PD50,50,10,10;PM1PU60,60PD90,60,90,90PD90,90,60,60;PM2FP1"), Run());
}

TEST_F(PathHooks, LongRecordsAreWrittenInChunksOf1024Points) {
  Prime();
  engine::PathPoints p;
  MoveTo(p, 0, 0);
  std::string expected = "IWPU0,0";
  for (int i = 1; i <= 2500; ++i) {
    LineTo(p, Fx(i % 4000), Fx(i / 7));
    if (i == 1 || i == 1025 || i == 2049) expected += "PD";
    else expected += ",";
    expected += std::to_string(i % 4000) + "," + std::to_string(i / 7);
  }
  ASSERT_TRUE(Stroke(p, black_, engine::LineAttrs::Cosmetic()));
  const std::string out = Run();
  EXPECT_STREAM(expected, out);
  size_t chunks = 0;
  for (size_t at = out.find("PD"); at != std::string::npos; at = out.find("PD", at + 2)) ++chunks;
  EXPECT_EQ(chunks, 3u);
}

TEST_F(PathHooks, CurvesAreBezierGroupsAndSuppressLaterClosingSegments) {
  Prime();
  engine::PathPoints p;
  MoveTo(p, Fx(10), Fx(10));
  BezierTo(p, {Fx(20), Fx(0)}, {Fx(30), Fx(0)}, {Fx(40), Fx(10)});
  BezierTo(p, {Fx(30), Fx(20)}, {Fx(20), Fx(20)}, {Fx(10), Fx(10)});
  CloseFigure(p);
  MoveTo(p, Fx(50), Fx(50));
  LineTo(p, Fx(60), Fx(50));
  LineTo(p, Fx(60), Fx(60));
  CloseFigure(p);
  ASSERT_TRUE(Fill(p, black_, FP_WINDINGMODE));
  EXPECT_STREAM(Pcl("FT10,100IWPU10,10PM0PDBZ20,0,30,0,40,10,PDBZ30,20,20,20,10,10PM1PU50,50PD60,50,60,60PM2FP1"), Run());
}

TEST_F(PathHooks, ACurveRecordWithoutWholeCurvesFailsAndLeavesThePolygonOpen) {
  Prime();
  engine::PathPoints p;
  MoveTo(p, Fx(10), Fx(10));
  for (int i = 1; i <= 4; ++i) {
    p.points.push_back({Fx(10 + i), Fx(10)});
    p.types.push_back(engine::kPathBezierTo);
  }
  EXPECT_FALSE(Fill(p, black_, FP_WINDINGMODE));
  EXPECT_STREAM(Pcl("FT10,100IWPU10,10PM0"), Run());
  expectedProblems_ = {"polygon mode left open at the end of the stream (byte " + std::to_string(all_.size() - 3) + ")"};
}

TEST_F(PathHooks, GeometricPensAreLeftToTheEngine) {
  Prime();
  EXPECT_FALSE(Stroke(Polyline({{0, 0}, {100, 0}}), black_,
                      engine::LineAttrs::Geometric(12.0f, JOIN_MITER, ENDCAP_SQUARE)));
  EXPECT_STREAM(Pcl(""), Run());
}

TEST_F(PathHooks, DashStylesAreDefinedOncePerSlotAndReselectedOnlyWhenChanged) {
  Prime();
  const auto line = Polyline({{0, 0}, {10, 0}});
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic({3, 1})));
  // 3 and 1 style units are 36 and 12 pixels: 48 pixels make 2 mm.
  EXPECT_STREAM(Pcl("UL1,36,12LT1,2,1IWPU0,0PD10,0"), Run());
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic({3, 1})));
  EXPECT_STREAM(Pcl("IWPU0,0PD10,0"), Run());
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic()));
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic({3, 1})));
  EXPECT_STREAM(Pcl("LTIWPU0,0PD10,0LT1,2,1IWPU0,0PD10,0"), Run());
}

TEST_F(PathHooks, NinthAndTenthStylesReplaceTheFirstSlots) {
  Prime();
  const auto line = Polyline({{0, 0}, {10, 0}});
  for (LONG k = 1; k <= 8; ++k) ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic({k, 1})));
  Run();
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic({9, 1})));
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic({10, 1})));
  // 120 + 12 pixels are 5 mm, 132 + 12 are 6 mm.
  EXPECT_STREAM(Pcl("UL1,108,12LT1,5,1IWPU0,0PD10,0UL2,120,12LT2,5,1IWPU0,0PD10,0"), Run());
  // The style that lost its slot is defined again.
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic({1, 1})));
  EXPECT_STREAM(Pcl("UL3,12,12LT3,1,1IWPU0,0PD10,0"), Run());
}

TEST_F(PathHooks, MergeControlFollowsBothHalvesOfTheMix) {
  Prime();
  const auto line = Polyline({{0, 0}, {10, 0}});
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic(), nullptr, 0x0D0D));
  // Copy pen over a background that inverts: 240 AND 85.
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic(), nullptr, 0x060D));
  // A foreground mix beyond 15 wraps: 16 is the table's first entry.
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic(), nullptr, 0x0D10));
  EXPECT_STREAM(Pcl("IWPU0,0PD10,0MC1,80IWPU0,0PD10,0MC1,240IWPU0,0PD10,0"), Run());
}

TEST_F(PathHooks, RectangularClipsSetTheWindowOnce) {
  Prime();
  const auto line = Polyline({{0, 100}, {600, 100}});
  engine::Region window(RECTL{50, 60, 400, 500});
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic(), &window));
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic(), &window));
  EXPECT_STREAM(Pcl("IW50,100,400,101PU0,100PD600,100PU0,100PD600,100"), Run());
}

TEST_F(PathHooks, WindowBeyondThePrintableWidthIsClampedAtTheScaledLimit) {
  Prime();
  const RECTL page = SurfaceBounds();
  CLIPOBJ clip{};
  clip.iDComplexity = DC_RECT;
  clip.rclBounds = RECTL{10, 20, page.right + 500, 300};
  EXPECT_EQ(render::SetWindowFromClip(*pdev_, &clip, nullptr), 1);
  pdev_->doc.scaleX = pdev_->doc.scaleY = 200;
  clip.rclBounds.top = 21;
  EXPECT_EQ(render::SetWindowFromClip(*pdev_, &clip, nullptr), 1);
  // Wholly left of the page: nothing, and the window in force stays cached.
  clip.rclBounds = RECTL{-300, 20, 0, 300};
  EXPECT_EQ(render::SetWindowFromClip(*pdev_, &clip, nullptr), 0);
  clip.rclBounds = RECTL{10, 21, page.right / 2, 300};
  EXPECT_EQ(render::SetWindowFromClip(*pdev_, &clip, nullptr), 1);
  pdev_->doc.scaleX = pdev_->doc.scaleY = 100;
  EXPECT_STREAM(PclF("IW10,20,%d,300IW10,21,%d,300", page.right, page.right / 2), Run());
}

TEST_F(PathHooks, FillsUnderAComplexClipGoBackToTheEngine) {
  Prime();
  engine::Region region = engine::Region(RECTL{0, 0, 50, 50}).Union(engine::Region(RECTL{60, 0, 100, 50}));
  EXPECT_FALSE(Fill(Polyline({{0, 0}, {100, 0}, {100, 40}}, true), black_, FP_WINDINGMODE, &region));
  EXPECT_STREAM(Pcl("FT10,100"), Run());
}

// Decodes "PE=<" (absolute, pen up) and "PE" (relative, pen down) pairs back into segments.
std::vector<RECTL> DecodeRuns(const std::string& s) {
  std::vector<RECTL> runs;
  auto number = [&](size_t& i) {
    uint64_t u = 0;
    int shift = 0;
    for (;;) {
      const auto c = static_cast<unsigned char>(s[i++]);
      if (c >= 191) {
        u |= static_cast<uint64_t>(c - 191) << shift;
        break;
      }
      u |= static_cast<uint64_t>(c - 63) << shift;
      shift += 6;
    }
    return static_cast<LONG>(u & 1 ? -static_cast<int64_t>(u >> 1) : static_cast<int64_t>(u >> 1));
  };
  for (size_t i = s.find("PE=<"); i != std::string::npos; i = s.find("PE=<", i)) {
    i += 4;
    RECTL r;
    r.left = number(i);
    r.top = number(i);
    EXPECT_EQ(s.substr(i, 3), ";PE");
    i += 3;
    r.right = r.left + number(i);
    r.bottom = r.top + number(i);
    runs.push_back(r);
  }
  return runs;
}

TEST_F(PathHooks, StrokesUnderAComplexClipBecomeRunsInsideTheRegion) {
  Prime();
  const engine::Region region =
      engine::Region(RECTL{0, 0, 40, 200}).Union(engine::Region(RECTL{60, 0, 100, 200})).Union(engine::Region(RECTL{0, 150, 200, 200}));
  // One horizontal, one steep and one shallow line.
  engine::PathPoints p = Polyline({{5, 20}, {95, 20}, {90, 190}, {10, 160}});
  ASSERT_TRUE(Stroke(p, black_, engine::LineAttrs::Cosmetic(), &region));
  const std::string out = Run();
  const std::vector<RECTL> runs = DecodeRuns(out);
  ASSERT_GE(runs.size(), 4u);
  for (const RECTL& r : runs) {
    EXPECT_TRUE(region.Contains(r.left, r.top)) << r.left << "," << r.top;
    EXPECT_TRUE(region.Contains(r.right, r.bottom)) << r.right << "," << r.bottom;
  }
  // The horizontal line: two runs, the first ending where its rectangle ends, the second at the
  // line's last pixel, which a cosmetic line leaves out.
  EXPECT_EQ(runs[0].left, 5);
  EXPECT_EQ(runs[0].right, 39);
  EXPECT_EQ(runs[1].left, 60);
  EXPECT_EQ(runs[1].right, 94);
  EXPECT_EQ(runs[0].top, 20);
  EXPECT_EQ(runs[1].bottom, 20);
}

TEST_F(PathHooks, StrokeAndFillOutlinesAfterFillingAndReselectsThePen) {
  Prime();
  engine::EngineBrush grey = Bound(engine::EngineBrush::Solid(0x808080));
  engine::PathPoints p = Polyline({{10, 10}, {50, 10}, {50, 50}}, true);
  engine::EnginePath path(p);
  engine::EngineClip clip = Clip(p);
  engine::EngineXform xform;
  engine::LineAttrs la = engine::LineAttrs::Cosmetic();
  POINTL origin{0, 0};
  ASSERT_TRUE(Hook<PFN_DrvStrokeAndFillPath>(INDEX_DrvStrokeAndFillPath)(
      &so_, path.get(), clip.get(), xform.get(), black_.get(), la.get(), grey.get(), &origin, kCopyPen,
      FP_ALTERNATEMODE));
  const std::string out = Run();
  const size_t download = out.find(Pcl("\\e*c1g44W"));
  ASSERT_NE(download, std::string::npos) << testsupport::Decode(out);
  EXPECT_STREAM(Pcl("IWPU10,10PM0PD50,10,50,50PD50,50,10,10;PM2\\e%0A"), out.substr(0, download));
  EXPECT_STREAM(Pcl("\\e*rC\\e%0BFT22,1FPEP"), out.substr(download + 8 + 44));
}

TEST_F(PathHooks, WatermarkProgramIsRecognisedWhenTheDocumentStarts) {
  Prime();
  const auto line = Polyline({{0, 0}, {10, 0}});
  platform::hooks::SetExecutableName("/opt/rt7700/rt7700PCL5eWM.EXE");
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic()));
  EXPECT_STREAM(Pcl("IWPU0,0PD10,0"), Run()) << "learnt at the document's start, not per call";
  ASSERT_TRUE(Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(&so_, 0));
  ASSERT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so_, const_cast<LPWSTR>(u"Overlay"), jobId_));
  ASSERT_TRUE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so_));
  Run();
  // The program's pages go to the spool copy, so the cache shows what was chosen.
  ASSERT_TRUE(Stroke(line, black_, engine::LineAttrs::Cosmetic()));
  EXPECT_EQ(pdev_->caches.rop, 160);
  Run();
}

}  // namespace
}  // namespace rendertest

namespace rendertest {
namespace {

TEST(StructureChecks, CatchEachHpglAndPatternFault) {
  using testsupport::Pcl;
  using testsupport::StructureProblems;
  const testsupport::StreamLimits page{4724, 6779};
  EXPECT_TRUE(StructureProblems(Pcl("\\e%0BPU1,1PM0PD2,2PM1PU3,3PD4,4PM2FPEP"), page).empty());
  EXPECT_EQ(StructureProblems(Pcl("\\e%0BPM0PM0PM2PM2"), page).size(), 2u);
  EXPECT_EQ(StructureProblems(Pcl("\\e%0BFP"), page).size(), 1u);
  EXPECT_EQ(StructureProblems(Pcl("\\e%0BPM0PD1,1FP1PM2"), page).size(), 1u);
  EXPECT_EQ(StructureProblems(Pcl("\\e%0BPM0PD1,1\\e%0APM2"), page).size(), 2u);  // and left open
  EXPECT_EQ(StructureProblems(Pcl("\\e%0BIW10,20,4725,30IW-1,0,5,5IW0,0,4724,6779"), page).size(), 2u);
  EXPECT_EQ(StructureProblems(Pcl("\\e%0BFT22,3SV22,3"), page).size(), 2u);
  EXPECT_EQ(StructureProblems(Pcl("\\e*c3G\\e*v4T"), page).size(), 1u);
  std::string pattern = Pcl("\\e*c3g14W");
  pattern += std::string("\x14\x00\x01\x00\x00\x02\x00\x08\x02\x58\x02\x58\xFF\x00", 14);
  EXPECT_TRUE(StructureProblems(pattern + Pcl("\\e*c3G\\e*v4T\\e%0BFT22,3SV22,3"), page).empty());
  // A header that claims more rows than the data holds.
  pattern[pattern.size() - 9] = 3;
  EXPECT_EQ(StructureProblems(pattern, page).size(), 1u);
  // Encoded polylines may hold capitals; they end at their terminator only.
  EXPECT_TRUE(StructureProblems(Pcl("\\e%0BPE=<AB\xC0\xC0;PE\xBF\xBF;"), page).empty());
}

}  // namespace
}  // namespace rendertest
