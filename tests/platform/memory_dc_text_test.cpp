// Text drawn into memory device contexts: the glyphs land inside the box the extent calls measure,
// in the text colour, over an opaque background when asked, and cut by the clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory_dc.h"
#include "win/wingdi.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kBlue = 0x0000FF;

// A memory DC holding a white top-down 32-bit DIB section and a 20-pixel sans-serif font.
struct TextCanvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HFONT font = nullptr;
  HGDIOBJ oldBitmap = nullptr, oldFont = nullptr;
  uint32_t* bits = nullptr;
  int width, height;

  TextCanvas(int w, int h, bool underline = false) : width(w), height(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
    dc = CreateCompatibleDC(nullptr);
    oldBitmap = SelectObject(dc, bitmap);
    EXPECT_TRUE(PatBlt(dc, 0, 0, w, h, WHITENESS));
    font = CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, underline, 0, ANSI_CHARSET, 0, 0, 0, 0, u"DejaVu Sans");
    oldFont = SelectObject(dc, font);
    EXPECT_NE(oldFont, nullptr);
  }
  ~TextCanvas() {
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    DeleteObject(font);
    DeleteObject(bitmap);
  }
  uint32_t At(int x, int y) const { return bits[size_t(y) * width + x] & 0xFFFFFF; }
  // Pixels not of colour `c` outside the rectangle [x0, x1) × [y0, y1).
  int OutsideNot(uint32_t c, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if ((x < x0 || x >= x1 || y < y0 || y >= y1) && At(x, y) != c) ++n;
    return n;
  }
  int Count(uint32_t c, int x0 = 0, int x1 = -1) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = x0; x < (x1 < 0 ? width : x1); ++x) n += At(x, y) == c;
    return n;
  }
};

const char16_t kText[] = u"Hxg|";

TEST(MemoryDcText, GlyphsInkInsideTheMeasuredBoxInTheTextColour) {
  TextCanvas c(120, 50);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(c.dc, &tm));
  EXPECT_NEAR(tm.tmAscent + tm.tmDescent, 23, 2);  // a 20-pixel em and the face's own leading
  WCHAR face[LF_FACESIZE]{};
  ASSERT_GT(GetTextFaceW(c.dc, LF_FACESIZE, face), 0);
  EXPECT_EQ(std::u16string(face), u"DejaVu Sans");
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(c.dc, kText, 4, &size));
  EXPECT_EQ(size.cy, tm.tmHeight);
  INT widths[4]{};
  ASSERT_TRUE(GetCharWidth32W(c.dc, u'H', u'H', &widths[0]));
  ASSERT_TRUE(GetCharWidth32W(c.dc, u'x', u'x', &widths[1]));
  ASSERT_TRUE(GetCharWidth32W(c.dc, u'g', u'g', &widths[2]));
  ASSERT_TRUE(GetCharWidth32W(c.dc, u'|', u'|', &widths[3]));
  EXPECT_NEAR(widths[0] + widths[1] + widths[2] + widths[3], size.cx, 2);

  EXPECT_EQ(SetBkMode(c.dc, TRANSPARENT), OPAQUE);
  SetTextColor(c.dc, RGB(255, 0, 0));
  SetTextAlign(c.dc, TA_LEFT | TA_TOP);
  const int x = 12, y = 10;
  ASSERT_TRUE(TextOutW(c.dc, x, y, kText, 4));
  EXPECT_EQ(c.OutsideNot(kWhite, x - 1, y - 1, x + size.cx + 1, y + size.cy + 1), 0);
  // Ink in the text colour, antialiased edges its blend with the white page; the descender of
  // "g" and the bar reach below the baseline.
  int inked = 0;
  for (int yy = 0; yy < c.height; ++yy)
    for (int xx = 0; xx < c.width; ++xx) {
      uint32_t p = c.At(xx, yy);
      if (p == kWhite) continue;
      ++inked;
      EXPECT_EQ(p >> 16, 0xFFu) << xx << "," << yy;
      EXPECT_EQ((p >> 8) & 0xFF, p & 0xFF) << xx << "," << yy;
    }
  EXPECT_GT(c.Count(kRed), 60);
  EXPECT_GT(inked, c.Count(kRed));
  int below = 0;
  for (int xx = 0; xx < c.width; ++xx) below += c.At(xx, y + tm.tmAscent + 2) != kWhite;
  EXPECT_GT(below, 0);
  // The bar reaches the left edge of its cell: ink in the last glyph's column range.
  int barColumns = 0;
  for (int xx = x + widths[0] + widths[1] + widths[2]; xx < x + size.cx; ++xx) barColumns += c.At(xx, y + 8) == kRed;
  EXPECT_GT(barColumns, 0);

  // Right- and baseline-aligned text ends at the reference point and sits on it.
  TextCanvas r(120, 50);
  SetBkMode(r.dc, TRANSPARENT);
  SetTextAlign(r.dc, TA_RIGHT | TA_BASELINE);
  ASSERT_TRUE(TextOutW(r.dc, 100, 30, kText, 4));
  EXPECT_EQ(r.OutsideNot(kWhite, 100 - size.cx - 1, 30 - tm.tmAscent - 1, 101, 30 + tm.tmDescent + 1), 0);
  EXPECT_GT(r.Count(0x000000), 60);  // the default text colour
}

TEST(MemoryDcText, OpaqueBackgroundsAndDecorations) {
  TextCanvas c(120, 50, /*underline=*/true);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(c.dc, kText, 4, &size));
  SetBkColor(c.dc, RGB(0, 0, 255));
  SetTextColor(c.dc, RGB(255, 0, 0));
  RECT box{5, 4, 90, 40};
  ASSERT_TRUE(ExtTextOutW(c.dc, 10, 8, ETO_OPAQUE, &box, kText, 4, nullptr));
  EXPECT_EQ(c.OutsideNot(kWhite, box.left, box.top, box.right, box.bottom), 0);
  // The rectangle's corners and the gap after the text are background; no white is left inside.
  EXPECT_EQ(c.At(5, 4), kBlue);
  EXPECT_EQ(c.At(89, 39), kBlue);
  EXPECT_EQ(c.At(10 + size.cx + 3, 20), kBlue);
  for (int yy = box.top; yy < box.bottom; ++yy)
    for (int xx = box.left; xx < box.right; ++xx) EXPECT_NE(c.At(xx, yy), kWhite) << xx << "," << yy;
  // The underline: a solid run of the text colour across most of the string's width.
  int bestRun = 0;
  for (int yy = 8; yy < 8 + size.cy; ++yy) {
    int run = 0;
    for (int xx = 10; xx < 10 + size.cx; ++xx) run += c.At(xx, yy) == kRed;
    bestRun = std::max(bestRun, run);
  }
  EXPECT_GE(bestRun, size.cx - 2);

  // Without ETO_OPAQUE an OPAQUE background mode fills the text's cells only.
  TextCanvas d(120, 50);
  SetBkColor(d.dc, RGB(0, 0, 255));
  ASSERT_TRUE(TextOutW(d.dc, 10, 8, kText, 4));
  EXPECT_EQ(d.OutsideNot(kWhite, 9, 7, 10 + size.cx + 1, 8 + size.cy + 1), 0);
  EXPECT_GT(d.Count(kBlue), size.cx * size.cy / 2);
}

TEST(MemoryDcText, ClipsCutTheText) {
  TextCanvas whole(120, 50), cut(120, 50), clipped(120, 50);
  for (TextCanvas* c : {&whole, &cut, &clipped}) SetBkMode(c->dc, TRANSPARENT);
  ASSERT_TRUE(TextOutW(whole.dc, 10, 10, kText, 4));
  ASSERT_NE(IntersectClipRect(cut.dc, 0, 0, 30, 50), ERROR);
  ASSERT_TRUE(TextOutW(cut.dc, 10, 10, kText, 4));
  // Left of the clip's edge the pixels are the unclipped text's; right of it nothing.
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 120; ++x) {
      if (x < 30) EXPECT_EQ(cut.At(x, y), whole.At(x, y)) << x << "," << y;
      else EXPECT_EQ(cut.At(x, y), kWhite) << x << "," << y;
    }
  EXPECT_GT(whole.Count(0, 30), 20);
  EXPECT_GT(cut.Count(0), 10);

  // ETO_CLIPPED cuts to its rectangle as well.
  RECT box{0, 0, 120, 20};
  ASSERT_TRUE(ExtTextOutW(clipped.dc, 10, 10, ETO_CLIPPED, &box, kText, 4, nullptr));
  EXPECT_EQ(clipped.OutsideNot(kWhite, 0, 0, 120, 20), 0);
  EXPECT_GT(clipped.Count(0), 10);
}

}  // namespace
