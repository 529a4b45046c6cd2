#include <gtest/gtest.h>

#include <cstring>

#include "devmode/paper_tables.h"
#include "devmode/render_devmode.h"
#include "support/traces.h"

namespace devmode {
namespace {

RenderSettings Settings(int paper, int orientation, int yres = 600) {
  RenderSettings r{};
  Devmod2_InitDevMode(&r, u"R7700");
  r.pub.dmPaperSize = static_cast<SHORT>(paper);
  r.pub.dmOrientation = static_cast<SHORT>(orientation);
  r.pub.dmYResolution = static_cast<SHORT>(yres);
  return r;
}

TEST(PaperTables, TablesHoldEveryPaperOnceWithGeometry) {
  ASSERT_EQ(Papers().size(), 29u);
  ASSERT_EQ(PaperGeometries().size(), 29u);
  for (const auto& p : Papers()) {
    ASSERT_NE(PortraitGeometry(p.paperNumber), nullptr) << p.paperNumber;
    EXPECT_LE(std::strlen(p.pjlName), 11u);
    EXPECT_EQ(&LookupPaper(p.paperNumber), &p);
  }
  EXPECT_EQ(LookupPaper(200).paperNumber, -1);
  EXPECT_EQ(LookupPaper(-1).paperNumber, -1);
}

TEST(PaperTables, A5NamesFollowFeedDirection) {
  EXPECT_STREQ(PjlPaperName(11, false), "A5L");
  EXPECT_EQ(PclPageSizeCode(11, false), 318);
  EXPECT_STREQ(PjlPaperName(11, true), "A5");
  EXPECT_EQ(PclPageSizeCode(11, true), 25);
  EXPECT_STREQ(PjlPaperName(9, false), "A4");  // only A5 has a long-edge form
}

TEST(PaperTables, PageSizeCodesForUnknownAndCustomPapers) {
  EXPECT_EQ(PclPageSizeCode(200, true), 26);
  EXPECT_EQ(PclPageSizeCode(287, true), 26);
  EXPECT_EQ(PclPageSizeCode(288, true), 101);
  EXPECT_EQ(PclPageSizeCode(240, true), 329);
  EXPECT_EQ(PjlPaperName(288, true), nullptr);
  EXPECT_EQ(PjlPaperName(200, true), nullptr);
}

TEST(PaperTables, MediaLookupFallsBackToPlain) {
  EXPECT_EQ(LookupMedia(0).mediaNumber, -1);
  EXPECT_STREQ(MediaOrPlain(0).name, "PLAIN");
  EXPECT_STREQ(MediaOrPlain(3).name, "PLAIN");
  EXPECT_STREQ(MediaOrPlain(263).name, "LABELS");
  for (const auto& m : MediaTypes()) EXPECT_EQ(m.byteCount, static_cast<int>(std::strlen(m.name)) + 1) << m.name;
}

TEST(PaperTables, TraysAndEnvelopes) {
  EXPECT_EQ(TrayIndexFor(7, 9), 0);
  EXPECT_EQ(TrayIndexFor(4, 9), 1);
  EXPECT_EQ(TrayIndexFor(1, 9), 2);
  EXPECT_EQ(TrayIndexFor(257, 9), 3);
  EXPECT_EQ(TrayIndexFor(258, 9), 4);
  EXPECT_EQ(TrayIndexFor(99, 9), 0);
  // Envelope #10 from the automatic source goes through manual feed.
  EXPECT_EQ(TrayIndexFor(7, 20), 1);
  EXPECT_EQ(PclPaperSource(TrayIndexFor(7, 20)), 0);
  for (int p : {20, 27, 28, 31, 37, 43, 240, 242, 276, 277, 278, 279, 280}) EXPECT_EQ(TrayIndexFor(258, p), 1) << p;
  EXPECT_EQ(TrayIndexFor(258, 34), 4);  // envelope B5 is not forced
  const int sources[] = {7, 0, 1, 4, 5};
  for (uint16_t i = 0; i < 5; ++i) EXPECT_EQ(PclPaperSource(i), sources[i]);
  EXPECT_STREQ(PjlTrayLine(4), "@PJL SET INTRAY1=%s\r\n");
  EXPECT_STREQ(PjlTrayLine(258), "@PJL SET INTRAY4=%s\r\n");
  EXPECT_EQ(PjlTrayLine(7), nullptr);
}

TEST(PaperTables, TwoSidedPapers) {
  for (int p : {9, 1, 5, 14, 243}) EXPECT_TRUE(TwoSidedPaper(p)) << p;
  for (int p : {11, 7, 20, 288}) EXPECT_FALSE(TwoSidedPaper(p)) << p;
}

TEST(PageGeometry, OrientationAndResolution) {
  PageGeometry g{};
  ASSERT_TRUE(GetPageGeometry(37, Settings(37, 2), &g));
  EXPECT_EQ(g, (PageGeometry{4500, 2324, 118, 118, 118, 118}));
  ASSERT_TRUE(GetPageGeometry(37, Settings(37, 1), &g));
  EXPECT_EQ(g, (PageGeometry{2324, 4486, 118, 118, 118, 118}));
  ASSERT_TRUE(GetPageGeometry(240, Settings(240, 1), &g));
  EXPECT_EQ(g.height, 28346);
  ASSERT_TRUE(GetPageGeometry(9, Settings(9, 1, 300), &g));
  EXPECT_EQ(g, (PageGeometry{2480, 3507, 59, 59, 59, 59}));
}

TEST(PageGeometry, MissingGeometryTracesAndKeepsOutput) {
  testsupport::TraceCapture traces;
  PageGeometry g{1, 2, 3, 4, 5, 6};
  EXPECT_FALSE(GetPageGeometry(200, Settings(200, 1), &g));
  EXPECT_FALSE(GetPageGeometry(9, Settings(9, 3), &g));
  EXPECT_EQ(g, (PageGeometry{1, 2, 3, 4, 5, 6}));
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("File:paper_tables.cpp\nLine:", 0), 0u);
}

TEST(PageGeometry, CustomSizeFromTenthsOfMillimetre) {
  RenderSettings r = Settings(300, 1);
  r.priv.paperWidth = 1000;   // 100 mm
  r.priv.paperLength = 2000;  // 200 mm
  PageGeometry g{};
  ASSERT_TRUE(GetPageGeometry(300, r, &g));
  EXPECT_EQ(g, (PageGeometry{2362, 4724, 118, 118, 118, 118}));
  r.pub.dmOrientation = 2;
  ASSERT_TRUE(GetPageGeometry(300, r, &g));
  EXPECT_EQ(g.width, 4724);
  EXPECT_EQ(g.height, 2362);
}

TEST(CustomPaperCommand, ConvertsAndClamps) {
  CustomSizeValues v = CustomPaperCommandValues(500, 5000, false);
  EXPECT_EQ(v.width, 2550);   // 1417 clamped up
  EXPECT_EQ(v.length, 10091);  // 14173 clamped down
  v = CustomPaperCommandValues(2100, 2970, false);
  EXPECT_EQ(v.width, 5952);
  EXPECT_EQ(v.length, 8418);
  v = CustomPaperCommandValues(2100, 2970, true);  // landscape exchanges the converted values
  EXPECT_EQ(v.width, 8418);
  EXPECT_EQ(v.length, 5952);
}

TEST(CustomPaperCommand, LimitsApplyToThePaperBeforeLandscapeTurnsIt) {
  // A width that is a fine width but a short length, and a length that is too wide a width.
  CustomSizeValues v = CustomPaperCommandValues(1000, 2000, true);
  EXPECT_EQ(v.width, 5669);
  EXPECT_EQ(v.length, 2834);
  v = CustomPaperCommandValues(2160, 3560, true);
  EXPECT_EQ(v.width, 10091);
  EXPECT_EQ(v.length, 6122);
  // Too wide a paper stays too wide for the printer whichever way it is printed.
  v = CustomPaperCommandValues(2970, 2100, true);
  EXPECT_EQ(v.width, 5952);
  EXPECT_EQ(v.length, 6123);
}

TEST(Units, PixelsToTenthMillimetres) {
  EXPECT_EQ(PixelsToTenthMm(4960), 2100);
  EXPECT_EQ(PixelsToTenthMm(7015), 2970);
  EXPECT_EQ(PixelsToTenthMm(5100), 2159);
  EXPECT_EQ(PixelsToTenthMm(6600), 2794);
}

}  // namespace
}  // namespace devmode
