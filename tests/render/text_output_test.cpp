// DrvTextOut through the hook table with string and font objects the platform builds from a real
// face (DejaVu Sans, fonts-dejavu-core). Runs in a face the substitution file maps to a resident
// font print with resident codes, so the expected streams hold no soft-font download.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "graphics_fixture.h"
#include "platform/font_objects.h"
#include "text/text_fonts.h"
#include "text/text_output.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

constexpr char kFace[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr char16_t kFamily[] = u"DejaVu Sans Book";  // the face name the engine reports
constexpr int kArial = 6;  // resident "Arial", symbol set 19U, typeface 16602
constexpr MIX kCopy = 0x0D0D;

std::string Code(char16_t c) { return std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)}; }

class TextOutTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    if (!std::filesystem::exists(kFace)) GTEST_SKIP() << "needs fonts-dejavu-core";
    appData_ = root_.path() / "appdata";
    platform::hooks::SetAppDataFolder(appData_.string());
    MapFace(kFamily, kArial);
    font_ = Realize(120, 0);
    ASSERT_TRUE(font_.has_value());
  }

  // One substitution record: the face printed with a resident font.
  void MapFace(std::u16string_view face, uint16_t number) {
    const auto folder = appData_ / std::u16string(render::kSubstitutionVendorFolder) / std::u16string(render::kSubstitutionFolder);
    std::filesystem::create_directories(folder);
    std::vector<uint8_t> file(4 + 1026, 0);
    file[0] = 1;
    for (size_t i = 0; i < face.size(); ++i) {
      file[4 + 2 * i] = static_cast<uint8_t>(face[i] & 0xFF);
      file[5 + 2 * i] = static_cast<uint8_t>(face[i] >> 8);
    }
    file[4 + 512] = static_cast<uint8_t>(number);
    std::ofstream(folder / "rt7700PCL5efont.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }

  static std::optional<engine::EngineFont> Realize(double em, LONG escapement) {
    engine::FontRealization r;
    r.emPixels = em;
    r.escapement = escapement;
    return engine::EngineFont::FromFile(kFace, 0, r);
  }

  BOOL TextOut(engine::EngineString& s, engine::EngineFont& f, CLIPOBJ* clip = nullptr, ULONG colour = 0,
               RECTL* extra = nullptr, RECTL* opaque = nullptr, BRUSHOBJ* opaqueBrush = nullptr) {
    engine::EngineBrush fore = Bound(engine::EngineBrush::Solid(colour));
    return Hook<PFN_DrvTextOut>(INDEX_DrvTextOut)(&so_, s.get(), f.get(), clip, extra, opaque, fore.get(),
                                                   opaqueBrush, nullptr, kCopy);
  }

  // A text call whose caches are warm: what follows depends only on the run itself.
  void Warm() {
    auto s = engine::EngineString::FromText(*font_, u"W", {300, 400});
    ASSERT_TRUE(TextOut(s, *font_));
    Run();
  }

  // One glyph printed as PCL text at its origin.
  static std::string PclGlyph(POINTL at, char16_t c) {
    return PclF("\\e%%1BPU%ld,%ld\\e%%1A", static_cast<long>(at.x), static_cast<long>(at.y)) + Code(c);
  }

  std::filesystem::path appData_;
  std::optional<engine::EngineFont> font_;
};

TEST_F(TextOutTest, UnclippedRunResetsTheWindowAndPlacesEachGlyphWithOnePenMove) {
  auto s = engine::EngineString::FromText(*font_, u"Hi", {600, 1000});
  ASSERT_TRUE(TextOut(s, *font_));
  const auto& p = s.positions();
  // Fill type solid, black pattern; text parsing; the resident font at 120 px = 10 points.
  const std::string expected = (startsInHpgl_ ? "" : Pcl("\\e%1B")) + Pcl("FT\\e%1A\\e*v0T") + Pcl("\\e%1BIW\\e%1A\\e&t38P") +
                               Pcl("\\e(19U\\e(s1p10.00v0s0b16602T") + Pcl("\\e*v0T\\e*v0N\\e*v1O\\e*l240O") +
                               PclGlyph(p[0].ptl, u'H') + PclGlyph(p[1].ptl, u'i');
  EXPECT_STREAM(expected, Run());
}

TEST_F(TextOutTest, SecondRunInTheSameFontAndSizeSendsNoSelection) {
  Warm();
  auto s = engine::EngineString::FromText(*font_, u"ok", {600, 1000});
  ASSERT_TRUE(TextOut(s, *font_));
  const auto& p = s.positions();
  EXPECT_STREAM(Pcl("\\e%1BIW\\e%1A\\e*v0T") + PclGlyph(p[0].ptl, u'o') + PclGlyph(p[1].ptl, u'k'), Run());

  // Another size is another selection.
  auto bigger = Realize(240, 0);
  ASSERT_TRUE(bigger.has_value());
  auto t = engine::EngineString::FromText(*bigger, u"o", {600, 1400});
  ASSERT_TRUE(TextOut(t, *bigger));
  EXPECT_STREAM(Pcl("\\e%1BIW\\e%1A\\e(19U\\e(s1p20.00v0s0b16602T\\e*v0T") + PclGlyph(t.positions()[0].ptl, u'o'),
                Run());
}

TEST_F(TextOutTest, PositionsFromEnumerationOrAFixedIncrementGiveTheSameStream) {
  Warm();
  auto a = engine::EngineString::FromText(*font_, u"abc", {600, 1000});
  ASSERT_TRUE(TextOut(a, *font_));
  const std::string fromArray = Run();
  auto b = engine::EngineString::FromText(*font_, u"abc", {600, 1000});
  b.HidePositions(1);
  ASSERT_TRUE(TextOut(b, *font_));
  EXPECT_STREAM(fromArray, Run());

  // Monospaced placement: each glyph one increment further along the baseline.
  const std::vector<LONG> advances{70, 70, 70};
  auto c = engine::EngineString::FromText(*font_, u"abc", {600, 1000}, advances);
  c.SetCharInc(70);
  ASSERT_TRUE(TextOut(c, *font_));
  EXPECT_STREAM(Pcl("\\e%1BIW\\e%1A\\e*v0T") + PclGlyph({600, 1000}, u'a') + PclGlyph({670, 1000}, u'b') +
                    PclGlyph({740, 1000}, u'c'),
                Run());
}

TEST_F(TextOutTest, ClipAlongTheBaselinePrintsCutGlyphsAsTwoByteLabelsInTheWindow) {
  Warm();
  auto s = engine::EngineString::FromText(*font_, u"AB", {600, 1000});
  const auto& p = s.positions();
  const RECTL bk = s.get()->rclBkGround;
  // The clip ends in the middle of "B": "A" stays PCL text, "B" becomes a label.
  const RECTL cut{bk.left, bk.top, (p[1].ptl.x + bk.right) / 2, bk.bottom};
  engine::Region region = engine::Region(cut);
  engine::EngineClip clip(&region, SurfaceBounds(), bk);
  ASSERT_EQ(clip.get()->iDComplexity, DC_RECT);
  ASSERT_TRUE(TextOut(s, *font_, clip.get()));
  // The window from the clip; the label font from the resident face; the brush for PCL text, then
  // again as the labels' fill.
  const std::string expected =
      PclF("\\e%%0BIW%ld,%ld,%ld,%ld", static_cast<long>(cut.left), static_cast<long>(cut.bottom),
           static_cast<long>(cut.right), static_cast<long>(cut.top)) +
      Pcl("LO21;DI;SB1;SD1,629,2,1,4,10.00,5,0,6,0,7,16602;") + Pcl("\\e%1A\\e*v0T\\e%1BFT10,100\\e%0A") +
      PclGlyph(p[0].ptl, u'A') +
      PclF("\\e%%1BLM1PU%ld,%ldLB", static_cast<long>(p[1].ptl.x), static_cast<long>(p[1].ptl.y)) +
      std::string{'\0', 'B', '\0', '\x03'} + Pcl("LM0");
  EXPECT_STREAM(expected, Run());
}

TEST_F(TextOutTest, WhiteLabelsAreFilledWithTheLightestGrey) {
  Warm();
  auto s = engine::EngineString::FromText(*font_, u"AB", {600, 1000});
  const RECTL bk = s.get()->rclBkGround;
  // Cut across the baseline: every glyph is a label.
  engine::Region region({bk.left, bk.top + 20, bk.right, bk.bottom});
  engine::EngineClip clip(&region, SurfaceBounds(), bk);
  ASSERT_TRUE(TextOut(s, *font_, clip.get(), 0x00FFFFFF));
  const std::string out = Run();
  // White for PCL text, then the grey-254 pattern (the first one of the page) for the labels.
  const uint8_t grey = render::GreyLevel(0x00FEFFFF);
  EXPECT_EQ(grey, 254);
  EXPECT_EQ(pdev_->brush.greyPatterns[grey], 1);
  const size_t white = out.find(Pcl("\\e*v1T"));
  const size_t fill = out.find(Pcl("FT22,1"));
  ASSERT_NE(white, std::string::npos) << testsupport::Decode(out);
  ASSERT_NE(fill, std::string::npos) << testsupport::Decode(out);
  EXPECT_LT(white, fill);
  EXPECT_LT(fill, out.find(Pcl("LB")));
  EXPECT_EQ(out.find("FT10,0"), std::string::npos) << testsupport::Decode(out);
}

TEST_F(TextOutTest, OpaqueAndRuleRectanglesAreRectangleFillsWithinTheClip) {
  Warm();
  auto s = engine::EngineString::FromText(*font_, u"x", {600, 1000});
  RECTL opaque{500, 900, 800, 1100};
  RECTL extra[] = {{600, 1010, 700, 1015}, {600, 960, 700, 965}, {0, 0, 0, 0}, {1, 1, 2, 2}};
  engine::EngineBrush opaqueBrush = Bound(engine::EngineBrush::Solid(0));
  engine::Region region = engine::Region({550, 0, 4000, 4000});
  engine::EngineClip clip(&region, SurfaceBounds(), opaque);
  ASSERT_TRUE(TextOut(s, *font_, clip.get(), 0, extra, &opaque, opaqueBrush.get()));
  const std::string out = Run();
  // The opaque box starts at the clip's left edge; sizes count both edges.
  EXPECT_NE(out.find(Pcl("\\e*p550x900Y\\e*c251a201b5P")), std::string::npos) << testsupport::Decode(out);
  EXPECT_NE(out.find(Pcl("\\e*p600x1010Y\\e*c101a6b5P")), std::string::npos) << testsupport::Decode(out);
  EXPECT_NE(out.find(Pcl("\\e*p600x960Y\\e*c101a6b5P")), std::string::npos) << testsupport::Decode(out);
  // The list ends at the all-zero rectangle.
  EXPECT_EQ(out.find(Pcl("\\e*c2a2b5P")), std::string::npos) << testsupport::Decode(out);
}

TEST_F(TextOutTest, RotatedRunTurnsThePrintDirectionAroundEachGlyph) {
  auto up = Realize(120, 900);
  ASSERT_TRUE(up.has_value());
  int32_t size = 0, angle = 0;
  ASSERT_TRUE(render::RunSizeAndAngle(up->get(), &size, &angle));
  EXPECT_EQ(size, 120);
  EXPECT_EQ(angle, 900);
  Warm();
  auto s = engine::EngineString::FromText(*up, u"T", {600, 3000});
  ASSERT_TRUE(TextOut(s, *up));
  EXPECT_STREAM(Pcl("\\e%1BIW\\e%1A\\e*v0T\\e%1BPU600,3000\\e%1A\\e&a90PT") + std::string{'\0'} + Pcl("\\e&a0P"),
                Run());
}

TEST_F(TextOutTest, RunStartingBeyondThePrintableWidthIsSkipped) {
  Warm();
  const RECTL page = SurfaceBounds();
  auto s = engine::EngineString::FromText(*font_, u"far", {page.right + 10, 1000});
  EXPECT_TRUE(TextOut(s, *font_));
  EXPECT_EQ(Run(), "");
}

TEST_F(TextOutTest, CancelledJobFailsTheCall) {
  auto s = engine::EngineString::FromText(*font_, u"x", {600, 1000});
  pdev_->blitAborted = 1;
  EXPECT_FALSE(TextOut(s, *font_));
  EXPECT_EQ(Run(), "");
  pdev_->blitAborted = 0;
}

TEST_F(TextOutTest, TextAsGraphicsPrintsGlyphBitmapsCutToTheClip) {
  pdev_->settings.priv.TextAsGraphics = 1;
  Warm();
  auto s = engine::EngineString::FromText(*font_, u"M", {600, 1000});
  HGLYPH hg = s.positions()[0].hg;
  GLYPHDATA* gd = nullptr;
  ASSERT_EQ(FONTOBJ_cGetGlyphs(font_->get(), FO_GLYPHBITS, 1, &hg, reinterpret_cast<PVOID*>(&gd)), 1u);
  const GLYPHBITS& gb = *gd->gdf.pgb;
  const LONG x0 = 600 + gb.ptlOrigin.x, y0 = 1000 + gb.ptlOrigin.y;
  const LONG w = gb.sizlBitmap.cx, h = gb.sizlBitmap.cy;
  const LONG rowBytes = (w + 7) / 8;
  std::vector<uint8_t> bits(gb.aj, gb.aj + rowBytes * h);
  ASSERT_GT(w, 16);
  // The clip drops the top 5 rows and 12 columns: one whole byte and 4 pixels of the next.
  engine::Region region = engine::Region({x0 + 12, y0 + 5, x0 + w + 100, y0 + h + 100});
  engine::EngineClip clip(&region, SurfaceBounds(), s.get()->rclBkGround);
  ASSERT_TRUE(TextOut(s, *font_, clip.get()));
  const LONG left = x0 + 8, width = x0 + w - left, height = h - 5;
  const LONG sendBytes = (width + 7) / 8;
  std::string expected = PclF("\\e*p%ldx%ldY", static_cast<long>(left), static_cast<long>(y0 + 5));
  const std::string out = Run();
  const size_t at = out.find(expected);
  ASSERT_NE(at, std::string::npos) << testsupport::Decode(out);
  std::string rows;
  for (LONG y = 5; y < h; ++y) {
    rows += PclF("\\e*b%ldW", static_cast<long>(sendBytes));
    rows.append(reinterpret_cast<const char*>(bits.data() + y * rowBytes + 1), static_cast<size_t>(sendBytes));
  }
  const std::string tail = PclF("\\e*r%lds%ldT\\e*r3A\\e*b0M", static_cast<long>(width), static_cast<long>(height)) +
                           rows + Pcl("\\e*rC");
  EXPECT_NE(out.find(tail, at), std::string::npos) << testsupport::Decode(out);
  EXPECT_EQ(out.find("PU"), std::string::npos) << "no printer text: " << testsupport::Decode(out);
}

}  // namespace
}  // namespace rendertest
