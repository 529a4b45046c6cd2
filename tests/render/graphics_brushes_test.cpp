// Brushes through the hooks: grey patterns, hatches, bitmap patterns and their downloads.
#include <string>

#include "graphics_fixture.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

class Brushes : public GraphicsTest {
 protected:
  // A filled square: the brush selection comes first in what it writes.
  std::string FillSquare(engine::EngineBrush& brush) {
    EXPECT_TRUE(Fill(Polyline({{10, 10}, {40, 10}, {40, 40}}, true), brush, FP_WINDINGMODE));
    const std::string out = Run();
    return out.substr(0, out.find("IW"));
  }

  // The data of the first pattern download in `s`: identifier, then the bytes after the header.
  static std::string PatternData(const std::string& s, int id, int length) {
    const std::string head = PclF("\\e*c%dg%dW", id, length);
    const size_t at = s.find(head);
    if (at == std::string::npos || s.size() < at + head.size() + length) return {};
    return s.substr(at + head.size(), static_cast<size_t>(length));
  }

  static std::string Header(int height, int width) {
    const char h[12] = {20, 0, 1, 0, static_cast<char>(height >> 8), static_cast<char>(height),
                        static_cast<char>(width >> 8), static_cast<char>(width), 2, 88, 2, 88};
    return std::string(h, 12);
  }
};

TEST_F(Brushes, AGreyIsDownloadedOncePerPageAndDitheredByTheMatrix) {
  engine::EngineBrush grey = Bound(engine::EngineBrush::Solid(0x808080));
  const std::string first = FillSquare(grey);
  const std::string data = PatternData(first, 1, 12 + 16 * 2);
  ASSERT_EQ(data.size(), 44u) << testsupport::Decode(first);
  EXPECT_EQ(data.substr(0, 12), Header(16, 16));
  // Level 128 against row 0 of the matrix: black where the entry is above 128.
  EXPECT_EQ(data.substr(12, 2), "\x3C\x3C");
  // Row 3: 251 187 18 3 1 13 178 249 | 252 190 19 3 1 12 176 249.
  EXPECT_EQ(data.substr(12 + 6, 2), "\xC3\xC3");
  EXPECT_EQ(first.substr(first.size() - 14), Pcl("\\e*rC\\e%0BFT22,1"));
  // The same grey again: selected, not downloaded.
  EXPECT_STREAM(Pcl(""), FillSquare(grey));
  engine::EngineBrush other = Bound(engine::EngineBrush::Solid(0x404040));
  EXPECT_NE(FillSquare(other).find(Pcl("\\e*c2g44W")), std::string::npos);
  // A new page starts the identifiers again and downloads again.
  ASSERT_TRUE(Hook<PFN_DrvSendPage>(INDEX_DrvSendPage)(&so_));
  ASSERT_TRUE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so_));
  Run();
  EXPECT_NE(FillSquare(grey).find(Pcl("\\e*c1g44W")), std::string::npos);
}

TEST_F(Brushes, WhiteAndBlackFillsAreShadesAndCachedByKindAndValue) {
  engine::EngineBrush white = Bound(engine::EngineBrush::Solid(0xFFFFFF));
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  EXPECT_STREAM(Pcl("MC1,240FT10,0"), FillSquare(white));
  EXPECT_STREAM(Pcl(""), FillSquare(white));
  EXPECT_STREAM(Pcl("FT10,100"), FillSquare(black));
  // Shading 16 % and hatch 1 are different fills, whatever a shared key would make of them.
  render::SetFillType(*pdev_, 10, 16);
  render::SetFillType(*pdev_, 11, 1);
  render::SetFillType(*pdev_, 10, 16);
  render::SetScreenedVectors(*pdev_, 1, 256);
  render::SetScreenedVectors(*pdev_, 2, 0);
  render::SetScreenedVectors(*pdev_, 21, 0);
  EXPECT_STREAM(Pcl("FT10,16FT11,1FT10,16SV1,256SV2SV21,0"), Run());
}

TEST_F(Brushes, ABlackLineAfterAGreyLineGetsASolidPenAgain) {
  engine::EngineBrush grey = Bound(engine::EngineBrush::Solid(0x808080));
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  const auto line = Polyline({{0, 0}, {10, 0}});
  ASSERT_TRUE(Stroke(line, grey, engine::LineAttrs::Cosmetic()));
  const std::string out = Run();
  EXPECT_NE(out.find("SV22,1"), std::string::npos) << testsupport::Decode(out);
  ASSERT_TRUE(Stroke(line, black, engine::LineAttrs::Cosmetic()));
  EXPECT_STREAM(Pcl("SVIWPU0,0PD10,0"), Run());
}

TEST_F(Brushes, HatchStyle4IsPattern104WithABlackRow8) {
  engine::EngineBrush cross = Bound(engine::EngineBrush::Hatch(HS_CROSS, 0));
  const std::string out = FillSquare(cross);
  const std::string data = PatternData(out, 104, 44);
  ASSERT_EQ(data.size(), 44u) << testsupport::Decode(out);
  EXPECT_EQ(data.substr(0, 12), Header(16, 16));
  for (int row = 0; row < 16; ++row)
    EXPECT_EQ(data.substr(12 + row * 2, 2), row == 8 ? "\xFF\xFF" : std::string("\x00\xC0", 2)) << row;
  EXPECT_NE(out.find(Pcl("\\e*rC\\e*c104G\\e*v4T\\e%0BFT22,104")), std::string::npos) << testsupport::Decode(out);
  // Selected again, a pattern brush is downloaded again but realized once.
  EXPECT_NE(FillSquare(cross).find(Pcl("\\e*c104g44W")), std::string::npos);
  EXPECT_EQ(cross.RealizeCalls(), 1);
}

engine::PatternBits Checker8x8() {
  engine::PatternBits bits;
  bits.format = BMF_1BPP;
  bits.width = bits.height = 8;
  bits.stride = 4;
  for (int y = 0; y < 8; ++y) {
    const BYTE row[4] = {static_cast<BYTE>(y % 2 ? 0x55 : 0xAA), 0, 0, 0};
    bits.bits.insert(bits.bits.end(), row, row + 4);
  }
  bits.palette = {0x000000, 0xFFFFFF};  // 0 black, 1 white
  return bits;
}

TEST_F(Brushes, BitmapPatternsAreMagnifiedFourTimesAt600Dpi) {
  auto brush = engine::EngineBrush::Pattern(Checker8x8());
  ASSERT_TRUE(brush.has_value());
  engine::EngineBrush pattern = Bound(std::move(*brush));
  const std::string out = FillSquare(pattern);
  const std::string data = PatternData(out, 1, 12 + 32 * 4);
  ASSERT_EQ(data.size(), 12u + 128) << testsupport::Decode(out);
  EXPECT_EQ(data.substr(0, 12), Header(32, 32));
  // Row 0 is 0xAA: pixels 1, 0, 1, 0 ... with 1 white; each pixel four wide, each row four high,
  // so rows 4 to 7 come from the second row, 0x55.
  for (int row = 0; row < 4; ++row) EXPECT_EQ(data.substr(12 + row * 4, 4), "\x0F\x0F\x0F\x0F") << row;
  for (int row = 4; row < 8; ++row) EXPECT_EQ(data.substr(12 + row * 4, 4), "\xF0\xF0\xF0\xF0") << row;
}

TEST_F(Brushes, BitmapPatternsKeepTheirSizeAt300Dpi) {
  pdev_->settings.pub.dmPrintQuality = 300;
  auto brush = engine::EngineBrush::Pattern(Checker8x8());
  ASSERT_TRUE(brush.has_value());
  engine::EngineBrush pattern = Bound(std::move(*brush));
  const std::string out = FillSquare(pattern);
  const std::string data = PatternData(out, 1, 12 + 8);
  ASSERT_EQ(data.size(), 20u) << testsupport::Decode(out);
  const char header[12] = {20, 0, 1, 0, 0, 8, 0, 8, 1, 44, 1, 44};
  EXPECT_EQ(data.substr(0, 12), std::string(header, 12));
  EXPECT_EQ(data.substr(12), "\x55\xAA\x55\xAA\x55\xAA\x55\xAA");
  pdev_->settings.pub.dmPrintQuality = 600;
}

TEST_F(Brushes, AHalfScaledPageShrinksPatternsFromEveryOtherRowAndTheLast) {
  engine::PatternBits bits;
  bits.format = BMF_8BPP;
  bits.width = bits.height = 8;
  bits.stride = 8;
  // Row r is black from column r on: shrinking shows which rows and columns survive.
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) bits.bits.push_back(x >= y ? 0 : 1);
  bits.palette = {0x000000, 0xFFFFFF};
  auto brush = engine::EngineBrush::Pattern(bits);
  ASSERT_TRUE(brush.has_value());
  engine::EngineBrush pattern = Bound(std::move(*brush));
  pdev_->doc.scaleX = pdev_->doc.scaleY = 50;
  const std::string out = FillSquare(pattern);
  pdev_->doc.scaleX = pdev_->doc.scaleY = 100;
  const std::string data = PatternData(out, 1, 12 + 16 * 2);
  ASSERT_EQ(data.size(), 44u) << testsupport::Decode(out);
  EXPECT_EQ(data.substr(0, 12), Header(16, 16));
  // 32 rows become 16: rows 0, 2, ... 28 (source rows 0..7 at four each), the last from row 31.
  for (int i = 0; i < 15; ++i) {
    const int source = (2 * i) / 4;  // the 8x8 row it was magnified from
    // 32 columns become 16: source column 2k, so pixel k is black when 2k / 4 >= source.
    unsigned expected = 0;
    for (int k = 0; k < 16; ++k)
      if ((2 * k) / 4 >= source) expected |= 0x8000u >> k;
    EXPECT_EQ(static_cast<unsigned char>(data[12 + i * 2]), expected >> 8) << i;
    EXPECT_EQ(static_cast<unsigned char>(data[13 + i * 2]), expected & 0xFF) << i;
  }
  // Source row 31 is row 7 of the brush, black in columns 28 to 31: pixel 14 and the last pixel,
  // which takes the last column.
  EXPECT_EQ(data.substr(12 + 30, 2), std::string("\x00\x03", 2));
}

TEST_F(Brushes, TwentyFourBitPatternsGoThroughTheirOwnPalette) {
  pdev_->settings.pub.dmPrintQuality = 300;
  engine::PatternBits bits;
  bits.format = BMF_24BPP;
  bits.width = 8;
  bits.height = 2;
  bits.stride = 24;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 8; ++x) {
      const BYTE v = (x + y) % 2 ? 0xFF : 0x00;
      bits.bits.insert(bits.bits.end(), {v, v, v});
    }
  auto brush = engine::EngineBrush::Pattern(bits);
  ASSERT_TRUE(brush.has_value());
  engine::EngineBrush pattern = Bound(std::move(*brush));
  const std::string out = FillSquare(pattern);
  const std::string data = PatternData(out, 1, 12 + 2);
  ASSERT_EQ(data.size(), 14u) << testsupport::Decode(out);
  EXPECT_EQ(data.substr(12), "\xAA\x55");
  pdev_->settings.pub.dmPrintQuality = 600;
}

}  // namespace
}  // namespace rendertest
