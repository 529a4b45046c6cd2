// Font and string objects over real faces. Needs fonts-dejavu-core (DejaVu Sans, DejaVu Sans Mono)
// and fonts-liberation (Liberation Serif).
#include "platform/font_objects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/utf16.h"

namespace {

using platform::engine::EngineFont;
using platform::engine::EngineString;
using platform::engine::FontRealization;

const std::string kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
const std::string kSerif = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";

EngineFont Load(const std::string& path, FontRealization r = {}) {
  auto f = EngineFont::FromFile(path, 0, r);
  if (!f) ADD_FAILURE() << "cannot load " << path << " (install-deps.sh installs the font packages)";
  return std::move(*f);
}

std::vector<BYTE> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

GLYPHDATA* Glyph(EngineFont& f, HGLYPH g, ULONG mode) {
  PVOID out = nullptr;
  EXPECT_EQ(FONTOBJ_cGetGlyphs(f.get(), mode, 1, &g, &out), 1u);
  return static_cast<GLYPHDATA*>(out);
}

// Rows of a glyph bitmap as strings of '#' and '.'.
std::vector<std::string> Rows(const GLYPHBITS* gb) {
  std::vector<std::string> rows;
  size_t pitch = (static_cast<size_t>(gb->sizlBitmap.cx) + 7) / 8;
  for (LONG y = 0; y < gb->sizlBitmap.cy; ++y) {
    std::string row;
    for (LONG x = 0; x < gb->sizlBitmap.cx; ++x)
      row += (gb->aj[y * pitch + x / 8] & (0x80 >> (x % 8))) != 0 ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

TEST(FontObjects, MetricsRecordNamesTheFaceInItsPublishedLayout) {
  FontRealization r;
  r.charSet = 238;
  EngineFont f = Load(kSans, r);
  IFIMETRICS* ifi = FONTOBJ_pifi(f.get());
  ASSERT_NE(ifi, nullptr);
  auto name = [&](PTRDIFF off) { return platform::Utf16ToUtf8(reinterpret_cast<const WCHAR*>(reinterpret_cast<BYTE*>(ifi) + off)); };
  EXPECT_EQ(name(ifi->dpwszFamilyName), "DejaVu Sans");
  EXPECT_EQ(name(ifi->dpwszStyleName), "Book");
  EXPECT_GE(ifi->cjThis, sizeof(IFIMETRICS) + 2 * 12);
  EXPECT_LT(static_cast<size_t>(ifi->dpwszUniqueName), ifi->cjThis);
  EXPECT_EQ(ifi->fwdUnitsPerEm, 2048);
  EXPECT_EQ(ifi->jWinCharSet, 238);
  EXPECT_EQ(ifi->usWinWeight, 400);
  EXPECT_NE(ifi->flInfo & FM_INFO_TECH_TRUETYPE, 0u);
  EXPECT_EQ(ifi->flInfo & FM_INFO_CONSTANT_WIDTH, 0u);
  EXPECT_EQ(ifi->fsSelection, FM_SEL_REGULAR);
  EXPECT_GT(ifi->fwdWinAscender, 1500);
  EXPECT_GT(ifi->fwdWinDescender, 300);
  EXPECT_GT(ifi->fwdAveCharWidth, 0);
  EXPECT_EQ(FONTOBJ_pifi(Load(kMono).get())->flInfo & FM_INFO_CONSTANT_WIDTH, FM_INFO_CONSTANT_WIDTH);

  r.vertical = true;
  EngineFont v = Load(kSans, r);
  IFIMETRICS* vi = FONTOBJ_pifi(v.get());
  EXPECT_EQ(platform::Utf16ToUtf8(reinterpret_cast<const WCHAR*>(reinterpret_cast<BYTE*>(vi) + vi->dpwszFamilyName)),
            "@DejaVu Sans");
  EXPECT_NE(v.get()->flFontType & FO_VERT_FACE, 0u);
  EXPECT_EQ(f.get()->flFontType & FO_VERT_FACE, 0u);
}

TEST(FontObjects, TransformScalesFontUnitsToTheEmAndTurnsWithTheEscapement) {
  FontRealization r;
  r.emPixels = 100;
  EngineFont f = Load(kSans, r);
  XFORML x{};
  ASSERT_NE(FONTOBJ_pxoGetXform(f.get()), nullptr);
  EXPECT_EQ(XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(f.get()), &x), static_cast<ULONG>(GX_SCALE));
  EXPECT_FLOAT_EQ(x.eM11, 100.0f / 2048);
  EXPECT_FLOAT_EQ(x.eM22, 100.0f / 2048);

  r.escapement = 900;  // baseline straight up the page
  EngineFont up = Load(kSans, r);
  ASSERT_EQ(XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(up.get()), &x), static_cast<ULONG>(GX_GENERAL));
  EXPECT_NEAR(x.eM11, 0, 1e-6);
  EXPECT_NEAR(x.eM12, -100.0 / 2048, 1e-6);  // font x goes to device −y
  EXPECT_NEAR(x.eM21, 100.0 / 2048, 1e-6);   // font y (down) goes to device +x
  EXPECT_NEAR(x.eM22, 0, 1e-6);

  r.escapement = 0;
  r.widthScale = 2;
  EngineFont wide = Load(kSans, r);
  (void)XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(wide.get()), &x);
  EXPECT_FLOAT_EQ(x.eM11, 200.0f / 2048);
  EXPECT_FLOAT_EQ(x.eM22, 100.0f / 2048);
}

TEST(FontObjects, GlyphBitmapsSitOnTheBaselineWithByteAlignedRows) {
  FontRealization r;
  r.emPixels = 64;
  EngineFont f = Load(kSans, r);
  GLYPHDATA* gd = Glyph(f, f.GlyphIndex(U'I'), FO_GLYPHBITS);
  ASSERT_NE(gd, nullptr);
  const GLYPHBITS* gb = gd->gdf.pgb;
  // DejaVu's capital I: a bar from the baseline up to the cap height (1493 of 2048 units).
  EXPECT_EQ(gb->ptlOrigin.y + gb->sizlBitmap.cy, 0);
  EXPECT_NEAR(-gb->ptlOrigin.y, 1493 * 64 / 2048.0, 1.0);
  auto rows = Rows(gb);
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) EXPECT_EQ(row, rows.front());
  EXPECT_NE(rows.front().find('#'), std::string::npos);
  EXPECT_EQ(gd->rclInk.top, gb->ptlOrigin.y);
  EXPECT_EQ(gd->fxD, f.AdvanceFix(f.GlyphIndex(U'I')));
  EXPECT_EQ(gd->ptqD.x >> 32, gd->fxD / 16);

  GLYPHDATA* g = Glyph(f, f.GlyphIndex(U'g'), FO_GLYPHBITS);
  EXPECT_GT(g->gdf.pgb->ptlOrigin.y + g->gdf.pgb->sizlBitmap.cy, 5) << "a descender reaches below the baseline";

  GLYPHDATA* space = Glyph(f, f.GlyphIndex(U' '), FO_GLYPHBITS);
  EXPECT_EQ(space->gdf.pgb->sizlBitmap.cx, 1);
  EXPECT_EQ(space->gdf.pgb->aj[0], 0);
  EXPECT_GT(space->fxD, 0);
}

TEST(FontObjects, SimulatedBoldWidensAndSimulatedItalicLeansTheGlyph) {
  FontRealization r;
  r.emPixels = 64;
  EngineFont plain = Load(kSans, r);
  r.simulateBold = true;
  EngineFont bold = Load(kSans, r);
  r.simulateBold = false;
  r.simulateItalic = true;
  EngineFont italic = Load(kSans, r);
  EXPECT_EQ(bold.get()->flFontType & (FO_SIM_BOLD | FO_SIM_ITALIC), FO_SIM_BOLD);
  EXPECT_EQ(italic.get()->flFontType & (FO_SIM_BOLD | FO_SIM_ITALIC), FO_SIM_ITALIC);
  HGLYPH i = plain.GlyphIndex(U'I');
  auto width = [&](EngineFont& f) { return Glyph(f, i, FO_GLYPHBITS)->gdf.pgb->sizlBitmap.cx; };
  LONG pw = width(plain);
  EXPECT_EQ(width(bold), pw + 2);
  EXPECT_EQ(bold.AdvanceFix(i), plain.AdvanceFix(i) + 2 * 16);
  // Leaning right: the top row's ink starts further right than the bottom row's.
  auto rows = Rows(Glyph(italic, i, FO_GLYPHBITS)->gdf.pgb);
  EXPECT_GT(rows.front().find('#'), rows.back().find('#') + 5);
  EXPECT_EQ(italic.AdvanceFix(i), plain.AdvanceFix(i));
}

TEST(FontObjects, GlyphOutlinesAgreeWithTheBitmaps) {
  FontRealization r;
  r.emPixels = 80;
  r.escapement = 900;
  EngineFont f = Load(kSans, r);
  HGLYPH o = f.GlyphIndex(U'O');
  GLYPHDATA* bits = Glyph(f, o, FO_GLYPHBITS);
  RECTL ink = bits->rclInk;
  GLYPHDATA* gd = Glyph(f, o, FO_PATHOBJ);
  ASSERT_NE(gd->gdf.ppo, nullptr);
  RECTFX b{};
  PATHOBJ_vGetBounds(gd->gdf.ppo, &b);
  // Turned a quarter: the glyph's top points left of the baseline and it runs up the page.
  EXPECT_LE(b.xRight, 2 * 16);
  EXPECT_LT(b.xLeft, -50 * 16);
  EXPECT_LE(b.yBottom, 0);
  EXPECT_LT(b.yTop, -30 * 16);
  EXPECT_NEAR(b.xLeft / 16.0, ink.left, 1.0);
  EXPECT_NEAR(b.xRight / 16.0, ink.right, 1.0);
  EXPECT_NEAR(b.yTop / 16.0, ink.top, 1.0);
  EXPECT_NEAR(b.yBottom / 16.0, ink.bottom, 1.0);
  // An O is two closed contours.
  PATHOBJ_vEnumStart(gd->gdf.ppo);
  PATHDATA pd{};
  int closed = 0;
  BOOL more;
  do {
    more = PATHOBJ_bEnum(gd->gdf.ppo, &pd);
    if ((pd.flags & PD_CLOSEFIGURE) != 0) ++closed;
  } while (more);
  EXPECT_EQ(closed, 2);
  EXPECT_EQ(gd->ptqD.x, 0);
  EXPECT_LT(gd->ptqD.y, 0);
}

TEST(FontObjects, FontFileAndIdentifiersFollowTheFileAndTheRealization) {
  FontRealization r;
  EngineFont a = Load(kSans, r);
  EngineFont b = Load(kSans, r);
  r.emPixels = 51;
  EngineFont bigger = Load(kSans, r);
  EngineFont other = Load(kSerif, r);
  EXPECT_EQ(a.get()->iUniq, b.get()->iUniq);
  EXPECT_NE(a.get()->iUniq, bigger.get()->iUniq);
  EXPECT_EQ(a.get()->iTTUniq, bigger.get()->iTTUniq);
  EXPECT_NE(a.get()->iTTUniq, other.get()->iTTUniq);
  EXPECT_NE(a.get()->flFontType & FO_TYPE_TRUETYPE, 0u);

  ULONG size = 0;
  auto* view = static_cast<const BYTE*>(FONTOBJ_pvTrueTypeFontFile(a.get(), &size));
  std::vector<BYTE> file = FileBytes(kSans);
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(size, file.size());
  EXPECT_TRUE(std::equal(file.begin(), file.end(), view));

  auto mem = EngineFont::FromMemory(file, 0, r);
  ASSERT_TRUE(mem);
  EXPECT_NE(mem->get()->iTTUniq, a.get()->iTTUniq);
  EXPECT_FALSE(EngineFont::FromMemory(std::vector<BYTE>(200, 0x41), 0, r));
  EXPECT_FALSE(EngineFont::FromFile(kSans, 7, r)) << "one face only";
  EXPECT_FALSE(EngineFont::FromFile("/nonexistent.ttf", 0, r));
  std::vector<BYTE> cut(file.begin(), file.begin() + 300);
  EXPECT_FALSE(EngineFont::FromMemory(cut, 0, r));

  ULONG n = FONTOBJ_cGetAllGlyphHandles(a.get(), nullptr);
  EXPECT_GT(n, 3000u);
  std::vector<HGLYPH> all(n, 0xFFFF);
  EXPECT_EQ(FONTOBJ_cGetAllGlyphHandles(a.get(), all.data()), n);
  EXPECT_EQ(all.back(), n - 1);
  HGLYPH past = n;
  PVOID out = reinterpret_cast<PVOID>(1);
  EXPECT_EQ(FONTOBJ_cGetGlyphs(a.get(), FO_GLYPHBITS, 1, &past, &out), 0u);
  EXPECT_EQ(out, nullptr);
}

// A collection of two faces made from two font files: the collection header, then each file with
// its table offsets moved to where its tables now lie.
std::vector<BYTE> Collection(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
  auto be32 = [](std::vector<BYTE>& v, size_t at, uint32_t x) {
    v[at] = static_cast<BYTE>(x >> 24), v[at + 1] = static_cast<BYTE>(x >> 16), v[at + 2] = static_cast<BYTE>(x >> 8),
    v[at + 3] = static_cast<BYTE>(x);
  };
  auto rd32 = [](const std::vector<BYTE>& v, size_t at) {
    return (uint32_t{v[at]} << 24) | (uint32_t{v[at + 1]} << 16) | (uint32_t{v[at + 2]} << 8) | v[at + 3];
  };
  std::vector<BYTE> out(20, 0);
  out[0] = 't', out[1] = 't', out[2] = 'c', out[3] = 'f';
  be32(out, 4, 0x00010000);
  be32(out, 8, 2);
  size_t slot = 12;
  for (const auto* font : {&a, &b}) {
    size_t base = out.size();
    be32(out, slot, static_cast<uint32_t>(base));
    slot += 4;
    out.insert(out.end(), font->begin(), font->end());
    size_t tables = (size_t{(*font)[4]} << 8) | (*font)[5];
    for (size_t i = 0; i < tables; ++i) {
      size_t entry = base + 12 + 16 * i + 8;
      be32(out, entry, rd32(out, entry) + static_cast<uint32_t>(base));
    }
    while (out.size() % 4 != 0) out.push_back(0);
  }
  return out;
}

TEST(FontObjects, AMemberOfACollectionHandsOutTheWholeCollection) {
  std::vector<BYTE> ttc = Collection(FileBytes(kSans), FileBytes(kSerif));
  FontRealization r;
  auto second = EngineFont::FromMemory(ttc, 1, r);
  ASSERT_TRUE(second);
  IFIMETRICS* ifi = FONTOBJ_pifi(second->get());
  EXPECT_EQ(platform::Utf16ToUtf8(reinterpret_cast<const WCHAR*>(reinterpret_cast<BYTE*>(ifi) + ifi->dpwszFamilyName)),
            "Liberation Serif");
  EXPECT_EQ(second->get()->iFace, 2u);
  ULONG size = 0;
  auto* view = static_cast<const BYTE*>(FONTOBJ_pvTrueTypeFontFile(second->get(), &size));
  ASSERT_EQ(size, ttc.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(view), 4), "ttcf");
  auto first = EngineFont::FromMemory(ttc, 0, r);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->get()->iFace, 1u);
  EXPECT_NE(first->get()->iUniq, second->get()->iUniq);
  EXPECT_FALSE(EngineFont::FromMemory(ttc, 2, r));
}

TEST(FontObjects, ForeignPointersAreRefused) {
  // Zeroed records with room behind them, as a caller's own objects would be.
  alignas(8) BYTE rawFont[256] = {};
  alignas(8) BYTE rawString[256] = {};
  FONTOBJ& fake = *reinterpret_cast<FONTOBJ*>(rawFont);
  STROBJ& str = *reinterpret_cast<STROBJ*>(rawString);
  HGLYPH g = 1;
  PVOID out = nullptr;
  ULONG size = 5, count = 5;
  GLYPHPOS* pos = nullptr;
  EXPECT_EQ(FONTOBJ_cGetGlyphs(&fake, FO_GLYPHBITS, 1, &g, &out), 0u);
  EXPECT_EQ(FONTOBJ_pifi(&fake), nullptr);
  EXPECT_EQ(FONTOBJ_pvTrueTypeFontFile(&fake, &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(FONTOBJ_pxoGetXform(nullptr), nullptr);
  EXPECT_FALSE(STROBJ_bEnum(&str, &count, &pos));
  EXPECT_EQ(count, 0u);
}

TEST(StringObjects, PositionsFollowTheAdvancesOrTheCallersSpacing) {
  FontRealization r;
  r.emPixels = 40;
  EngineFont f = Load(kSans, r);
  EngineString s = EngineString::FromText(f, u"AVA", {100, 200});
  const auto& p = s.positions();
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].ptl.x, 100);
  EXPECT_EQ(p[1].ptl.x, 100 + f.AdvanceFix(f.GlyphIndex(U'A')) / 16);
  EXPECT_EQ(p[2].ptl.y, 200);
  EXPECT_EQ(p[1].hg, f.GlyphIndex(U'V'));
  STROBJ* so = s.get();
  EXPECT_EQ(so->cGlyphs, 3u);
  EXPECT_EQ(so->flAccel, SO_HORIZONTAL | SO_FLAG_DEFAULT_PLACEMENT);
  EXPECT_EQ(so->ulCharInc, 0u) << "proportional face";
  EXPECT_EQ(std::u16string(so->pwszOrg, 3), u"AVA");
  // The background box spans the cells: ascent above the baseline, descent below.
  EXPECT_EQ(so->rclBkGround.left, 100);
  EXPECT_EQ(so->rclBkGround.top, 200 - f.Ascent());
  EXPECT_EQ(so->rclBkGround.bottom, 200 + f.Descent());
  EXPECT_EQ(so->rclBkGround.right, p[2].ptl.x + f.AdvanceFix(f.GlyphIndex(U'A')) / 16);

  const LONG dx[] = {7, 9, 11};
  EngineString spaced = EngineString::FromText(f, u"AVA", {0, 0}, dx);
  EXPECT_EQ(spaced.positions()[1].ptl.x, 7);
  EXPECT_EQ(spaced.positions()[2].ptl.x, 16);
  EXPECT_EQ(spaced.get()->flAccel & SO_FLAG_DEFAULT_PLACEMENT, 0u);
  EXPECT_EQ(spaced.get()->rclBkGround.right, 27);

  EngineFont mono = Load(kMono, r);
  EngineString m = EngineString::FromText(mono, u"il", {0, 0});
  EXPECT_EQ(m.get()->ulCharInc, static_cast<ULONG>(mono.AdvanceFix(mono.GlyphIndex(U'i')) / 16));
  EXPECT_GT(m.get()->ulCharInc, 0u);
}

TEST(StringObjects, TurnedTextRunsUpThePageAndSetsTheDirectionFlags) {
  FontRealization r;
  r.emPixels = 40;
  r.escapement = 900;
  EngineFont up = Load(kSans, r);
  EngineString s = EngineString::FromText(up, u"HH", {500, 500});
  LONG adv = up.AdvanceFix(up.GlyphIndex(U'H')) / 16;
  EXPECT_EQ(s.positions()[1].ptl.x, 500);
  EXPECT_EQ(s.positions()[1].ptl.y, 500 - adv);
  EXPECT_EQ(s.get()->flAccel & (SO_HORIZONTAL | SO_VERTICAL | SO_REVERSED), SO_VERTICAL | SO_REVERSED);
  EXPECT_EQ(s.get()->rclBkGround.left, 500 - up.Ascent());
  EXPECT_EQ(s.get()->rclBkGround.bottom, 500);
  r.escapement = 2700;
  EngineFont down = Load(kSans, r);
  EXPECT_EQ(EngineString::FromText(down, u"H", {0, 0}).get()->flAccel & (SO_VERTICAL | SO_REVERSED), SO_VERTICAL);
  r.escapement = 1800;
  EngineFont back = Load(kSans, r);
  EXPECT_EQ(EngineString::FromText(back, u"H", {0, 0}).get()->flAccel & (SO_HORIZONTAL | SO_REVERSED),
            SO_HORIZONTAL | SO_REVERSED);
}

TEST(StringObjects, EnumerationHandsOutBatchesAndStartsOver) {
  EngineFont f = Load(kSans);
  EngineString s = EngineString::FromGlyphs(f, {3, 4, 5, 6, 7, 8, 9}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
  EXPECT_NE(s.get()->flAccel & SO_GLYPHINDEX_TEXTOUT, 0u);
  EXPECT_EQ(s.get()->pwszOrg, nullptr);
  ULONG c = 0;
  GLYPHPOS* gp = nullptr;
  // With the position array visible, everything comes in one batch.
  STROBJ_vEnumStart(s.get());
  EXPECT_FALSE(STROBJ_bEnum(s.get(), &c, &gp));
  EXPECT_EQ(c, 7u);
  EXPECT_EQ(gp, s.get()->pgp);

  s.HidePositions(3);
  EXPECT_EQ(s.get()->pgp, nullptr);
  std::vector<ULONG> counts;
  std::vector<HGLYPH> seen;
  STROBJ_vEnumStart(s.get());
  BOOL more;
  do {
    more = STROBJ_bEnum(s.get(), &c, &gp);
    counts.push_back(c);
    for (ULONG i = 0; i < c; ++i) seen.push_back(gp[i].hg);
  } while (more);
  EXPECT_EQ(counts, (std::vector<ULONG>{3, 3, 1}));
  EXPECT_EQ(seen, (std::vector<HGLYPH>{3, 4, 5, 6, 7, 8, 9}));
  STROBJ_vEnumStart(s.get());
  EXPECT_TRUE(STROBJ_bEnum(s.get(), &c, &gp));
  EXPECT_EQ(gp[0].hg, 3u);
}

TEST(StringObjects, CodePageFollowsTheCharacterSet) {
  FontRealization r;
  EngineFont latin = Load(kSans, r);
  r.charSet = 238;
  EngineFont central = Load(kSans, r);
  EngineString a = EngineString::FromText(latin, u"a", {0, 0});
  EngineString b = EngineString::FromText(central, u"a", {0, 0});
  EXPECT_EQ(STROBJ_dwGetCodePage(a.get()), 1252u);
  EXPECT_EQ(STROBJ_dwGetCodePage(b.get()), 1250u);
}

TEST(EngineText, UnicodeToAnsiConvertsAndStopsAtTheBuffer) {
  WCHAR text[] = u"A\u00e9\u20ac\u4e00";
  char out[8] = {};
  ULONG written = 99;
  EngUnicodeToMultiByteN(out, sizeof out, &written, text, 4 * sizeof(WCHAR));
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(std::string(out, 4), std::string("A\xe9\x80?"));
  char two[2];
  EngUnicodeToMultiByteN(two, 2, &written, text, 4 * sizeof(WCHAR));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(std::string(two, 2), std::string("A\xe9"));
}

}  // namespace
