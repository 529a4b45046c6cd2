// TrueType files from PDFs, renamed and given their own cmap before the engine takes them.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include FT_FONT_FORMATS_H
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "truetype_file.h"

namespace {

std::vector<uint8_t> ReadBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(PdfTrueType, EveryGlyphGetsAPrintableTwoByteCharacter) {
  std::vector<char16_t> seen;
  for (int g = 0; g < rt7700pdf::kMaxGlyphs; ++g) {
    char16_t c = rt7700pdf::GlyphCharacter(g);
    const int high = c >> 8, low = c & 0xFF;
    ASSERT_TRUE((high >= 0x21 && high <= 0x7E) || (high >= 0xA1 && high <= 0xFE)) << g;
    ASSERT_FALSE(high >= 0xD8 && high <= 0xDF) << g;  // no surrogates
    if (g < 25 * 188) {
      ASSERT_TRUE(high >= 0xE0 && high <= 0xF8) << g;  // private use first
    }
    ASSERT_TRUE((low >= 0x21 && low <= 0x7E) || (low >= 0xA1 && low <= 0xFE)) << g;
    seen.push_back(c);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
  EXPECT_EQ(rt7700pdf::GlyphCharacter(rt7700pdf::kMaxGlyphs), 0);
  EXPECT_EQ(rt7700pdf::GlyphCharacter(-1), 0);
}

TEST(PdfTrueType, RenamedFontOpensWithItsNewNameAndReachesEveryGlyph) {
  std::vector<uint8_t> original = ReadBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  ASSERT_GT(original.size(), 1000u);
  auto renamed = rt7700pdf::RenamedTrueType(original.data(), original.size(), u"PDF font Q12");
  ASSERT_TRUE(renamed);
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face;
  ASSERT_EQ(FT_New_Memory_Face(library, renamed->data(), static_cast<FT_Long>(renamed->size()), 0, &face), 0);
  EXPECT_STREQ(face->family_name, "PDF font Q12");
  ASSERT_NE(face->charmap, nullptr);
  EXPECT_EQ(face->charmap->platform_id, 3);
  EXPECT_EQ(face->charmap->encoding_id, 1);
  ASSERT_GT(face->num_glyphs, 1000);
  ASSERT_LT(face->num_glyphs, rt7700pdf::kMaxGlyphs);
  int wrong = 0;
  for (int g = 1; g < face->num_glyphs; ++g) wrong += FT_Get_Char_Index(face, rt7700pdf::GlyphCharacter(g)) != FT_UInt(g);
  EXPECT_EQ(wrong, 0);
  // The glyphs are the original's.
  EXPECT_EQ(FT_Load_Glyph(face, 100, FT_LOAD_NO_SCALE), 0);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

TEST(PdfTrueType, RefusesWhatIsNoTrueTypeFont) {
  std::vector<uint8_t> cff = {'O', 'T', 'T', 'O', 0, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(rt7700pdf::RenamedTrueType(cff.data(), cff.size(), u"X"));
  // A table directory that points past the end.
  std::vector<uint8_t> cut = {0, 1, 0, 0, 0, 1, 0, 16, 0, 0, 0, 0, 'g', 'l', 'y', 'f', 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0xFF, 0};
  EXPECT_FALSE(rt7700pdf::RenamedTrueType(cut.data(), cut.size(), u"X"));
  std::vector<uint8_t> original = ReadBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  ASSERT_GT(original.size(), 1000u);
  EXPECT_FALSE(rt7700pdf::RenamedTrueType(original.data(), 11, u"X"));
  EXPECT_FALSE(rt7700pdf::RenamedTrueType(original.data(), 400, u"X"));  // tables cut off
}

// OpenType-CFF fonts are renamed like TrueType ones and keep their CFF outlines; Type 1 and bare
// CFF files are told apart from both by their first bytes.
TEST(PdfTrueType, OpenTypeCffIsRenamedAndType1AndBareCffAreRecognised) {
  std::vector<uint8_t> otf = ReadBytes("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf");
  std::vector<uint8_t> t1 = ReadBytes("/usr/share/fonts/type1/urw-base35/NimbusRoman-Regular.t1");
  std::vector<uint8_t> ttf = ReadBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  ASSERT_GT(otf.size(), 1000u);
  ASSERT_GT(t1.size(), 1000u);
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face original;
  ASSERT_EQ(FT_New_Memory_Face(library, otf.data(), static_cast<FT_Long>(otf.size()), 0, &original), 0);
  FT_ULong length = 0;
  ASSERT_EQ(FT_Load_Sfnt_Table(original, TTAG_CFF, 0, nullptr, &length), 0);
  std::vector<uint8_t> cff(length);
  ASSERT_EQ(FT_Load_Sfnt_Table(original, TTAG_CFF, 0, cff.data(), &length), 0);

  EXPECT_TRUE(rt7700pdf::IsOpenTypeCff(otf.data(), otf.size()));
  EXPECT_FALSE(rt7700pdf::IsType1OrBareCff(otf.data(), otf.size()));
  EXPECT_TRUE(rt7700pdf::IsType1OrBareCff(t1.data(), t1.size()));
  EXPECT_TRUE(rt7700pdf::IsType1OrBareCff(cff.data(), cff.size()));
  EXPECT_FALSE(rt7700pdf::IsType1OrBareCff(ttf.data(), ttf.size()));
  EXPECT_FALSE(rt7700pdf::IsOpenTypeCff(ttf.data(), ttf.size()));
  EXPECT_FALSE(rt7700pdf::IsType1OrBareCff(t1.data(), 3));
  EXPECT_FALSE(rt7700pdf::RenamedTrueType(t1.data(), t1.size(), u"X"));
  EXPECT_FALSE(rt7700pdf::RenamedTrueType(cff.data(), cff.size(), u"X"));

  auto renamed = rt7700pdf::RenamedTrueType(otf.data(), otf.size(), u"PDF font C00");
  ASSERT_TRUE(renamed);
  FT_Face face;
  ASSERT_EQ(FT_New_Memory_Face(library, renamed->data(), static_cast<FT_Long>(renamed->size()), 0, &face), 0);
  EXPECT_STREQ(face->family_name, "PDF font C00");
  EXPECT_STREQ(FT_Get_Font_Format(face), "CFF");
  EXPECT_EQ(face->num_glyphs, original->num_glyphs);
  // A glyph keeps its outline.
  ASSERT_EQ(FT_Load_Glyph(face, 40, FT_LOAD_NO_SCALE), 0);
  const short points = face->glyph->outline.n_points;
  const FT_Pos advance = face->glyph->advance.x;
  ASSERT_EQ(FT_Load_Glyph(original, 40, FT_LOAD_NO_SCALE), 0);
  EXPECT_GT(points, 0);
  EXPECT_EQ(points, original->glyph->outline.n_points);
  EXPECT_EQ(advance, original->glyph->advance.x);
  FT_Done_Face(face);
  FT_Done_Face(original);
  FT_Done_FreeType(library);
}

}  // namespace
