// The watermark preview against a recording context: the font height, colours, box placement,
// frames and image tiles that reach the context.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/utf16.h"
#include "preview/watermark_preview.h"
#include "win/wingdi.h"

namespace ui::preview {
namespace {

using decor::ImageRect;
using decor::LoadedBitmap;
using decor::Mapping;
using decor::WatermarkFont;

struct TextCall {
  int x, y;
  UINT options;
};
struct Stretch {
  ImageRect dest, source;
  DWORD rop;
  uint8_t firstByte;
};

class Recorder : public decor::DecorationTarget, public PreviewTarget {
 public:
  int dpi = 96;
  int charWidth = 10, charHeight = 16;
  bool loads = true;
  LoadedBitmap bitmap;
  std::vector<WatermarkFont> fonts;
  std::vector<TextCall> texts;
  std::vector<RECT> ellipses;
  std::vector<std::vector<decor::Point>> lines;
  std::vector<std::pair<int, uint32_t>> pens;
  std::vector<Stretch> stretches;
  uint32_t textColour = 0x123456;
  int stretchMode = 4, bkMode = 2;
  std::optional<RECT> clip;
  int live = 0;  // objects made and not deleted

  int Escape(int, std::span<const uint8_t>, std::span<uint8_t>) override { return 0; }
  int DeviceCaps(int index) override { return index == LOGPIXELSX || index == LOGPIXELSY ? dpi : 0; }
  Mapping GetMapping() override { return mapping_; }
  void SetMapping(const Mapping& m) override { mapping_ = m; }
  int DeviceToLogicalHeight(int pixels) override { return pixels; }
  int SetBkMode(int m) override { return std::exchange(bkMode, m); }
  UINT SetTextAlign(UINT) override { return 0; }
  uint32_t SetBkColor(uint32_t) override { return 0; }
  uint32_t SetTextColor(uint32_t c) override { return std::exchange(textColour, c); }
  int SetPolyFillMode(int) override { return 0; }
  int SetStretchBltMode(int m) override { return std::exchange(stretchMode, m); }
  int FaceCharSet(const std::u16string&) override { return 0; }
  ObjectHandle CreateFont(const WatermarkFont& f) override {
    fonts.push_back(f);
    ++live;
    return 100 + fonts.size();
  }
  ObjectHandle CreatePatternBrush(const std::array<uint8_t, 32>&) override { return 0; }
  ObjectHandle Select(ObjectHandle) override { return 7; }
  void Delete(ObjectHandle) override { --live; }
  bool TextExtent(const std::u16string& text, int* cx, int* cy) override {
    *cx = charWidth * static_cast<int>(text.size());
    *cy = charHeight;
    return true;
  }
  void TextOut(int x, int y, const std::u16string&) override { texts.push_back({x, y, 0}); }
  void ExtTextOut(int x, int y, UINT options, const RECT&, const std::u16string&) override {
    texts.push_back({x, y, options});
  }
  void BeginPath() override {}
  void EndPath() override {}
  void FillPath() override {}
  void Polygon(std::span<const decor::Point>) override {}
  void Ellipse(int l, int t, int r, int b) override { ellipses.push_back({l, t, r, b}); }
  bool LoadBitmapFile(const std::u16string&, LoadedBitmap* out) override {
    if (loads) *out = bitmap;
    return loads;
  }
  void StretchBits(const ImageRect& d, const ImageRect& s, const LoadedBitmap& b, DWORD rop) override {
    stretches.push_back({d, s, rop, b.bits.empty() ? uint8_t{0} : b.bits[0]});
  }

  ObjectHandle CreateSolidPen(int width, uint32_t colour) override {
    pens.push_back({width, colour});
    ++live;
    return 500;
  }
  ObjectHandle HollowBrush() override { return 600; }
  void ClipTo(const RECT& r) override { clip = r; }
  void RestoreClip() override { clip.reset(); }
  void Polyline(std::span<const decor::Point> p) override { lines.emplace_back(p.begin(), p.end()); }

 private:
  Mapping mapping_{{1, 2}, {3, 4}, {5, 6}, {7, 8}};
};

constexpr RECT kPreview{0, 0, 200, 280};

devmode::WatermarkRecord Text(const std::u16string& text, int size) {
  devmode::WatermarkRecord r{};
  r.WatermarkIndex = 1;
  r.WatermarkKind = 1;
  platform::CopyWideField(r.Text, std::size(r.Text), text);
  platform::CopyWideField(r.Typeface, std::size(r.Typeface), u"Arial");
  r.Size = static_cast<uint16_t>(size);
  r.Position = 5;
  r.Scale = 100;
  return r;
}

TEST(WatermarkPreviewTest, FontHeightValueFollowsTheScreenTable) {
  EXPECT_EQ(PreviewFontHeight(12, 96), 20);
  EXPECT_EQ(PreviewFontHeight(20, 96), 33);
  EXPECT_EQ(PreviewFontHeight(24, 120), 33);
  EXPECT_EQ(PreviewFontHeight(36, 96), static_cast<int>(1.17 * 95 / 96 * 36));
  EXPECT_EQ(PreviewFontHeight(36, 120), static_cast<int>(1.17 * 95 / 120 * 36));
  EXPECT_EQ(PreviewFontHeight(54, 96), static_cast<int>(1.31 * 95 / 96 * 54));
  EXPECT_EQ(PreviewFontHeight(72, 96), static_cast<int>(1.38 * 95 / 96 * 72));
  EXPECT_EQ(PreviewFontHeight(200, 96), static_cast<int>(1.41 * 95 / 96 * 200));

  // The value reaches the font; the glyphs stay upright while the baseline turns.
  for (int size : {12, 20, 36}) {
    Recorder dc;
    auto r = Text(u"DRAFT", size);
    r.Angle = 45;
    DrawTextWatermarkPreview(dc, dc, {4, 4}, kPreview, PreviewCopy(r), false);
    ASSERT_EQ(dc.fonts.size(), 1u);
    // The print font's rule: points to pixels, then tenths.
    const int y = static_cast<int>(PreviewFontHeight(size, 96) * 96.0 / 72 + 0.5);
    EXPECT_EQ(dc.fonts[0].height, -static_cast<int>(y / 10.0 + 0.5)) << size;
    EXPECT_EQ(dc.fonts[0].escapement, 450);
    EXPECT_EQ(dc.fonts[0].orientation, 0);
  }
}

TEST(WatermarkPreviewTest, GreyLevelsAndColourCopy) {
  EXPECT_EQ(PreviewTextColour(0), 0xC0C0C0u);
  EXPECT_EQ(PreviewTextColour(3), 0x303030u);
  EXPECT_EQ(PreviewTextColour(4), 0u);
  auto r = Text(u"X", 36);
  r.Colour = 0x0000FF;  // (255 + 0 + 0) / 3
  r.GreyLevel = 1;
  EXPECT_EQ(PreviewCopy(r).Colour, 0x555555u);
  r.GreyLevel = 4;
  EXPECT_EQ(PreviewCopy(r).Colour, 0u);

  Recorder dc;
  DrawTextWatermarkPreview(dc, dc, {4, 4}, kPreview, PreviewCopy(r), false);
  ASSERT_EQ(dc.texts.size(), 1u);
  // Drawn in black, then the context's colour, mode, mapping and clip put back.
  Recorder fresh;
  EXPECT_EQ(dc.textColour, fresh.textColour);
  EXPECT_EQ(dc.bkMode, fresh.bkMode);
  EXPECT_EQ(dc.GetMapping(), fresh.GetMapping());
  EXPECT_FALSE(dc.clip.has_value());
  EXPECT_EQ(dc.live, 0);
}

TEST(WatermarkPreviewTest, PositionsUseOneMarginOnEverySide) {
  // 4 characters of 10 x 16 at angle 0, no frame: box 40 x 16, pen 1, margin x0 = 4.
  auto at = [](int position, int h = 50, int v = 50) {
    Recorder dc;
    auto r = Text(u"ABCD", 36);
    r.Position = static_cast<uint16_t>(position);
    r.HorizontalPosition = static_cast<int16_t>(h);
    r.VerticalPosition = static_cast<int16_t>(v);
    DrawTextWatermarkPreview(dc, dc, {4, 4}, kPreview, PreviewCopy(r), false);
    EXPECT_EQ(dc.texts.size(), 1u);
    return dc.texts.empty() ? decor::Point{-1, -1} : decor::Point{dc.texts[0].x, dc.texts[0].y};
  };
  EXPECT_EQ(at(1), (decor::Point{4, 4}));
  EXPECT_EQ(at(5), (decor::Point{80, 132}));
  EXPECT_EQ(at(9), (decor::Point{200 - 4 - 40, 280 - 4 - 16}));
  EXPECT_EQ(at(0), at(5));
  EXPECT_EQ(at(10), at(5));
  EXPECT_EQ(at(10, 60, 40), (decor::Point{80 + 20, 132 - static_cast<int>(10 * 264 * 0.01)}));
}

TEST(WatermarkPreviewTest, FramesAndClippedTextOptions) {
  {
    Recorder dc;
    auto r = Text(u"ABCD", 250);
    r.Position = 1;
    r.Frame = 2;
    r.Transparent = 0;
    r.Colour = 0x102030;
    DrawTextWatermarkPreview(dc, dc, {4, 4}, kPreview, PreviewCopy(r), true);
    // Frame pen: size / 100 above 100 points, in the record's grey; text clipped, right-to-left.
    ASSERT_EQ(dc.pens.size(), 1u);
    EXPECT_EQ(dc.pens[0].first, 2);
    EXPECT_EQ(dc.pens[0].second, 0x202020u);
    ASSERT_EQ(dc.lines.size(), 1u);
    EXPECT_EQ(dc.lines[0].size(), 5u);
    EXPECT_EQ(dc.lines[0].front(), dc.lines[0].back());
    ASSERT_EQ(dc.texts.size(), 1u);
    EXPECT_EQ(dc.texts[0].options, 132u);
    // The text box grown by a fifth: 40 + 8 wide, and with pen 3 (rnd 2.5) the margin is 6.
    EXPECT_EQ(dc.lines[0][0].x, 6);
    EXPECT_EQ(dc.live, 0);
  }
  {
    Recorder dc;
    auto r = Text(u"AB", 36);
    r.Frame = 1;
    r.Transparent = 1;
    r.GreyLevel = 2;
    DrawTextWatermarkPreview(dc, dc, {4, 4}, kPreview, PreviewCopy(r), false);
    ASSERT_EQ(dc.pens.size(), 1u);
    EXPECT_EQ(dc.pens[0], (std::pair{1, 0x606060u}));
    ASSERT_EQ(dc.ellipses.size(), 1u);
    // Two characters: diameter 20 + rnd(20 / 3).
    EXPECT_EQ(dc.ellipses[0].right - dc.ellipses[0].left, 27);
    EXPECT_EQ(dc.texts[0].options, 4u);
  }
}

TEST(WatermarkPreviewTest, ItalicWideningOnlyAboveTwentyFourPoints) {
  auto boxWidth = [](int size) {
    Recorder dc;
    auto r = Text(u"ABCDEFGHIJKLMN", size);  // 140 x 16
    r.Italic = 1;
    r.Frame = 2;
    DrawTextWatermarkPreview(dc, dc, {4, 4}, kPreview, PreviewCopy(r), false);
    return dc.lines.empty() ? -1 : dc.lines[0][1].x - dc.lines[0][0].x;
  };
  EXPECT_EQ(boxWidth(24), 140 + 28);
  EXPECT_EQ(boxWidth(36), 150 + 30);  // 140 / 14 = 10 wider, then a fifth
}

TEST(WatermarkPreviewTest, RepeatTilesFromTheCorner) {
  Recorder dc;
  auto r = Text(u"ABCD", 36);
  r.Repeat = 1;
  DrawTextWatermarkPreview(dc, dc, {4, 4}, kPreview, PreviewCopy(r), false);
  // 200 / 40 + 1 columns, 280 / 16 + 1 rows.
  ASSERT_EQ(dc.texts.size(), 6u * 18u);
  EXPECT_EQ(dc.texts[0].x, 3);
  EXPECT_EQ(dc.texts[0].y, 3);
  EXPECT_EQ(dc.texts[1].y, 3 + 16);
  EXPECT_EQ(dc.texts[18].x, 3 + 40);
}

LoadedBitmap Image(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  LoadedBitmap bm;
  bm.width = w;
  bm.height = h;
  const size_t stride = (w * 3 + 3) & ~3;
  bm.bits.assign(stride * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bm.bits[y * stride + x * 3] = b;
      bm.bits[y * stride + x * 3 + 1] = g;
      bm.bits[y * stride + x * 3 + 2] = r;
    }
  return bm;
}

devmode::WatermarkRecord Picture(int position, int scale) {
  devmode::WatermarkRecord r{};
  r.WatermarkIndex = 1;
  r.WatermarkKind = 2;
  platform::CopyWideField(r.ImagePath, std::size(r.ImagePath), u"/logo.bmp");
  r.Position = static_cast<uint16_t>(position);
  r.Scale = static_cast<uint16_t>(scale);
  return r;
}

TEST(WatermarkPreviewTest, ImagePositionsSizesAndRops) {
  // L = 281; a 99-pixel bitmap at 100 %: 281 * 100 * 254 * 100 / 28512000 = 25.
  auto draw = [](const devmode::WatermarkRecord& r) {
    Recorder dc;
    dc.bitmap = Image(99, 99, 0, 0, 255);
    DrawImageWatermarkPreview(dc, {4, 4}, kPreview, r);
    return dc.stretches;
  };
  auto s = draw(Picture(10, 100));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].dest, (ImageRect{200 / 3, 280 / 3, 25, 25}));
  EXPECT_EQ(s[0].rop, 0xCC0020u);
  EXPECT_EQ(s[0].firstByte, 27 * 255 / 256);  // red greyed
  s = draw(Picture(1, 100));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].dest, (ImageRect{3, 2, 25, 25}));
  s = draw(Picture(9, 100));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].dest, (ImageRect{200 - 3 - 25, 280 - 3 - 25, 25, 25}));
  EXPECT_TRUE(draw(Picture(11, 100)).empty());
  EXPECT_TRUE(draw(Picture(5, 1)).empty());

  auto t = Picture(5, 100);
  t.Transparent = 1;
  s = draw(t);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].rop, 0x8800C6u);
  // Lightened: 26 -> trunc(26^0.3125 / (255^0.3125 / 255)).
  EXPECT_EQ(s[0].firstByte, static_cast<int>(std::pow(26, 0.3125) / (std::pow(255.0, 0.3125) / 255)));

  t = Picture(5, 100);
  t.Repeat = 1;
  s = draw(t);
  EXPECT_EQ(s.size(), (200u / 25 + 1) * (280u / 25 + 1));
  EXPECT_EQ(s.back().dest, (ImageRect{8 * 25, 11 * 25, 25, 25}));

  // Larger than the preview: clipped to it, the source cut alike and centred.
  s = draw(Picture(5, 1000));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].dest.width, 200);
  EXPECT_EQ(s[0].dest.height, 250);
  EXPECT_EQ(s[0].source.width, static_cast<int>(200 * (99.0 / 250 + 0.005)));
}

}  // namespace
}  // namespace ui::preview
