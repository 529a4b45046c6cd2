// The "text" operation of job file pages: what the reader takes from its fields, the one-line
// message for each bad value, and what reaches the driver's text hook when the page is drawn.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "drawing_page.h"
#include "job_file.h"
#include "page_drawing.h"

namespace {

using namespace rt7700print;
using drawing::Driver;
namespace fs = std::filesystem;

std::variant<JobFile, InputError> ReadText(const std::string& draw, const std::string& name = "JOB",
                                           const std::string& unit = "pt") {
  JobSettings settings;
  return ReadJobText(R"({"unit": ")" + unit + R"(", "pages": [{"draw": )" + draw + "}]}", name, settings);
}

PageDrawing Page(const std::string& draw, const std::string& name = "JOB") {
  auto read = ReadText(draw, name);
  if (auto* e = std::get_if<InputError>(&read)) {
    ADD_FAILURE() << e->field << ": " << e->expected;
    return {};
  }
  auto& job = std::get<JobFile>(read);
  return job.drawn.empty() ? PageDrawing{} : std::move(job.drawn[0].drawing);
}

std::string Problem(const std::string& draw, const std::string& name = "JOB") {
  auto read = ReadText(draw, name);
  auto* e = std::get_if<InputError>(&read);
  return e == nullptr ? "(accepted)" : e->field + ": " + e->expected;
}

TEST(TextOpTest, FieldsBecomeWhatTheFontAndTextCallsTake) {
  PageDrawing page = Page(R"([
      {"op": "text", "at": [10.5, -2], "text": "Gr\u00fc\u00dfe \ud83d\ude00!"},
      {"op": "text", "at": [0, 0], "text": "A\ud83d\ude00b", "face": "DejaVu Sans", "size": 3.5, "weight": "bold",
       "italic": true, "underline": true, "strike-out": true, "angle": -22.55, "gray": 25,
       "align": "bottom right", "background": {"gray": 100}, "spacing": [1, 2.004, -0.5]},
      {"op": "text", "at": [0, 0], "text": "x", "size": "7.5pt", "weight": 300, "color": "#0A0b0C",
       "align": "center", "background": "white"},
      {"op": "text", "at": [0, 0], "text": "y", "align": "top", "background": "none"}])");
  ASSERT_EQ(page.ops.size(), 4u);
  ASSERT_EQ(page.texts.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(page.ops[i].text, i);
  EXPECT_EQ(page.points[page.ops[0].first].x, 1050);
  EXPECT_EQ(page.points[page.ops[0].first].y, -200);
  EXPECT_EQ(page.points.size(), page.types.size());

  const TextSpec& plain = page.texts[0];
  EXPECT_EQ(plain.text, u"Gr\u00fc\u00dfe \U0001F600!");  // the emoji as a surrogate pair
  EXPECT_EQ(plain.text.size(), 9u);
  EXPECT_TRUE(plain.face.empty());
  EXPECT_EQ(plain.size, 12);
  EXPECT_TRUE(plain.sizeInPoints);
  EXPECT_EQ(plain.weight, FW_NORMAL);
  EXPECT_EQ(plain.align, TA_LEFT | TA_BASELINE);
  EXPECT_FALSE(plain.background);
  EXPECT_TRUE(plain.spacing.empty());

  const TextSpec& full = page.texts[1];
  EXPECT_EQ(full.face, u"DejaVu Sans");
  EXPECT_EQ(full.size, 3.5);
  EXPECT_FALSE(full.sizeInPoints);  // a number is in the page's unit
  EXPECT_EQ(full.weight, FW_BOLD);
  EXPECT_TRUE(full.italic && full.underline && full.strikeOut);
  EXPECT_EQ(full.angle, -226);
  EXPECT_EQ(full.color, RGB(191, 191, 191));
  EXPECT_EQ(full.align, TA_RIGHT | TA_BOTTOM);
  EXPECT_EQ(full.background, RGB(0, 0, 0));
  // One advance per character; the low surrogate of the pair advances nothing.
  EXPECT_EQ(full.spacing, (std::vector<INT>{100, 200, 0, -50}));

  EXPECT_EQ(page.texts[2].size, 7.5);
  EXPECT_TRUE(page.texts[2].sizeInPoints);
  EXPECT_EQ(page.texts[2].weight, 300);
  EXPECT_EQ(page.texts[2].color, RGB(10, 11, 12));
  EXPECT_EQ(page.texts[2].align, TA_CENTER | TA_BASELINE);
  EXPECT_EQ(page.texts[2].background, RGB(255, 255, 255));
  EXPECT_EQ(page.texts[3].align, TA_LEFT | TA_TOP);
  EXPECT_FALSE(page.texts[3].background);
}

TEST(TextOpTest, BadTextGetsOneMessageNamingPageOperationAndField) {
  const std::string head = R"({"op": "text", "at": [0, 0], "text": "a")";
  struct Case {
    std::string draw;
    const char* message;
  };
  const Case cases[] = {
      {R"([{"op": "text", "at": [0, 0]}])", "page 1, op 1 (text): text: expected the text, a string (the field is missing)"},
      {R"([{"op": "text", "at": [0, 0], "text": ""}])", "page 1, op 1 (text): text: expected a string of 1 to 10000 UTF-16 units"},
      {R"([{"op": "text", "at": [0, 0], "text": 5}])", "page 1, op 1 (text): text: expected a string of 1 to 10000 UTF-16 units"},
      {"[{\"op\": \"text\", \"at\": [0, 0], \"text\": \"" + std::string(10001, 'x') + "\"}]",
       "page 1, op 1 (text): text: expected a string of 1 to 10000 UTF-16 units"},
      {R"([{"op": "text", "text": "a"}])",
       "page 1, op 1 (text): at: expected the text's reference point [x, y], numbers from -10000 to 10000 (the field is missing)"},
      {R"([{"op": "text", "text": "a", "at": [0, 10001]}])",
       "page 1, op 1 (text): at: expected the text's reference point [x, y], numbers from -10000 to 10000"},
      {"[" + head + R"(, "size": 0}])",
       "page 1, op 1 (text): size: expected an em height above 0 and at most 1000, in the page's unit or as \"10pt\""},
      {"[" + head + R"(, "size": "10 pt"}])",
       "page 1, op 1 (text): size: expected an em height above 0 and at most 1000, in the page's unit or as \"10pt\", got \"10 pt\""},
      {"[" + head + R"(, "size": "pt"}])",
       "page 1, op 1 (text): size: expected an em height above 0 and at most 1000, in the page's unit or as \"10pt\", got \"pt\""},
      {"[" + head + R"(, "size": "1e9pt"}])",
       "page 1, op 1 (text): size: expected an em height above 0 and at most 1000, in the page's unit or as \"10pt\""},
      {"[" + head + R"(, "weight": 450}])", "page 1, op 1 (text): weight: expected 100, 200, ... 900, \"normal\" or \"bold\""},
      {"[" + head + R"(, "weight": 1000}])", "page 1, op 1 (text): weight: expected 100, 200, ... 900, \"normal\" or \"bold\""},
      {"[" + head + R"(, "italic": 1}])", "page 1, op 1 (text): italic: expected true or false"},
      {"[" + head + R"(, "strike-out": "yes"}])", "page 1, op 1 (text): strike-out: expected true or false"},
      {"[" + head + R"(, "angle": 400}])", "page 1, op 1 (text): angle: expected an angle in degrees from -360 to 360"},
      {"[" + head + R"(, "color": "#12345"}])",
       "page 1, op 1 (text): color: expected \"#rrggbb\", \"black\" or \"white\", got \"#12345\""},
      {"[" + head + R"(, "color": "black", "gray": 5}])", "page 1, op 1 (text): gray: expected a color or a gray, not both"},
      {"[" + head + R"(, "background": {"gray": 101}}])", "page 1, op 1 (text): background.gray: expected a number from 0 to 100"},
      {"[" + head + R"(, "background": {"color": "black"}}])",
       "page 1, op 1 (text): background: expected \"none\", \"#rrggbb\", \"black\", \"white\" or {\"gray\": percent}"},
      {"[" + head + R"(, "align": "left right"}])",
       "page 1, op 1 (text): align: expected left, center or right and top, baseline or bottom, e.g. \"center baseline\", got \"left right\""},
      {"[" + head + R"(, "align": "middle"}])",
       "page 1, op 1 (text): align: expected left, center or right and top, baseline or bottom, e.g. \"center baseline\", got \"middle\""},
      {"[" + head + R"(, "align": "  "}])",
       "page 1, op 1 (text): align: expected left, center or right and top, baseline or bottom, e.g. \"center baseline\", got \"  \""},
      {"[" + head + R"(, "spacing": [1, 2]}])",
       "page 1, op 1 (text): spacing: expected 1 advances (one per character), numbers from -1000 to 1000"},
      {"[" + head + R"(, "spacing": ["1"]}])", "page 1, op 1 (text): spacing[0]: expected a number from -1000 to 1000"},
      {"[" + head + R"(, "face": "A face name longer than thirty-one"}])",
       "page 1, op 1 (text): face: expected a face name of 1 to 31 characters"},
      {"[" + head + R"(, "pen": "none"}])",
       "page 1, op 1 (text): pen: expected only op, text, at, face, size, weight, italic, underline, strike-out, angle, "
       "color, gray, align, background, spacing, font-file"},
      {"[{\"op\": \"save\"}, " + head + R"(, "font-file": ""}])",
       "page 1, op 2 (text): font-file: expected the path of a font file, relative to the job file"},
  };
  for (const auto& c : cases) EXPECT_EQ(Problem(c.draw), c.message) << c.draw;
  // Bytes that are not UTF-8 (a lone continuation byte, a truncated sequence, an encoded surrogate)
  // are refused.
  for (const char* bad : {"\x80", "a\xC3", "\xED\xA0\x80", "\xC0\xAF"}) {
    JobSettings settings;
    auto read = ReadJobText(std::string(R"({"pages": [{"draw": [{"op": "text", "at": [0, 0], "text": ")") + bad + "\"}]}]}",
                            "JOB", settings);
    auto* e = std::get_if<InputError>(&read);
    ASSERT_NE(e, nullptr) << bad;
    // The JSON parser may refuse the file first; either way nothing is accepted.
    EXPECT_TRUE(e->expected == "expected UTF-8 text" || e->field == "(file)") << e->field << ": " << e->expected;
  }
}

TEST(TextOpTest, AFontFileIsFoundBesideTheJobFileAndMustBeReadable) {
  testsupport::TempDir dir;
  fs::create_directories(fs::path(dir.str()) / "fonts");
  fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", fs::path(dir.str()) / "fonts/mono.ttf");
  const std::string job = (fs::path(dir.str()) / "job.json").string();
  PageDrawing page = Page(R"([{"op": "text", "at": [0, 0], "text": "a", "font-file": "fonts/mono.ttf"}])", job);
  ASSERT_EQ(page.texts.size(), 1u);
  EXPECT_EQ(page.texts[0].fontFile, (fs::path(dir.str()) / "fonts/mono.ttf").string());
  std::string missing = Problem(R"([{"op": "text", "at": [0, 0], "text": "a", "font-file": "fonts/none.ttf"}])", job);
  EXPECT_EQ(missing.rfind("page 1, op 1 (text): font-file: expected a readable font file, \"", 0), 0u) << missing;
  EXPECT_NE(missing.find("none.ttf"), std::string::npos) << missing;
  EXPECT_NE(missing.find(": No such file or directory"), std::string::npos) << missing;
  EXPECT_EQ(Problem(R"([{"op": "text", "at": [0, 0], "text": "a", "font-file": "fonts"}])", job).rfind(
                "page 1, op 1 (text): font-file: expected a font file, got the folder", 0),
            0u);
}

class TextDrawingTest : public drawing::PageTest {};

// The fake's printable area starts 118 pixels from the paper's corner.
constexpr LONG kOffset = 118;

TEST_F(TextDrawingTest, TheTextHookGetsTheStringFaceColoursAndPlaceAndTheContextIsLeftAsItWas) {
  SetTextAlign(hdc, TA_TOP | TA_RIGHT);
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, RGB(1, 2, 3));
  ASSERT_EQ(DrawPage(hdc, Page(R"([{"op": "text", "at": [72, 72], "text": "Hi!", "face": "DejaVu Sans",
      "size": "12pt", "color": "#102030", "background": "#fffe00", "spacing": [12, 6, 3]}])"),
                     Unit::Point),
            std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "TextOut");
  const auto& c = calls[0];
  EXPECT_EQ(c.text, u"Hi!");
  EXPECT_EQ(c.family, u"DejaVu Sans");
  EXPECT_EQ(c.brushColor, 0x00302010u);
  ASSERT_TRUE(c.hasOpaque);
  EXPECT_EQ(c.opaqueColor, 0x0000FEFFu);
  // 12 pt is 100 pixels at 600 dpi.
  EXPECT_NEAR(c.fontXform.eM22 * c.unitsPerEm, 100, 0.5);
  ASSERT_EQ(c.glyphs.size(), 3u);
  // Left on the baseline at an inch from the paper's corner, then the given advances.
  EXPECT_EQ(c.glyphs[0].ptl.x, 600 - kOffset);
  EXPECT_EQ(c.glyphs[0].ptl.y, 600 - kOffset);
  EXPECT_EQ(c.glyphs[1].ptl.x - c.glyphs[0].ptl.x, 100);
  EXPECT_EQ(c.glyphs[2].ptl.x - c.glyphs[1].ptl.x, 50);
  EXPECT_EQ(GetTextAlign(hdc), TA_TOP | TA_RIGHT);
  EXPECT_EQ(GetBkMode(hdc), TRANSPARENT);
  EXPECT_EQ(GetTextColor(hdc), RGB(1, 2, 3));
}

TEST_F(TextDrawingTest, SizesInPointsAreTheSameOnAMillimetrePageAndAnglesTurnCounterclockwise) {
  ASSERT_EQ(DrawPage(hdc, Page(R"([{"op": "text", "at": [25.4, 25.4], "text": "ab", "face": "DejaVu Sans",
      "size": "12pt", "angle": 90, "align": "center baseline", "underline": true},
      {"op": "text", "at": [25.4, 25.4], "text": "ab", "face": "DejaVu Sans", "size": 4.2333}])"),
                     Unit::Millimetre),
            std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "TextOut TextOut");
  for (const auto& c : calls) {
    double em = std::hypot(c.fontXform.eM21, c.fontXform.eM22) * c.unitsPerEm;
    EXPECT_NEAR(em, 100, 0.5);
  }
  const auto& turned = calls[0];
  ASSERT_EQ(turned.glyphs.size(), 2u);
  // Turned a quarter counterclockwise: the run goes up the page, centred on the point.
  EXPECT_EQ(turned.glyphs[1].ptl.x, turned.glyphs[0].ptl.x);
  EXPECT_LT(turned.glyphs[1].ptl.y, turned.glyphs[0].ptl.y);
  EXPECT_GT(turned.glyphs[0].ptl.y, 600 - kOffset);
  EXPECT_FALSE(turned.extras.empty());  // the underline
  EXPECT_FALSE(turned.hasOpaque);
  EXPECT_EQ(calls[1].glyphs[0].ptl.y, 600 - kOffset);
  EXPECT_LT(calls[1].glyphs[1].ptl.y - calls[1].glyphs[0].ptl.y, 1);
}

TEST_F(TextDrawingTest, AFontFileIsBroughtAndOneThatHoldsNoFontFailsTheOperation) {
  testsupport::TempDir dir;
  fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", fs::path(dir.str()) / "mono.ttf");
  PageDrawing page = Page(R"([{"op": "line", "from": [100, 100], "to": [200, 200]},
      {"op": "text", "at": [100, 100], "text": "mono", "face": "DejaVu Sans Mono", "font-file": "mono.ttf"}])",
                          (fs::path(dir.str()) / "job.json").string());
  ASSERT_EQ(DrawPage(hdc, page, Unit::Point), std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StrokePath TextOut");
  EXPECT_EQ(calls[1].family, u"DejaVu Sans Mono");
  // A file that is there but holds no font fails the operation when the page is drawn.
  std::ofstream(fs::path(dir.str()) / "junk.ttf") << "not a font";
  PageDrawing junk = Page(R"([{"op": "save"}, {"op": "text", "at": [100, 100], "text": "x", "font-file": "junk.ttf"}])",
                          (fs::path(dir.str()) / "job.json").string());
  auto e = DrawPage(hdc, junk, Unit::Point);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->rfind("op 2 (text): AddFontResourceExW of ", 0), 0u) << *e;
  EXPECT_TRUE(Take().empty());
}

}  // namespace
