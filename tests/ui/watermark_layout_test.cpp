#include <gtest/gtest.h>

#include "decor/watermark_layout.h"

namespace ui::decor {
namespace {

constexpr PageSize kPage{4800, 6400};

devmode::DecorationBlock Block(int size, int angle, int position = 5, int frame = 0, bool repeat = false) {
  devmode::DecorationBlock b{};
  b.WatermarkIndex = 1;
  b.size = static_cast<uint16_t>(size);
  b.angle = static_cast<int16_t>(angle);
  b.position = static_cast<uint16_t>(position);
  b.frame = static_cast<uint8_t>(frame);
  b.repeat = repeat ? 1 : 0;
  b.horizontal = b.vertical = 50;
  b.OverlayTransparent = 1;
  return b;
}

TEST(WatermarkLayout, HeightMarginAndAngleRules) {
  EXPECT_EQ(WatermarkTextHeight(36, 0), 306);
  EXPECT_EQ(WatermarkTextHeight(72, 0), 655);
  EXPECT_EQ(WatermarkTextHeight(44, 0), 422);
  EXPECT_EQ(WatermarkTextHeight(54, 0), 496);
  EXPECT_EQ(WatermarkTextHeight(88, 0), 827);
  EXPECT_EQ(WatermarkTextHeight(35, 0), 339);   // 9.7 for sizes without a factor of their own
  EXPECT_EQ(WatermarkTextHeight(72, 0.5), 327);  // scaled after truncation
  EXPECT_EQ(WatermarkBaseMargin(36), 25);
  EXPECT_EQ(WatermarkBaseMargin(35), 25);
  EXPECT_EQ(WatermarkBaseMargin(72), 50);
  EXPECT_EQ(WatermarkBaseMargin(600), 400);
  EXPECT_EQ(WatermarkAngleTenths(-45), 3150);
  EXPECT_EQ(WatermarkAngleTenths(45), 450);
  EXPECT_EQ(WatermarkAngleTenths(90), 900);
  EXPECT_EQ(WatermarkAngleTenths(-90), 2700);
  EXPECT_EQ(WatermarkAngleTenths(0), 0);
  EXPECT_EQ(WatermarkAngleTenths(-1), 3590);
  EXPECT_EQ(WatermarkMargin(50, 900), 50);
  EXPECT_EQ(WatermarkMargin(50, 2700), 50);
  EXPECT_EQ(WatermarkMargin(50, 450), 70);   // steep: over the sine
  EXPECT_EQ(WatermarkMargin(50, 3150), 70);
  EXPECT_EQ(WatermarkMargin(50, 600), 57);
  EXPECT_EQ(WatermarkMargin(50, 200), 53);   // shallow: over the cosine
  EXPECT_EQ(WatermarkMargin(50, 3400), 53);
  EXPECT_EQ(WatermarkMargin(50, 0), 50);
}

TEST(WatermarkLayout, GreyPatternsOfTheFivePrintGreys) {
  EXPECT_EQ(WatermarkGreyPattern(0x7C7C7C)[26], 0x1C);  // row 14 differs from its twin row
  EXPECT_EQ(WatermarkGreyPattern(0x7C7C7C)[27], 0x3C);
  EXPECT_EQ(WatermarkGreyPattern(0x7C7C7C)[10], 0x3C);
  EXPECT_EQ(WatermarkGreyPattern(0x323232)[6], 0x80);
  EXPECT_EQ(WatermarkGreyPattern(0x323232)[7], 0x81);
  EXPECT_EQ(WatermarkGreyPattern(0xC6C6C6)[7], 0x7E);
  EXPECT_EQ(WatermarkGreyPattern(0xA1A1A1)[0], 0xE3);
  EXPECT_EQ(WatermarkGreyPattern(0x575757)[6], 0xC1);
  // Darker greys leave more bits at 0 (painted).
  auto painted = [](uint32_t grey) {
    int n = 0;
    for (uint8_t byte : WatermarkGreyPattern(grey))
      for (int bit = 0; bit < 8; ++bit) n += ((byte >> bit) & 1) == 0;
    return n;
  };
  EXPECT_GT(painted(0x323232), painted(0x575757));
  EXPECT_GT(painted(0x575757), painted(0x7C7C7C));
  EXPECT_GT(painted(0x7C7C7C), painted(0xA1A1A1));
  EXPECT_GT(painted(0xA1A1A1), painted(0xC6C6C6));
  EXPECT_EQ(&WatermarkGreyPattern(0x123456), &WatermarkGreyPattern(0x7C7C7C));
}

TEST(WatermarkLayout, AnchorsOfTheNinePositionsLevelText) {
  // Size 72: m0 = m = 50 at angle 0; the box is the text itself. Top-right keeps twice the margin.
  const Point expected[10] = {{900, 2900}, {100, 50},     {900, 50},     {1700, 50},   {100, 2900},
                              {900, 2900}, {1750, 2900},  {100, 5750},   {900, 5750},  {1750, 5750}};
  for (int position = 0; position <= 9; ++position) {
    TextPlan p = PlanTextWatermark(Block(72, 0, position), kPage, 3000, 600, 12);
    ASSERT_EQ(p.tiles.size(), 1u);
    EXPECT_EQ(p.tiles[0].anchor, expected[position]) << "position " << position;
    EXPECT_EQ(p.tiles[0].origin, expected[position]);  // no padding: the text starts at the anchor
    EXPECT_TRUE(p.tiles[0].outer.empty());
  }
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 3), kPage, 3000, 600, 12).tiles[0].anchor.x, 4800 - 100 - 3000);
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 11), kPage, 3000, 600, 12).tiles[0].anchor, (Point{900, 2900}));
}

TEST(WatermarkLayout, NegativeAnglesAnchorTheBoxAtItsRightEdge) {
  TextPlan p = PlanTextWatermark(Block(72, -90, 1), kPage, 3000, 600, 12);
  EXPECT_EQ(p.tenths, 2700);
  EXPECT_EQ(p.margin, 50);
  EXPECT_EQ(p.boxWidth, 600);
  EXPECT_EQ(p.boxHeight, 3000);
  EXPECT_EQ(p.tiles[0].anchor, (Point{700, 50}));  // 2m + box width
  EXPECT_EQ(p.tiles[0].origin, (Point{700, 50}));
  EXPECT_EQ(PlanTextWatermark(Block(72, -90, 3), kPage, 3000, 600, 12).tiles[0].anchor, (Point{4750, 50}));
  EXPECT_EQ(PlanTextWatermark(Block(72, -90, 6), kPage, 3000, 600, 12).tiles[0].anchor, (Point{4700, 1700}));
  EXPECT_EQ(PlanTextWatermark(Block(72, -90, 5), kPage, 3000, 600, 12).tiles[0].anchor, (Point{2700, 1700}));
  // 45 degrees: both sides count, and the steep margin rule applies.
  TextPlan d = PlanTextWatermark(Block(72, 45, 1), kPage, 3000, 600, 12);
  EXPECT_EQ(d.margin, 70);
  EXPECT_EQ(d.boxWidth, 2545);
  EXPECT_EQ(d.boxHeight, 2545);
  EXPECT_EQ(d.tiles[0].anchor, (Point{140, 70}));
  EXPECT_EQ(d.tiles[0].origin, (Point{140, 70 + 2121}));  // the text's start sits low in its box
}

TEST(WatermarkLayout, ItalicAndRectanglePaddingMoveTheOrigin) {
  devmode::DecorationBlock b = Block(72, 0, 1);
  b.italic = 1;
  TextPlan p = PlanTextWatermark(b, kPage, 3000, 600, 12);
  EXPECT_EQ(p.ex, 214);
  EXPECT_EQ(p.ey, 43);
  EXPECT_EQ(p.boxWidth, 3214);
  EXPECT_EQ(p.tiles[0].origin, (Point{100 + 107, 50 + 21}));
  // Text at least ten pages wide slants by a hundredth only.
  EXPECT_EQ(PlanTextWatermark(b, kPage, 48000, 600, 12).ex, 480);

  TextPlan r = PlanTextWatermark(Block(72, 0, 1, 2), kPage, 3000, 600, 12);
  EXPECT_EQ(r.cx, 3600);
  EXPECT_EQ(r.cy, 720);
  EXPECT_EQ(r.tiles[0].origin, (Point{100 + 300, 50 + 60}));
  const std::vector<Point> outer = {{100, 50}, {3700, 50}, {3700, 770}, {100, 770}};
  const std::vector<Point> inner = {{150, 100}, {3650, 100}, {3650, 720}, {150, 720}};
  EXPECT_EQ(r.tiles[0].outer, outer);
  EXPECT_EQ(r.tiles[0].inner, inner);
}

TEST(WatermarkLayout, EllipseFrameDiameterAndRing) {
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 5, 1), kPage, 900, 600, 1).diameter, 1125);
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 5, 1), kPage, 900, 600, 2).diameter, 1200);  // 4/3 of the longer side
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 5, 1), kPage, 900, 600, 3).diameter, 1050);
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 5, 1), kPage, 900, 600, 4).diameter, 1013);
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 5, 1), kPage, 300, 600, 2).diameter, 800);
  TextPlan p = PlanTextWatermark(Block(72, 0, 5, 1), kPage, 900, 600, 2);
  EXPECT_EQ(p.tiles[0].anchor, (Point{1800, 2600}));
  EXPECT_EQ(p.tiles[0].outer, (std::vector<Point>{{1775, 2575}, {3025, 3825}}));
  EXPECT_EQ(p.tiles[0].inner, (std::vector<Point>{{1825, 2625}, {2975, 3775}}));
  // Text centred in the circle: (D - boxW) / 2 across; its baseline side below.
  EXPECT_EQ(p.tiles[0].origin, (Point{1800 + 150, 2600 + 1200 - 300 - 600}));
  // Leaning the other way, the circle extends left of the anchor.
  TextPlan n = PlanTextWatermark(Block(72, -30, 5, 1), kPage, 900, 600, 2);
  EXPECT_EQ(n.tiles[0].outer[0].x, n.tiles[0].anchor.x - n.diameter - 25);
}

TEST(WatermarkLayout, FreePositionAndRepeat) {
  EXPECT_EQ(PlanTextWatermark(Block(72, 0, 10), kPage, 3000, 600, 12).tiles[0].anchor,
            PlanTextWatermark(Block(72, 0, 5), kPage, 3000, 600, 12).tiles[0].anchor);
  devmode::DecorationBlock b = Block(72, 0, 10);
  b.horizontal = 30;
  b.vertical = 80;
  EXPECT_EQ(PlanTextWatermark(b, kPage, 3000, 600, 12).tiles[0].anchor, (Point{900 - 960, 2900 + 1740}));

  TextPlan r = PlanTextWatermark(Block(72, 0, 5, 0, true), kPage, 3000, 600, 12);
  ASSERT_EQ(r.tiles.size(), 2u * 11u);
  EXPECT_EQ(r.tiles[0].anchor, (Point{100, 50}));
  EXPECT_EQ(r.tiles[1].anchor, (Point{100, 650}));     // rows inside a column
  EXPECT_EQ(r.tiles[13].anchor, (Point{3100, 1250}));  // column 1, row 2
  // A frame adds a margin between tiles.
  TextPlan f = PlanTextWatermark(Block(72, 0, 5, 2, true), kPage, 3000, 600, 12);
  EXPECT_EQ(f.tiles[1].anchor.y - f.tiles[0].anchor.y, 720 + 50);
  // A watermark far smaller than the page is not tiled into millions of copies.
  EXPECT_TRUE(PlanTextWatermark(Block(6, 0, 5, 0, true), kPage, 1, 1, 1).tiles.empty());
}

TEST(WatermarkLayout, ImagePositionsClipAndRepeat) {
  devmode::DecorationBlock b = Block(100, 0, 5);
  b.imageFlag = 1;
  auto plan = [&](int position, int scale, bool repeat = false) {
    b.position = static_cast<uint16_t>(position);
    b.size = static_cast<uint16_t>(scale);
    b.repeat = repeat;
    return PlanImageWatermark(b, kPage, 99, 49);
  };
  // 100 x 50 pixels at 96 per inch against a 297 mm side: 570 x 285 device pixels.
  const ImageRect at[10] = {{},
                            {0, 0, 570, 285},       {2115, 0, 570, 285},    {4230, 0, 570, 285},
                            {0, 3057, 570, 285},    {2115, 3057, 570, 285}, {4230, 3057, 570, 285},
                            {0, 6115, 570, 285},    {2115, 6115, 570, 285}, {4230, 6115, 570, 285}};
  for (int position = 1; position <= 9; ++position) {
    auto tiles = plan(position, 100);
    ASSERT_EQ(tiles.size(), 1u) << position;
    EXPECT_EQ(tiles[0].dest, at[position]) << position;
    EXPECT_EQ(tiles[0].source, (ImageRect{0, 0, 99, 49}));
  }
  EXPECT_TRUE(plan(0, 100).empty());
  EXPECT_TRUE(plan(10, 100).empty());
  EXPECT_TRUE(plan(5, 1).empty());
  EXPECT_FALSE(plan(5, 2).empty());
  // Wider than the page: the visible part is the one next to the chosen edge.
  auto right = plan(3, 1000);
  EXPECT_EQ(right[0].dest, (ImageRect{0, 0, 4800, 2851}));
  EXPECT_EQ(right[0].source, (ImageRect{16, 0, 83, 49}));
  EXPECT_EQ(plan(1, 1000)[0].source, (ImageRect{0, 0, 83, 49}));
  EXPECT_EQ(plan(2, 1000)[0].source, (ImageRect{8, 0, 83, 49}));

  auto tiles = plan(0, 100, true);
  ASSERT_EQ(tiles.size(), 9u * 23u);
  EXPECT_EQ(tiles[2 * 23 + 3].dest, (ImageRect{1140, 855, 570, 285}));
  EXPECT_EQ(tiles[2 * 23 + 3].source, (ImageRect{0, 0, 99, 49}));
  // A single tile that covers the page is drawn as at the top-left corner.
  b.position = 0;
  b.size = 1000;
  b.repeat = 1;
  auto whole = PlanImageWatermark(b, {2000, 2000}, 199, 199);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].dest.x, 0);
  EXPECT_EQ(whole[0].dest.y, 0);
}

}  // namespace
}  // namespace ui::decor
