// TrueType soft-font download with engine-built font and string objects; every download the tests
// produce goes through the soft-font reader, which checks it against the PCL rules.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/font_objects.h"
#include "render_fixture.h"
#include "support/soft_font_reader.h"
#include "text/text_fonts.h"
#include "text/truetype.h"

namespace rendertest {
namespace {

using platform::engine::EngineFont;
using platform::engine::EngineString;
using platform::engine::FontRealization;
using testsupport::Pcl;

const char kSans[] = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
const char kSerif[] = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

class SoftFonts : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    if (FileBytes(kSans).empty() || FileBytes(kSerif).empty()) GTEST_SKIP() << "needs fonts-liberation";
    pdev_ = Enable();
    ASSERT_NE(pdev_, nullptr);
    render::GraphicsStateReset(*pdev_);
    pdev_->caches.CurrentLanguage = render::kLanguagePcl;
  }
  void TearDown() override {
    if (pdev_ != nullptr) render::FreeSoftFonts(*pdev_);
    RenderTest::TearDown();
  }
  static EngineFont Font(const char* path, double em = 50, bool vertical = false) {
    FontRealization r;
    r.emPixels = em;
    r.vertical = vertical;
    std::optional<EngineFont> f = EngineFont::FromFile(path, 0, r);
    EXPECT_TRUE(f.has_value());
    return std::move(*f);
  }
  // One run; the bytes it wrote, checked by the reader against the font file's glyphs.
  std::string Run(EngineFont& font, EngineString& text, int32_t size, int32_t angle = 0, int mode = 1) {
    codes_.assign(text.get()->cGlyphs * 2, 0);
    EXPECT_TRUE(render::DownloadAndSelectSoftFont(*pdev_, font.get(), text.get(), size, angle, codes_.data(), mode));
    EXPECT_EQ(render::FlushOutput(*pdev_), 1);
    const std::string out = Printed();
    const std::vector<uint8_t> file = FileBytes(font.filePath());
    render::truetype::Face face;
    EXPECT_TRUE(face.Open({file.data(), file.size()}, 0));
    last_ = testsupport::ReadSoftFontDownloads(out, [&](int g) -> std::optional<std::string> {
      render::truetype::Bytes b;
      if (!face.Glyph(static_cast<uint16_t>(g), &b)) return std::nullopt;
      return std::string(reinterpret_cast<const char*>(b.data()), b.size());
    });
    EXPECT_TRUE(last_.faults.empty()) << ::testing::PrintToString(last_.faults);
    return out;
  }
  render::Pdev* pdev_ = nullptr;
  std::vector<uint8_t> codes_;
  testsupport::SoftFontDownloads last_;
};

TEST_F(SoftFonts, SameFontTwiceSendsHeaderOnceAndEachCharacterOnceButNeverSpace) {
  EngineFont sans = Font(kSans);
  EngineString hello = EngineString::FromText(sans, u"Hello World", {100, 200});
  const std::string first = Run(sans, hello, 50);
  EXPECT_EQ(last_.headerIds, std::vector<int>{1001});
  // H e l o W r d: seven characters, "l" and "o" once, the space never.
  ASSERT_EQ(last_.characters.size(), 7u);
  for (const auto& ch : last_.characters) EXPECT_EQ(ch.format, 15);
  EXPECT_NE(first.find(Pcl("\\e(s6.00V\\e*c1001D\\e(1001X")), std::string::npos) << testsupport::Decode(first);
  // Codes: page of high byte 0 moved to 128, high byte first.
  EXPECT_EQ(codes_[0], 0x80);
  EXPECT_EQ(codes_[1], 'H');
  EXPECT_EQ(codes_[10], 0x80);
  EXPECT_EQ(codes_[11], ' ');
  EXPECT_EQ(pdev_->fonts.labelFontState, 1);
  EXPECT_EQ(pdev_->fonts.labelFontId, 1001);

  EngineString again = EngineString::FromText(sans, u"Hold \u20AC", {100, 300});
  const std::string second = Run(sans, again, 50);
  EXPECT_TRUE(last_.headerIds.empty());
  // Only the euro sign is new; it gets the next page.
  ASSERT_EQ(last_.characters.size(), 1u);
  EXPECT_EQ(last_.characters[0].code, (129 << 8) | 0xAC);
  EXPECT_EQ(second.find(Pcl("\\e(1001X")), std::string::npos);  // still selected
  EXPECT_EQ(codes_[10], 129);
}

TEST_F(SoftFonts, FontsAreNumberedPerPageAndDeletedAtItsEnd) {
  EngineFont sans = Font(kSans), serif = Font(kSerif), big = Font(kSans, 80);
  EngineString a = EngineString::FromText(sans, u"a", {10, 10});
  EngineString b = EngineString::FromText(serif, u"b", {10, 10});
  EngineString c = EngineString::FromText(big, u"c", {10, 10});
  Run(sans, a, 50);
  Run(serif, b, 50);
  const std::string third = Run(big, c, 80);
  EXPECT_EQ(last_.headerIds, std::vector<int>{1003});
  EXPECT_NE(third.find(Pcl("\\e(s9.50V")), std::string::npos) << testsupport::Decode(third);
  // Back to the first: selected again, not sent again.
  const std::string back = Run(sans, a, 50);
  EXPECT_TRUE(last_.characters.empty());
  EXPECT_NE(back.find(Pcl("\\e*c1001D\\e(1001X")), std::string::npos);

  render::DeleteSoftFonts(*pdev_);
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Printed(), Pcl("\\e*c1001d2F\\e*c1002d2F\\e*c1003d2F"));
  render::DeleteSoftFonts(*pdev_);
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  EXPECT_EQ(Printed(), "");
  // The next page starts again at 1001 and sends everything anew.
  Run(serif, b, 50);
  EXPECT_EQ(last_.headerIds, std::vector<int>{1001});
  EXPECT_EQ(last_.characters.size(), 1u);
}

TEST_F(SoftFonts, CompositeGlyphSendsItsComponentsBeforeTheNextCharacter) {
  EngineFont sans = Font(kSans);
  const std::vector<uint8_t> file = FileBytes(kSans);
  render::truetype::Face face;
  ASSERT_TRUE(face.Open({file.data(), file.size()}, 0));
  std::vector<uint16_t> parts;
  ASSERT_TRUE(face.Components(face.GlyphIndex(0xC5), &parts));
  ASSERT_FALSE(parts.empty()) << "A-ring is not a composite in this face";
  EngineString text = EngineString::FromText(sans, u"\u00C5x", {10, 10});
  Run(sans, text, 50);
  ASSERT_EQ(last_.characters.size(), 2 + parts.size());
  EXPECT_EQ(last_.characters[0].code, (128 << 8) | 0xC5);
  for (size_t i = 0; i < parts.size(); ++i) {
    EXPECT_EQ(last_.characters[1 + i].code, 65535);
    EXPECT_EQ(last_.characters[1 + i].glyphIndex, parts[i]);
  }
  EXPECT_EQ(last_.characters.back().code, (128 << 8) | 'x');
}

TEST_F(SoftFonts, LyingLocaSkipsTheGlyphAndTheRunStillPrints) {
  std::vector<uint8_t> bytes = FileBytes(kSans);
  render::truetype::Face face;
  ASSERT_TRUE(face.Open({bytes.data(), bytes.size()}, 0));
  const uint16_t glyphB = face.GlyphIndex(u'B');
  // Glyph B ends past glyf (and so glyph C starts there; the run does not use it).
  uint32_t locaOffset = 0;
  {
    render::truetype::Directory dir;
    ASSERT_TRUE(dir.Open({bytes.data(), bytes.size()}, 0));
    render::truetype::Bytes loca;
    ASSERT_TRUE(dir.Find(render::FontTag('l', 'o', 'c', 'a'), &loca));
    locaOffset = static_cast<uint32_t>(loca.data() - bytes.data());
  }
  const size_t entry = face.longLoca() ? 4 : 2;
  for (size_t k = 0; k < entry; ++k) bytes[locaOffset + (glyphB + 1) * entry + k] = 0xFF;
  FontRealization r;
  r.emPixels = 50;
  std::optional<EngineFont> font = EngineFont::FromMemory(bytes, 0, r);
  if (!font) GTEST_SKIP() << "the engine refuses the damaged face";
  EngineString text = EngineString::FromText(*font, u"ABD", {10, 10});
  codes_.assign(6, 0);
  ASSERT_TRUE(render::DownloadAndSelectSoftFont(*pdev_, font->get(), text.get(), 50, 0, codes_.data(), 1));
  ASSERT_EQ(render::FlushOutput(*pdev_), 1);
  const auto got = testsupport::ReadSoftFontDownloads(Printed());
  EXPECT_TRUE(got.faults.empty()) << ::testing::PrintToString(got.faults);
  ASSERT_EQ(got.characters.size(), 2u);
  EXPECT_EQ(got.characters[0].code, (128 << 8) | 'A');
  EXPECT_EQ(got.characters[1].code, (128 << 8) | 'D');
  EXPECT_EQ(codes_, (std::vector<uint8_t>{128, 'A', 128, 'B', 128, 'D'}));
}

// Glyph indexes and characters whose low byte is a control code (ESC here) must not put that
// byte in the text: the printer would take it as a command.
TEST_F(SoftFonts, NoByteOfACodeIsAControlCode) {
  EngineFont sans = Font(kSans);
  EngineString glyphs = EngineString::FromGlyphs(sans, {0x1B, 0x3B, 0x11B, 0x1B}, {{10, 10}, {40, 10}, {70, 10}, {90, 10}});
  Run(sans, glyphs, 50);
  ASSERT_EQ(last_.characters.size(), 3u);
  for (uint8_t byte : codes_) EXPECT_GE(byte, 0x20);
  std::vector<int> codes;
  for (const auto& c : last_.characters) codes.push_back(c.code);
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
  EXPECT_EQ(codes_[0], codes_[6]);
  EXPECT_EQ(codes_[1], codes_[7]);
}

TEST_F(SoftFonts, GlyphIndexRunsAndVerticalFacesGoAsBitmaps) {
  EngineFont sans = Font(kSans);
  const HGLYPH a = sans.GlyphIndex(U'a'), b = sans.GlyphIndex(U'b');
  EngineString glyphs = EngineString::FromGlyphs(sans, {a, b, a}, {{10, 10}, {40, 10}, {70, 10}});
  Run(sans, glyphs, 50);
  EXPECT_EQ(last_.headerIds, std::vector<int>{1001});
  ASSERT_EQ(last_.characters.size(), 2u);
  EXPECT_EQ(last_.characters[0].format, 4);
  EXPECT_EQ(last_.characters[0].code, static_cast<int>((128 << 8) | (a & 0xFF)));
  EXPECT_EQ(codes_[4], codes_[0]);
  EXPECT_EQ(codes_[5], codes_[1]);

  // "@" faces: vertical writing on for a rotated run, off again for the next horizontal one.
  EngineFont vertical = Font(kSans, 50, true);
  EngineString v = EngineString::FromText(vertical, u"v", {10, 10});
  const std::string on = Run(vertical, v, 50, 900);
  EXPECT_EQ(Count(on, Pcl("\\e&c-1T")), 1u) << testsupport::Decode(on);
  EXPECT_EQ(last_.characters.at(0).format, 4);
  EngineString h = EngineString::FromText(sans, u"h", {10, 10});
  const std::string off = Run(sans, h, 50);
  EXPECT_EQ(Count(off, Pcl("\\e&c0T")), 1u) << testsupport::Decode(off);
}

}  // namespace
}  // namespace rendertest

namespace rendertest {
namespace {

// The reader must see what a printer would reject, or the download tests prove nothing.
TEST(SoftFontReader, FindsBadChecksumsSizesAndForeignGlyphData) {
  std::string header(90, '\0');
  header[1] = 72;
  header[2] = 16;
  header[3] = 3;
  header[10] = header[18] = 1;
  header[38] = header[39] = '\xFF';
  const std::string segments = std::string("BR\0\0\0\4\2\x58\2\x58", 10) + std::string("\xFF\xFF\0\0\0\0", 6);
  header.replace(72, 16, segments);
  unsigned sum = 0;
  for (int i = 64; i < 89; ++i) sum += static_cast<uint8_t>(header[i]);
  header[89] = static_cast<char>((256 - sum % 256) % 256);
  const std::string good = Pcl("\\e*c1001D\\e)s90W") + header;
  EXPECT_TRUE(testsupport::ReadSoftFontDownloads(good).faults.empty());
  std::string bad = good;
  bad[bad.size() - 1] ^= 1;
  EXPECT_EQ(testsupport::ReadSoftFontDownloads(bad).faults.size(), 1u);

  // A TrueType character: 4 glyph bytes, checksum over size, index, data, reserved and itself.
  std::string ch = std::string("\x0F\x00\x02\x0F\x00\x08\x00\x05" "abcd", 12) + std::string(1, '\0');
  unsigned s2 = 0;
  for (size_t i = 4; i < ch.size(); ++i) s2 += static_cast<uint8_t>(ch[i]);
  ch += static_cast<char>((256 - s2 % 256) % 256);
  const std::string glyph = Pcl("\\e*c32833E\\e(s14W") + ch;
  auto fontGlyph = [](int g) -> std::optional<std::string> { return g == 5 ? std::optional<std::string>("abcd") : std::nullopt; };
  EXPECT_TRUE(testsupport::ReadSoftFontDownloads(glyph, fontGlyph).faults.empty());
  auto other = [](int) -> std::optional<std::string> { return std::string("abce"); };
  EXPECT_EQ(testsupport::ReadSoftFontDownloads(glyph, other).faults.size(), 1u);
  std::string wrongSize = glyph;
  wrongSize[wrongSize.size() - 9] = 9;  // character data size
  EXPECT_FALSE(testsupport::ReadSoftFontDownloads(wrongSize, fontGlyph).faults.empty());
  // A bitmap character whose image is cut short.
  const std::string bitmap = Pcl("\\e*c32833E\\e(s18W") + std::string("\x04\x00\x0E\x01\0\0\0\0\0\0\0\x10\0\x02\0\0\xFF\xFF", 18);
  EXPECT_FALSE(testsupport::ReadSoftFontDownloads(bitmap).faults.empty());
}

}  // namespace
}  // namespace rendertest
