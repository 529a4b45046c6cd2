// Fonts and text on a printer device context, checked in the string and font objects DrvTextOut
// receives. Needs fonts-dejavu-core (DejaVu Sans, DejaVu Sans Mono) and fonts-liberation
// (Liberation Serif); the device is 600 dpi in MM_TEXT, so logical units are device pixels.
#include <cmath>
#include <fstream>
#include <iterator>

#include "drawing_page.h"
#include "platform/utf16.h"

namespace {

using drawing::Driver;
using drawing::FiguresOf;
using drawing::Str;
using fakes::DrawCall;

const char* kSansFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class GdiTextTest : public drawing::PageTest {
 protected:
  HFONT Select(int height, const char16_t* face, int weight = FW_NORMAL, bool italic = false, int escapement = 0,
               int width = 0, bool underline = false, bool strike = false) {
    HFONT f = CreateFontW(height, width, escapement, escapement, weight, italic, underline, strike, ANSI_CHARSET, 0, 0,
                          0, 0, face);
    EXPECT_NE(f, nullptr);
    old = SelectObject(hdc, f);
    EXPECT_NE(old, nullptr);
    fonts.push_back(f);
    return f;
  }
  void TearDown() override {
    if (old != nullptr) SelectObject(hdc, old);
    for (HFONT f : fonts) DeleteObject(f);
    PageTest::TearDown();
  }
  // The one TextOut call since the last take.
  DrawCall One() {
    auto calls = Take();
    EXPECT_EQ(Hooks(calls), "TextOut");
    return calls.empty() ? DrawCall{} : calls[0];
  }
  TEXTMETRICW Metrics() {
    TEXTMETRICW tm{};
    EXPECT_TRUE(GetTextMetricsW(hdc, &tm));
    return tm;
  }
  LONG Width(const char16_t* s) {
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32W(hdc, s, static_cast<int>(std::char_traits<char16_t>::length(s)), &size));
    return size.cx;
  }
  HGDIOBJ old = nullptr;
  std::vector<HFONT> fonts;
};

TEST_F(GdiTextTest, TextOutHandsTheDriverGlyphsAtTheirAdvancesBelowTheTopLeftReference) {
  Select(-100, u"DejaVu Sans");
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, RGB(10, 20, 30));
  ASSERT_TRUE(TextOutW(hdc, 1000, 2000, u"Hello", 5));
  DrawCall c = One();
  TEXTMETRICW tm = Metrics();
  INT widthH = 0;
  ASSERT_TRUE(GetCharWidth32W(hdc, 'H', 'H', &widthH));
  ASSERT_EQ(c.glyphs.size(), 5u);
  EXPECT_EQ(c.text, u"Hello");
  EXPECT_EQ(c.family, u"DejaVu Sans");
  EXPECT_EQ(c.unitsPerEm, 2048);
  EXPECT_FLOAT_EQ(c.fontXform.eM11, 100.0f / 2048);
  EXPECT_FLOAT_EQ(c.fontXform.eM22, 100.0f / 2048);
  EXPECT_EQ(c.glyphs[0].ptl.x, 1000);
  EXPECT_EQ(c.glyphs[0].ptl.y, 2000 + tm.tmAscent) << "TA_TOP: the reference is the cell's top";
  EXPECT_EQ(c.glyphs[1].ptl.x - c.glyphs[0].ptl.x, widthH);
  EXPECT_EQ(c.glyphs[4].ptl.x + Width(u"o"), 1000 + Width(u"Hello"));
  WORD indices[5] = {};
  ASSERT_EQ(GetGlyphIndicesW(hdc, u"Hello", 5, indices, 0), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(c.glyphs[i].hg, indices[i]);
  EXPECT_EQ(c.accel, SO_HORIZONTAL | SO_FLAG_DEFAULT_PLACEMENT);
  EXPECT_TRUE(c.positionsGiven);
  EXPECT_EQ(c.charInc, 0u);
  EXPECT_FALSE(c.hasOpaque);
  EXPECT_TRUE(c.extras.empty());
  EXPECT_EQ(c.brushColor, 0x001E140Au);
  EXPECT_EQ(c.mix, 0x0D0Du);
  EXPECT_GT(c.fontFileSize, 100000u);
  EXPECT_NE(c.fontType & FO_TYPE_TRUETYPE, 0u);
  EXPECT_EQ(c.clipComplexity, DC_TRIVIAL);
  EXPECT_EQ(c.background.top, 2000);
  EXPECT_EQ(c.background.bottom, 2000 + tm.tmHeight);
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 100) << "a negative height is the em";

  // The same font again is the same realization; a fixed-pitch face gets a character increment.
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"x", 1));
  EXPECT_EQ(One().fontUniq, c.fontUniq);
  Select(-100, u"DejaVu Sans Mono");
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"il", 2));
  DrawCall mono = One();
  EXPECT_NE(mono.fontUniq, c.fontUniq);
  EXPECT_EQ(mono.charInc, static_cast<ULONG>(Width(u"i")));
  EXPECT_EQ(mono.glyphs[1].ptl.x, Width(u"i"));
}

TEST_F(GdiTextTest, EveryAlignmentMovesTheFirstOriginByTheWidthAndTheCellMetrics) {
  Select(-80, u"DejaVu Sans");
  TEXTMETRICW tm = Metrics();
  LONG w = Width(u"Wave");
  const UINT horizontal[] = {TA_LEFT, TA_CENTER, TA_RIGHT};
  const LONG dx[] = {0, -w / 2, -w};
  const UINT vertical[] = {TA_TOP, TA_BASELINE, TA_BOTTOM};
  const LONG dy[] = {tm.tmAscent, 0, -tm.tmDescent};
  for (int h = 0; h < 3; ++h) {
    for (int v = 0; v < 3; ++v) {
      SetTextAlign(hdc, horizontal[h] | vertical[v]);
      ASSERT_TRUE(TextOutW(hdc, 3000, 3000, u"Wave", 4));
      DrawCall c = One();
      ASSERT_FALSE(c.glyphs.empty());
      EXPECT_NEAR(c.glyphs[0].ptl.x, 3000 + dx[h], 1) << "h=" << h << " v=" << v;
      EXPECT_EQ(c.glyphs[0].ptl.y, 3000 + dy[v]) << "h=" << h << " v=" << v;
    }
  }
  EXPECT_EQ(GetTextAlign(hdc), TA_RIGHT | TA_BOTTOM);
}

TEST_F(GdiTextTest, UpdatingTheCurrentPositionFollowsTheHorizontalAlignment) {
  Select(-80, u"DejaVu Sans");
  LONG w = Width(u"AB");
  SetTextAlign(hdc, TA_UPDATECP | TA_BASELINE);
  MoveToEx(hdc, 500, 600, nullptr);
  ASSERT_TRUE(TextOutW(hdc, 9999, 9999, u"AB", 2));  // the position given is ignored
  DrawCall c = One();
  EXPECT_EQ(c.glyphs[0].ptl.x, 500);
  EXPECT_EQ(c.glyphs[0].ptl.y, 600);
  POINT cp{};
  GetCurrentPositionEx(hdc, &cp);
  EXPECT_EQ(cp.x, 500 + w);
  EXPECT_EQ(cp.y, 600);

  SetTextAlign(hdc, TA_UPDATECP | TA_RIGHT | TA_BASELINE);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"AB", 2));
  c = One();
  EXPECT_EQ(c.glyphs[0].ptl.x, 500);  // ends where the last text began
  GetCurrentPositionEx(hdc, &cp);
  EXPECT_EQ(cp.x, 500);

  SetTextAlign(hdc, TA_UPDATECP | TA_CENTER | TA_BASELINE);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"AB", 2));
  (void)One();
  GetCurrentPositionEx(hdc, &cp);
  EXPECT_EQ(cp.x, 500);

  SetTextAlign(hdc, TA_BASELINE);
  ASSERT_TRUE(TextOutW(hdc, 100, 100, u"AB", 2));
  (void)One();
  GetCurrentPositionEx(hdc, &cp);
  EXPECT_EQ(cp.x, 500) << "without TA_UPDATECP the position stays";
}

TEST_F(GdiTextTest, SpacingArraysPlaceEveryGlyphAndRightToLeftReverses) {
  Select(-80, u"DejaVu Sans");
  SetTextAlign(hdc, TA_BASELINE);
  const INT dx[] = {30, 40, 50};
  ASSERT_TRUE(ExtTextOutW(hdc, 1000, 1000, 0, nullptr, u"abc", 3, dx));
  DrawCall c = One();
  ASSERT_EQ(c.glyphs.size(), 3u);
  EXPECT_EQ(c.glyphs[1].ptl.x, 1030);
  EXPECT_EQ(c.glyphs[2].ptl.x, 1070);
  EXPECT_EQ(c.accel & SO_FLAG_DEFAULT_PLACEMENT, 0u);
  EXPECT_EQ(c.background.right, 1120);

  const INT pairs[] = {30, 5, 40, -10, 0, 0};
  ASSERT_TRUE(ExtTextOutW(hdc, 1000, 1000, ETO_PDY, nullptr, u"abc", 3, pairs));
  c = One();
  EXPECT_EQ(c.glyphs[1].ptl.x, 1030);
  EXPECT_EQ(c.glyphs[1].ptl.y, 1005);
  EXPECT_EQ(c.glyphs[2].ptl.y, 995);
  EXPECT_NE(c.accel & SO_DXDY, 0u);

  WORD gi[2] = {};
  ASSERT_EQ(GetGlyphIndicesW(hdc, u"ab", 2, gi, 0), 2u);
  ASSERT_TRUE(ExtTextOutW(hdc, 1000, 1000, ETO_RTLREADING, nullptr, u"ab", 2, nullptr));
  c = One();
  EXPECT_EQ(c.glyphs[0].hg, gi[1]);
  EXPECT_EQ(c.glyphs[1].hg, gi[0]);
  EXPECT_EQ(c.text, u"ba");

  const WCHAR glyphs[] = {static_cast<WCHAR>(gi[0]), static_cast<WCHAR>(gi[1])};
  ASSERT_TRUE(ExtTextOutW(hdc, 1000, 1000, ETO_GLYPH_INDEX, nullptr, glyphs, 2, nullptr));
  c = One();
  EXPECT_NE(c.accel & SO_GLYPHINDEX_TEXTOUT, 0u);
  EXPECT_EQ(c.glyphs[0].hg, gi[0]);
  EXPECT_EQ(c.glyphs[1].ptl.x, 1000 + Width(u"a"));
  EXPECT_TRUE(c.text.empty());

  // A character beyond 16 bits is one glyph, spaced by both its entries; the driver's copy of
  // the text keeps one unit per glyph.
  const INT four[] = {10, 20, 30, 40};
  ASSERT_TRUE(ExtTextOutW(hdc, 1000, 1000, 0, nullptr, u"a\U0001D538b", 4, four));
  c = One();
  ASSERT_EQ(c.glyphs.size(), 3u);
  EXPECT_EQ(c.glyphs[1].ptl.x, 1010);
  EXPECT_EQ(c.glyphs[2].ptl.x, 1060);
  EXPECT_EQ(c.text, u"a\uFFFDb");
  EXPECT_NE(c.glyphs[1].hg, 0u) << "DejaVu Sans has the double-struck A";
  EXPECT_EQ(Width(u"a\U0001D538"), Width(u"a") + Width(u"\U0001D538"));

  WORD missing[1] = {};
  EXPECT_EQ(GetGlyphIndicesW(hdc, u"\xE000", 1, missing, GGI_MARK_NONEXISTING_GLYPHS), 1u);
  EXPECT_EQ(missing[0], 0xFFFF);
  EXPECT_EQ(GetGlyphIndicesW(hdc, u"\xE000", 1, missing, 0), 1u);
  EXPECT_EQ(missing[0], 0);
}

TEST_F(GdiTextTest, CharacterExtraWidensEveryAdvance) {
  Select(-80, u"DejaVu Sans");
  SetTextAlign(hdc, TA_BASELINE);
  LONG plain = Width(u"abc");
  EXPECT_EQ(SetTextCharacterExtra(hdc, 7), 0);
  EXPECT_EQ(GetTextCharacterExtra(hdc), 7);
  EXPECT_EQ(Width(u"abc"), plain + 21);
  ASSERT_TRUE(TextOutW(hdc, 0, 500, u"abc", 3));
  DrawCall c = One();
  EXPECT_NE(c.accel & SO_CHARACTER_EXTRA, 0u);
  SetTextCharacterExtra(hdc, 0);
  EXPECT_EQ(c.glyphs[1].ptl.x, Width(u"a") + 7);
}

TEST_F(GdiTextTest, BackgroundIsOpaqueByModeOrByRectangleAndClippingCutsToTheRectangle) {
  Select(-80, u"DejaVu Sans");
  SetBkColor(hdc, RGB(200, 100, 50));
  ASSERT_EQ(GetBkMode(hdc), OPAQUE);
  ASSERT_TRUE(TextOutW(hdc, 100, 100, u"ab", 2));
  DrawCall c = One();
  ASSERT_TRUE(c.hasOpaque);
  EXPECT_EQ(c.opaque, c.background);
  EXPECT_EQ(c.opaqueColor, 0x003264C8u);

  RECT box{50, 50, 400, 300};
  ASSERT_TRUE(ExtTextOutW(hdc, 100, 100, ETO_OPAQUE, &box, u"ab", 2, nullptr));
  c = One();
  EXPECT_EQ(c.opaque, (RECTL{50, 50, 400, 300}));

  SetBkMode(hdc, TRANSPARENT);
  ASSERT_TRUE(TextOutW(hdc, 100, 100, u"ab", 2));
  EXPECT_FALSE(One().hasOpaque);

  RECT cut{100, 100, 130, 400};
  ASSERT_TRUE(ExtTextOutW(hdc, 100, 100, ETO_CLIPPED, &cut, u"wide text", 9, nullptr));
  c = One();
  EXPECT_EQ(c.clipComplexity, DC_RECT);
  EXPECT_EQ(c.clipBounds.right, 130);
  EXPECT_GE(c.clipBounds.left, 100);

  // An empty string only paints the rectangle.
  ASSERT_TRUE(ExtTextOutW(hdc, 100, 100, ETO_OPAQUE, &box, nullptr, 0, nullptr));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt");
  EXPECT_EQ(calls[0].target, (RECTL{50, 50, 400, 300}));
  EXPECT_EQ(calls[0].brushColor, 0x003264C8u);

  // Wholly outside the clip: the driver is not called.
  RECT away{4000, 4000, 4010, 4010};
  ASSERT_TRUE(ExtTextOutW(hdc, 100, 100, ETO_CLIPPED, &away, u"ab", 2, nullptr));
  EXPECT_TRUE(Take().empty());
}

TEST_F(GdiTextTest, UnderlineAndStrikeOutAreExtraRectanglesOrFiguresWhenTurned) {
  Select(-100, u"DejaVu Sans", FW_NORMAL, false, 0, 0, true, true);
  SetBkMode(hdc, TRANSPARENT);
  SetTextAlign(hdc, TA_BASELINE);
  ASSERT_TRUE(TextOutW(hdc, 1000, 1000, u"ab", 2));
  DrawCall c = One();
  ASSERT_EQ(c.extras.size(), 2u);
  const RECTL& under = c.extras[0];
  const RECTL& strike = c.extras[1];
  EXPECT_EQ(under.left, 1000);
  EXPECT_EQ(under.right, 1000 + Width(u"ab"));
  EXPECT_GT(under.top, 1000) << "below the baseline";
  EXPECT_LT(strike.bottom, 1000) << "above the baseline";
  EXPECT_GT(strike.top, 1000 - 60);
  EXPECT_GE(under.bottom - under.top, 1);

  // A quarter turn keeps the underline a rectangle, now running up the page.
  HFONT up = CreateFontW(-100, 0, 900, 900, FW_NORMAL, 0, 1, 0, 0, 0, 0, 0, 0, u"DejaVu Sans");
  fonts.push_back(up);
  SelectObject(hdc, up);
  ASSERT_TRUE(TextOutW(hdc, 1000, 1000, u"ab", 2));
  c = One();
  ASSERT_EQ(c.extras.size(), 1u);
  EXPECT_EQ(c.extras[0].bottom, 1000);
  EXPECT_EQ(c.extras[0].top, 1000 - Width(u"ab"));
  EXPECT_GT(c.extras[0].left, 1000) << "right of the baseline, below the turned glyphs";

  HFONT slanted = CreateFontW(-100, 0, 450, 450, FW_NORMAL, 0, 1, 0, 0, 0, 0, 0, 0, u"DejaVu Sans");
  fonts.push_back(slanted);
  SelectObject(hdc, slanted);
  ASSERT_TRUE(TextOutW(hdc, 1000, 1000, u"ab", 2));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "TextOut FillPath");
  EXPECT_TRUE(calls[0].extras.empty());
  auto band = FiguresOf(calls[1]);
  ASSERT_EQ(band.size(), 1u);
  EXPECT_EQ(band[0].points.size(), 4u);
  EXPECT_LT(calls[1].pathBounds.yTop, 1000 * 16 - 50 * 16) << "climbs with the baseline";
}

TEST_F(GdiTextTest, EscapementTurnsTheBaselineAndTheFontTransform) {
  Select(-100, u"DejaVu Sans", FW_NORMAL, false, 900);
  SetTextAlign(hdc, TA_BASELINE);
  SetBkMode(hdc, TRANSPARENT);
  ASSERT_TRUE(TextOutW(hdc, 2000, 2000, u"HH", 2));
  DrawCall c = One();
  ASSERT_EQ(c.glyphs.size(), 2u);
  EXPECT_EQ(c.glyphs[1].ptl.x, 2000);
  EXPECT_EQ(c.glyphs[1].ptl.y, 2000 - Width(u"H"));
  EXPECT_EQ(c.accel & (SO_HORIZONTAL | SO_VERTICAL | SO_REVERSED), SO_VERTICAL | SO_REVERSED);
  EXPECT_NEAR(c.fontXform.eM12, -100.0 / 2048, 1e-6);
  EXPECT_NEAR(c.fontXform.eM21, 100.0 / 2048, 1e-6);
  EXPECT_NEAR(c.fontXform.eM11, 0, 1e-6);
}

TEST_F(GdiTextTest, AWorldTransformScalesAndTurnsTheText) {
  Select(-50, u"DejaVu Sans");
  SetTextAlign(hdc, TA_BASELINE);
  SetBkMode(hdc, TRANSPARENT);
  ASSERT_EQ(SetGraphicsMode(hdc, GM_ADVANCED), GM_COMPATIBLE);
  XFORM quarter{0, -2, 2, 0, 1000, 1000};  // twice the size, a quarter turn counter-clockwise
  ASSERT_TRUE(SetWorldTransform(hdc, &quarter));
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"HH", 2));
  DrawCall c = One();
  ASSERT_EQ(c.glyphs.size(), 2u);
  EXPECT_EQ(c.glyphs[0].ptl.x, 1000);
  EXPECT_EQ(c.glyphs[0].ptl.y, 1000);
  EXPECT_EQ(c.glyphs[1].ptl.x, 1000);
  EXPECT_LT(c.glyphs[1].ptl.y, 1000 - Width(u"H")) << "advances are twice the logical width, up the page";
  EXPECT_NEAR(c.fontXform.eM12, -100.0 / 2048, 1e-6);
  EXPECT_EQ(c.accel & (SO_VERTICAL | SO_REVERSED), SO_VERTICAL | SO_REVERSED);
  EXPECT_NEAR(Width(u"H") * 2, 1000 - c.glyphs[1].ptl.y, 1);
}

TEST_F(GdiTextTest, HeightWidthWeightAndVerticalFacesShapeTheRealization) {
  Select(100, u"DejaVu Sans");
  TEXTMETRICW cell = Metrics();
  EXPECT_NEAR(cell.tmHeight, 100, 1) << "a positive height is the cell";
  EXPECT_GT(cell.tmInternalLeading, 0);
  EXPECT_EQ(cell.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_FIXED_PITCH), TMPF_TRUETYPE | TMPF_FIXED_PITCH);
  WCHAR face[32] = {};
  EXPECT_EQ(GetTextFaceW(hdc, 32, face), 11);
  EXPECT_EQ(std::u16string(face), u"DejaVu Sans");

  Select(-100, u"DejaVu Sans", FW_NORMAL, false, 0, 0);
  TEXTMETRICW normal = Metrics();
  Select(-100, u"DejaVu Sans", FW_NORMAL, false, 0, normal.tmAveCharWidth * 2);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  DrawCall wide = One();
  EXPECT_NEAR(wide.fontXform.eM11 / wide.fontXform.eM22, 2.0, 0.05);
  EXPECT_NEAR(Metrics().tmAveCharWidth, normal.tmAveCharWidth * 2, 2);

  Select(-100, u"DejaVu Sans", FW_BOLD);
  EXPECT_EQ(Metrics().tmWeight, FW_BOLD);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  DrawCall bold = One();
  EXPECT_EQ(bold.fontType & FO_SIM_BOLD, 0u) << "the installed bold face, not a simulation";
  EXPECT_EQ(bold.family, u"DejaVu Sans");

  Select(-100, u"@DejaVu Sans");
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  DrawCall vertical = One();
  EXPECT_EQ(vertical.family, u"@DejaVu Sans");
  EXPECT_NE(vertical.fontType & FO_VERT_FACE, 0u);

  HFONT central = CreateFontW(-50, 0, 0, 0, 0, 0, 0, 0, 238, 0, 0, 0, 0, u"DejaVu Sans");
  fonts.push_back(central);
  SelectObject(hdc, central);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  EXPECT_EQ(One().charSet, 238);
}

TEST_F(GdiTextTest, MemoryFontsServeTheirFamilyAndMissingStylesAreSimulated) {
  std::ifstream in(kSansFile, std::ios::binary);
  std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(bytes.empty());
  DWORD count = 0;
  HANDLE mem = AddFontMemResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &count);
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(count, 1u);
  bytes.assign(bytes.size(), 0);  // the platform keeps its own copy
  // Only the book face is registered under the family: bold and italic are made from it.
  Select(-100, u"DejaVu Sans", FW_BOLD, true);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  DrawCall c = One();
  EXPECT_EQ(c.fontType & (FO_SIM_BOLD | FO_SIM_ITALIC), FO_SIM_BOLD | FO_SIM_ITALIC);
  EXPECT_TRUE(RemoveFontMemResourceEx(mem));
  EXPECT_FALSE(RemoveFontMemResourceEx(mem));

  Select(-100, u"DejaVu Sans", FW_BOLD, false);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  EXPECT_EQ(One().fontType & FO_SIM_BOLD, 0u) << "the installed faces are back";

  BYTE junk[64] = {1, 2, 3};
  EXPECT_EQ(AddFontMemResourceEx(junk, sizeof junk, nullptr, &count), nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(AddFontMemResourceEx(junk, sizeof junk, nullptr, nullptr), nullptr);
  EXPECT_EQ(AddFontResourceExW(u"/nonexistent/font.ttf", FR_PRIVATE, nullptr), 0);
  std::u16string path = platform::Utf8ToUtf16(kSansFile);
  EXPECT_EQ(AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr), 1);
  Select(-100, u"DejaVu Sans", FW_BOLD, false);
  ASSERT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  EXPECT_EQ(One().fontType & FO_SIM_BOLD, FO_SIM_BOLD) << "the registered file's face comes first";
  EXPECT_TRUE(RemoveFontResourceExW(path.c_str(), FR_PRIVATE, nullptr));
  EXPECT_FALSE(RemoveFontResourceExW(path.c_str(), FR_PRIVATE, nullptr));
}

struct Seen {
  std::vector<std::u16string> families;
  std::vector<std::u16string> styles;
  int stopAfter = 1000;
};

int CALLBACK_Record(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM lp) {
  auto* seen = reinterpret_cast<Seen*>(lp);
  const auto* elf = reinterpret_cast<const ENUMLOGFONTEXW*>(lf);
  seen->families.emplace_back(platform::WideField(lf->lfFaceName, LF_FACESIZE));
  seen->styles.emplace_back(platform::WideField(elf->elfStyle, LF_FACESIZE));
  EXPECT_EQ(type, TRUETYPE_FONTTYPE);
  EXPECT_GT(tm->tmHeight, 0);
  return --seen->stopAfter > 0 ? 1 : 0;
}

TEST_F(GdiTextTest, EnumerationListsFamiliesOnceAndEveryStyleOfANamedFamily) {
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  Seen all;
  EXPECT_EQ(EnumFontFamiliesExW(hdc, &lf, CALLBACK_Record, reinterpret_cast<LPARAM>(&all), 0), 1);
  auto has = [&](const std::u16string& f) { return std::count(all.families.begin(), all.families.end(), f); };
  EXPECT_EQ(has(u"DejaVu Sans"), 1);
  EXPECT_EQ(has(u"Liberation Serif"), 1);

  platform::CopyWideField(lf.lfFaceName, LF_FACESIZE, u"liberation serif");
  Seen serif;
  EXPECT_EQ(EnumFontFamiliesExW(hdc, &lf, CALLBACK_Record, reinterpret_cast<LPARAM>(&serif), 0), 1);
  std::sort(serif.styles.begin(), serif.styles.end());
  EXPECT_EQ(serif.styles, (std::vector<std::u16string>{u"Bold", u"Bold Italic", u"Italic", u"Regular"}));

  Seen first;
  first.stopAfter = 1;
  EXPECT_EQ(EnumFontFamiliesExW(hdc, &lf, CALLBACK_Record, reinterpret_cast<LPARAM>(&first), 0), 0);
  EXPECT_EQ(first.families.size(), 1u);

  platform::CopyWideField(lf.lfFaceName, LF_FACESIZE, u"No Such Family");
  Seen none;
  EXPECT_EQ(EnumFontFamiliesExW(hdc, &lf, CALLBACK_Record, reinterpret_cast<LPARAM>(&none), 0), 0);
  EXPECT_TRUE(none.families.empty());
}

TEST_F(GdiTextTest, ARefusedStringIsFilledAsGlyphOutlinesOverItsBackground) {
  Select(-100, u"DejaVu Sans");
  Driver().refuseText = true;
  SetTextColor(hdc, RGB(0, 0, 255));
  SetTextAlign(hdc, TA_BASELINE);
  ASSERT_TRUE(TextOutW(hdc, 1000, 1000, u"oi", 2));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "TextOut(refused) BitBlt FillPath");
  EXPECT_EQ(calls[1].brushColor, 0x00FFFFFFu) << "the background in the background colour";
  const DrawCall& fill = calls[2];
  EXPECT_EQ(fill.brushColor, 0x00FF0000u);
  EXPECT_EQ(fill.fillOptions, FP_WINDINGMODE);
  auto figures = FiguresOf(fill);
  EXPECT_EQ(figures.size(), 4u) << "o: two contours; i: stem and dot";
  for (const auto& f : figures) EXPECT_TRUE(f.closed);
  EXPECT_GE(fill.pathBounds.xLeft, 1000 * 16);
  EXPECT_LE(fill.pathBounds.yBottom, 1002 * 16);
  EXPECT_LT(fill.pathBounds.yTop, 1000 * 16 - 50 * 16);
}

TEST_F(GdiTextTest, TextInAPathBracketAddsItsOutlinesToThePath) {
  Select(-100, u"DejaVu Sans");
  SetTextAlign(hdc, TA_BASELINE);
  ASSERT_TRUE(BeginPath(hdc));
  ASSERT_TRUE(TextOutW(hdc, 500, 500, u"o", 1));
  ASSERT_TRUE(EndPath(hdc));
  EXPECT_TRUE(Take().empty());
  int n = GetPath(hdc, nullptr, nullptr, 0);
  ASSERT_GT(n, 8);
  std::vector<POINT> pts(static_cast<size_t>(n));
  std::vector<BYTE> types(static_cast<size_t>(n));
  ASSERT_EQ(GetPath(hdc, pts.data(), types.data(), n), n);
  EXPECT_EQ(std::count(types.begin(), types.end(), PT_MOVETO), 2);
  for (const auto& p : pts) {
    EXPECT_GE(p.x, 500);
    EXPECT_LE(p.y, 502);
  }
  ASSERT_TRUE(FillPath(hdc));
  EXPECT_EQ(Hooks(Take()), "FillPath");
}

TEST_F(GdiTextTest, BadArgumentsFailCleanly) {
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
  EXPECT_FALSE(TextOutW(hdc, 0, 0, nullptr, 3));
  EXPECT_FALSE(TextOutW(hdc, 0, 0, u"a", -1));
  EXPECT_FALSE(TextOutW(reinterpret_cast<HDC>(0x1234), 0, 0, u"a", 1));
  EXPECT_FALSE(GetTextExtentPoint32W(hdc, u"a", 1, nullptr));
  EXPECT_EQ(GetGlyphIndicesW(hdc, nullptr, 1, nullptr, 0), GDI_ERROR);
  EXPECT_EQ(SetBkMode(hdc, 7), 0);
  EXPECT_TRUE(Take().empty());
  // A face name without its NUL is cut, not read past.
  LOGFONTW lf{};
  lf.lfHeight = -40;
  for (auto& ch : lf.lfFaceName) ch = u'Z';
  HFONT f = CreateFontIndirectW(&lf);
  ASSERT_NE(f, nullptr);
  fonts.push_back(f);
  old = SelectObject(hdc, f);
  EXPECT_TRUE(TextOutW(hdc, 0, 0, u"a", 1)) << "an unknown face falls back to fontconfig's choice";
  EXPECT_EQ(Hooks(Take()), "TextOut");
  // The default font of a new context prints too.
  SelectObject(hdc, old);
  old = nullptr;
  EXPECT_TRUE(TextOutW(hdc, 0, 0, u"a", 1));
  EXPECT_EQ(Hooks(Take()), "TextOut");
  EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_GUI_FONT)), OBJ_FONT);
}

}  // namespace
