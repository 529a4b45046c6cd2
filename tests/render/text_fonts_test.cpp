// Printer fonts: the TrueType reader against honest and lying files, the resident font selection,
// and the font substitution file.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/test_hooks.h"
#include "render_fixture.h"
#include "text/text_fonts.h"
#include "text/truetype.h"
#include "support/truetype_builder.h"

namespace rendertest {
namespace {

using render::FontTag;
using render::truetype::Bytes;
using render::truetype::Face;
using testsupport::Pcl;
using testsupport::TestFont;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Glyphs: 0 empty-ish notdef, 1 'A', 2 'B', 3 composite of 1 and 2.
TestFont ThreeGlyphFont() {
  TestFont f;
  f.glyphs = {testsupport::SimpleGlyph(0), testsupport::SimpleGlyph(1), testsupport::SimpleGlyph(2),
              testsupport::CompositeGlyph({1, 2})};
  f.charMap = {{u'A', 1}, {u'B', 2}, {0xC5, 3}};
  return f;
}

TEST(TrueTypeReader, ReadsTablesOfPlainFilesAndCollectionMembers) {
  TestFont a = ThreeGlyphFont();
  const std::vector<uint8_t> plain = a.Build();
  const uint32_t size = static_cast<uint32_t>(plain.size());
  // The size query, a copy, a copy cut at the table's end, a start past it.
  const uint32_t maxpLength = render::ReadFontTable(plain.data(), size, FontTag('m', 'a', 'x', 'p'), 0, nullptr, 0, 0);
  EXPECT_EQ(maxpLength, 6u);
  uint8_t buffer[16] = {};
  EXPECT_EQ(render::ReadFontTable(plain.data(), size, FontTag('m', 'a', 'x', 'p'), 4, buffer, 2, 0), 2u);
  EXPECT_EQ((buffer[0] << 8) | buffer[1], 4);  // numGlyphs
  EXPECT_EQ(render::ReadFontTable(plain.data(), size, FontTag('m', 'a', 'x', 'p'), 2, buffer, 16, 0), 4u);
  EXPECT_EQ(render::ReadFontTable(plain.data(), size, FontTag('m', 'a', 'x', 'p'), 6, buffer, 2, 0), 0u);
  // A tag outside the driver's list, a table the file lacks, a member that does not exist.
  EXPECT_EQ(render::ReadFontTable(plain.data(), size, FontTag('G', 'S', 'U', 'B'), 0, nullptr, 0, 0), 0u);
  EXPECT_EQ(render::ReadFontTable(plain.data(), size, FontTag('h', 'h', 'e', 'a'), 0, nullptr, 0, 0), 0u);

  TestFont b = ThreeGlyphFont();
  b.glyphs.push_back(testsupport::SimpleGlyph(9));
  b.family = u"Other Face";
  const std::vector<uint8_t> ttc = testsupport::Collection({plain, b.Build()});
  const uint32_t ttcSize = static_cast<uint32_t>(ttc.size());
  EXPECT_EQ(render::ReadFontTable(ttc.data(), ttcSize, FontTag('m', 'a', 'x', 'p'), 4, buffer, 2, 1), 2u);
  EXPECT_EQ((buffer[0] << 8) | buffer[1], 5);
  EXPECT_EQ(render::ReadFontTable(ttc.data(), ttcSize, FontTag('m', 'a', 'x', 'p'), 4, buffer, 2, 2), 0u);
  EXPECT_TRUE(render::truetype::MemberHasName({ttc.data(), ttc.size()}, 1, "Other Face"));
  EXPECT_FALSE(render::truetype::MemberHasName({ttc.data(), ttc.size()}, 0, "Other Face"));
}

TEST(TrueTypeReader, TableDirectoryPointingPastTheFileFindsNothing) {
  TestFont f = ThreeGlyphFont();
  std::vector<uint8_t> file = f.Build();
  // The first directory record (cmap): offset near the end, length beyond it.
  testsupport::PutU32(file, 12 + 8, static_cast<uint32_t>(file.size() - 4));
  testsupport::PutU32(file, 12 + 12, 4096);
  EXPECT_EQ(render::ReadFontTable(file.data(), static_cast<uint32_t>(file.size()), FontTag('c', 'm', 'a', 'p'), 0,
                                  nullptr, 0, 0),
            0u);
  Face face;
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  EXPECT_FALSE(face.hasCharMap());
  // A directory that claims more tables than the file holds.
  testsupport::PutU16(file, 4, 4000);
  EXPECT_FALSE(face.Open({file.data(), file.size()}, 0));
  // A collection whose member count overruns the file.
  std::vector<uint8_t> ttc = testsupport::Collection({f.Build()});
  testsupport::PutU32(ttc, 8, 0x10000000);
  EXPECT_FALSE(face.Open({ttc.data(), ttc.size()}, 0));
}

TEST(TrueTypeReader, CharacterMapFormatsFourAndZero) {
  TestFont f = ThreeGlyphFont();
  std::vector<uint8_t> file = f.Build();
  Face face;
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  EXPECT_EQ(face.GlyphIndex(u'A'), 1);
  EXPECT_EQ(face.GlyphIndex(u'B'), 2);
  EXPECT_EQ(face.GlyphIndex(0xC5), 3);
  EXPECT_EQ(face.GlyphIndex(u'C'), 0);
  EXPECT_EQ(face.GlyphIndex(0xFFFF), 0);
  // A segment count that runs the arrays past the subtable leaves no usable map.
  const size_t sub = f.cmapOffset + 12;
  testsupport::PutU16(file, sub + 6, 200);
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  EXPECT_FALSE(face.hasCharMap());
  EXPECT_EQ(face.GlyphIndex(u'A'), 0);
  // A subtable length beyond the table, and an odd segment count.
  file = f.Build();
  testsupport::PutU16(file, sub + 2, 0xFFF0);
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  EXPECT_FALSE(face.hasCharMap());
  file = f.Build();
  testsupport::PutU16(file, sub + 6, 3);
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  EXPECT_FALSE(face.hasCharMap());
  // Format 0 over the same bytes: 262 bytes, glyph ids by byte.
  file = f.Build();
  std::vector<uint8_t> format0(262, 0);
  format0[1] = 0;
  testsupport::PutU16(format0, 2, 262);
  format0[6 + 'B'] = 2;
  file.insert(file.end(), format0.begin(), format0.end());
  testsupport::PutU32(file, f.cmapOffset + 8, static_cast<uint32_t>(file.size() - 262 - f.cmapOffset));
  // Grow the cmap directory record's length to cover the appended subtable.
  for (size_t r = 12; r < 12 + 16 * 6; r += 16)
    if (file[r] == 'c' && file[r + 1] == 'm')
      testsupport::PutU32(file, r + 12, static_cast<uint32_t>(file.size() - f.cmapOffset));
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  ASSERT_TRUE(face.hasCharMap());
  EXPECT_EQ(face.GlyphIndex(u'B'), 2);
  EXPECT_EQ(face.GlyphIndex(u'A'), 0);
  EXPECT_EQ(face.GlyphIndex(0x142), 0);
}

TEST(TrueTypeReader, LocaOutOfOrderOrPastGlyfSkipsOnlyThatGlyph) {
  for (bool longLoca : {false, true}) {
    TestFont f = ThreeGlyphFont();
    f.longLoca = longLoca;
    std::vector<uint8_t> file = f.Build();
    Face face;
    ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
    Bytes g;
    ASSERT_TRUE(face.Glyph(1, &g));
    EXPECT_EQ(g.size(), testsupport::SimpleGlyph(1).size());
    EXPECT_EQ(std::memcmp(g.data(), testsupport::SimpleGlyph(1).data(), g.size()), 0);
    EXPECT_FALSE(face.Glyph(4, &g));  // beyond numGlyphs
    const size_t entry = longLoca ? 4 : 2;
    auto put = [&](size_t index, uint32_t offset) {
      if (longLoca) testsupport::PutU32(file, f.locaOffset + index * entry, offset);
      else testsupport::PutU16(file, f.locaOffset + index * entry, static_cast<uint16_t>(offset / 2));
    };
    // Glyph 2 ends before it starts.
    put(2, 8);
    ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
    EXPECT_FALSE(face.Glyph(1, &g));
    EXPECT_TRUE(face.Glyph(0, &g));
    // The last glyph ends past `glyf`.
    file = f.Build();
    put(4, 0x1FFF0);
    ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
    EXPECT_FALSE(face.Glyph(3, &g));
    EXPECT_TRUE(face.Glyph(2, &g));
  }
}

TEST(TrueTypeReader, CompositeWalksStopAtSelfReferenceCyclesAndDepth) {
  TestFont f = ThreeGlyphFont();
  std::vector<uint8_t> file = f.Build();
  Face face;
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  std::vector<uint16_t> parts;
  ASSERT_TRUE(face.Components(3, &parts));
  EXPECT_EQ(parts, (std::vector<uint16_t>{1, 2}));
  ASSERT_TRUE(face.Components(1, &parts));
  EXPECT_TRUE(parts.empty());

  // 1 refers to itself; 2 and 3 to each other; 4 .. 14 a chain deeper than the budget allows.
  TestFont lying;
  lying.glyphs = {testsupport::SimpleGlyph(0), testsupport::CompositeGlyph({0, 1}), testsupport::CompositeGlyph({3}),
                  testsupport::CompositeGlyph({2})};
  for (uint16_t g = 4; g < 14; ++g) lying.glyphs.push_back(testsupport::CompositeGlyph({static_cast<uint16_t>(g + 1)}));
  lying.glyphs.push_back(testsupport::SimpleGlyph(14));
  file = lying.Build();
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  EXPECT_FALSE(face.Components(1, &parts));
  EXPECT_FALSE(face.Components(2, &parts));
  EXPECT_FALSE(face.Components(4, &parts));
  EXPECT_TRUE(face.Components(8, &parts));  // six levels: within the depth limit
  EXPECT_EQ(parts.size(), 6u);
  // A component record cut off by the glyph's end.
  TestFont cut = ThreeGlyphFont();
  cut.glyphs[3].resize(cut.glyphs[3].size() - 4);
  file = cut.Build();
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  EXPECT_FALSE(face.Components(3, &parts));
}

TEST(TrueTypeReader, RealFaceMapsAndReadsEveryGlyph) {
  const std::string path = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
  const std::vector<uint8_t> file = ReadFile(path);
  if (file.empty()) GTEST_SKIP() << "needs fonts-liberation";
  Face face;
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  ASSERT_TRUE(face.hasCharMap());
  EXPECT_NE(face.GlyphIndex(u'A'), 0);
  EXPECT_NE(face.GlyphIndex(0x20AC), 0);  // euro sign
  int composites = 0;
  for (uint16_t g = 0; g < face.numGlyphs(); ++g) {
    Bytes data;
    ASSERT_TRUE(face.Glyph(g, &data)) << g;
    std::vector<uint16_t> parts;
    ASSERT_TRUE(face.Components(g, &parts)) << g;
    composites += parts.empty() ? 0 : 1;
  }
  EXPECT_GT(composites, 0);
  EXPECT_TRUE(render::truetype::MemberHasName({file.data(), file.size()}, 0, "Liberation Sans"));
}

// --- resident fonts ---

class ResidentFonts : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    pdev_ = Enable();
    ASSERT_NE(pdev_, nullptr);
    render::GraphicsStateReset(*pdev_);
    pdev_->caches.CurrentLanguage = render::kLanguagePcl;
  }
  std::string Select(int number, int size, const std::u16string& text = u"Hi") {
    text_ = text;
    STROBJ s{};
    s.cGlyphs = static_cast<ULONG>(text_.size());
    s.pwszOrg = text_.data();
    codes_.assign(text_.size() * 2, 0xEE);
    EXPECT_EQ(render::SelectResidentFont(*pdev_, nullptr, &s, size, number, codes_.data()), 1);
    EXPECT_EQ(render::FlushOutput(*pdev_), 1);
    return Printed();
  }
  render::Pdev* pdev_ = nullptr;
  std::u16string text_;
  std::vector<uint8_t> codes_;
};

TEST_F(ResidentFonts, SelectionWritesSymbolSetAndHeightOrPitchOnceAndCopiesCodes) {
  pdev_->doc.scaleX = 100;
  EXPECT_EQ(Select(6, 120, u"A\u20AC"), Pcl("\\e(19U\\e(s1p10.00v0s0b16602T"));
  EXPECT_EQ(codes_, (std::vector<uint8_t>{0x41, 0x00, 0xAC, 0x20}));
  EXPECT_EQ(Select(6, 120), "");
  EXPECT_EQ(Select(20, 120), Pcl("\\e(19U\\e(s0p10.00h0s0b4099T"));
  EXPECT_EQ(Select(20, 100), Pcl("\\e(19U\\e(s0p12.00h0s0b4099T"));
  EXPECT_EQ(Select(53, 100), Pcl("\\e(19U\\e(s1p8.33v0s-3b24623T"));
  // The x scaling enters the size; a page reset forgets the selection.
  pdev_->doc.scaleX = 50;
  render::GraphicsStateReset(*pdev_);
  EXPECT_EQ(Select(53, 100), Pcl("\\e(19U\\e(s1p4.17v0s-3b24623T"));
  EXPECT_EQ(pdev_->fonts.labelFontState, 0);
  // Numbers outside the table select nothing.
  STROBJ s{};
  uint8_t codes[2];
  EXPECT_EQ(render::SelectResidentFont(*pdev_, nullptr, &s, 100, 0, codes), 0);
  EXPECT_EQ(render::SelectResidentFont(*pdev_, nullptr, &s, 100, 94, codes), 0);
}

TEST(ResidentFontTable, NamesAndSymbolSets) {
  ASSERT_NE(render::ResidentFontEntry(93), nullptr);
  EXPECT_EQ(render::ResidentFontEntry(94), nullptr);
  EXPECT_EQ(render::ResidentFontEntry(-1), nullptr);
  EXPECT_EQ(std::u16string(render::ResidentFontEntry(6)->name), u"Arial");
  EXPECT_EQ(std::string(render::ResidentFontEntry(93)->symbolSet), "579L");
  EXPECT_EQ(std::string(render::ResidentFontEntry(56)->symbolSet), "14L");
  EXPECT_EQ(std::string(render::ResidentFontEntry(75)->symbolSet), "19M");
  for (int n : {40, 41, 42, 43, 44, 45, 46, 57, 58, 63, 64, 73, 74})
    EXPECT_EQ(std::string(render::ResidentFontEntry(n)->symbolSet), "0U") << n;
  int fixed = 0;
  for (int n = 1; n < render::kResidentFontCount; ++n) {
    const render::ResidentFont* e = render::ResidentFontEntry(n);
    const std::string sel = e->selection;
    // Proportional entries give a height ("v"), fixed ones a pitch ("h").
    EXPECT_NE(sel.find(e->proportional ? "%.2fv" : "%.2fh"), std::string::npos) << n;
    EXPECT_EQ(sel.rfind('T'), sel.size() - 1) << n;
    fixed += e->proportional ? 0 : 1;
  }
  EXPECT_EQ(fixed, 15);
}

TEST(FontQueryHooks, AnnounceNoDeviceFonts) {
  ULONG_PTR id = 7;
  EXPECT_EQ(render::DrvQueryFont(nullptr, 0, 1, &id), nullptr);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(render::DrvQueryFontData(nullptr, nullptr, 0, 0, nullptr, nullptr, 0), 0);
  EXPECT_TRUE(render::DrvQueryAdvanceWidths(nullptr, nullptr, 0, nullptr, nullptr, 0));
}

// --- substitution file ---

std::vector<uint8_t> SubstitutionFile(const std::vector<std::pair<std::u16string, uint16_t>>& records) {
  std::vector<uint8_t> out(4 + records.size() * render::kSubstitutionRecordBytes, 0);
  const uint32_t n = static_cast<uint32_t>(records.size());
  std::memcpy(out.data(), &n, 4);
  for (size_t i = 0; i < records.size(); ++i) {
    uint8_t* r = out.data() + 4 + i * render::kSubstitutionRecordBytes;
    for (size_t k = 0; k < records[i].first.size(); ++k) {
      r[2 * k] = static_cast<uint8_t>(records[i].first[k]);
      r[2 * k + 1] = static_cast<uint8_t>(records[i].first[k] >> 8);
    }
    r[512] = static_cast<uint8_t>(records[i].second);
    r[513] = static_cast<uint8_t>(records[i].second >> 8);
    r[514] = 'x';  // the interface library's own data
  }
  return out;
}

TEST(SubstitutionFile, FirstExactNonzeroRecordWins) {
  const auto file = SubstitutionFile({{u"Arial", 0}, {u"arial", 7}, {u"Arial", 6}, {u"Arial", 9}, {u"Courier New", 20}});
  int number = -1;
  EXPECT_TRUE(render::FindSubstitution(file.data(), file.size(), u"Arial", &number));
  EXPECT_EQ(number, 6);
  EXPECT_TRUE(render::FindSubstitution(file.data(), file.size(), u"Courier New", &number));
  EXPECT_EQ(number, 20);
  EXPECT_FALSE(render::FindSubstitution(file.data(), file.size(), u"ARIAL", &number));
  EXPECT_FALSE(render::FindSubstitution(file.data(), file.size(), u"Aria", &number));
  EXPECT_FALSE(render::FindSubstitution(file.data(), file.size(), u"Courier", &number));
  // A short image: the records it holds are searched, the missing ones are not.
  EXPECT_TRUE(render::FindSubstitution(file.data(), 4 + 3 * 1026, u"Arial", &number));
  EXPECT_FALSE(render::FindSubstitution(file.data(), 4 + 4 * 1026 + 513, u"Courier New", &number));
  // A face name filling its field without a terminator is compared over the field.
  auto full = SubstitutionFile({{std::u16string(256, u'W'), 3}});
  EXPECT_FALSE(render::FindSubstitution(full.data(), full.size(), std::u16string(255, u'W').c_str(), &number));
  EXPECT_TRUE(render::FindSubstitution(full.data(), full.size(), std::u16string(256, u'W').c_str(), &number));
}

TEST_F(RenderTest, SubstitutionFileIsReadFromTheSharedFolderEveryTime) {
  const std::filesystem::path appData = TempFolder() / "appdata";
  std::filesystem::create_directories(appData);
  platform::hooks::SetAppDataFolder(appData.string());
  int number = -1;
  EXPECT_FALSE(render::LookUpSubstitutionFace(u"Arial", &number));  // no file: no substitution
  const std::filesystem::path folder = appData / "Taliro" / "rt7x5e";
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  auto write = [&](const std::vector<uint8_t>& bytes) {
    std::ofstream out(folder / "rt7700PCL5efont.dat", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  write(SubstitutionFile({{u"Arial", 6}}));
  EXPECT_TRUE(render::LookUpSubstitutionFace(u"Arial", &number));
  EXPECT_EQ(number, 6);
  write(SubstitutionFile({{u"Arial", 8}}));
  EXPECT_TRUE(render::LookUpSubstitutionFace(u"Arial", &number));
  EXPECT_EQ(number, 8);
  // A count of zero, and a count far beyond the bytes that follow.
  write(SubstitutionFile({}));
  EXPECT_FALSE(render::LookUpSubstitutionFace(u"Arial", &number));
  auto lying = SubstitutionFile({{u"Arial", 5}});
  lying[2] = 1;  // 65537 records promised
  write(lying);
  EXPECT_FALSE(render::LookUpSubstitutionFace(u"Arial", &number));
  lying[2] = 0;
  lying[0] = 40;  // 40 promised, one there
  write(lying);
  EXPECT_TRUE(render::LookUpSubstitutionFace(u"Arial", &number));
  EXPECT_EQ(number, 5);
}

}  // namespace
}  // namespace rendertest
