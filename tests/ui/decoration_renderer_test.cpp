// The decoration renderer against a recording context: what it asks for, what it draws, and
// that the context's state is as it was afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "decor/decoration_renderer.h"
#include "platform/utf16.h"
#include "win/wingdi.h"

namespace ui::decor {
namespace {

constexpr PageSize kPage{4800, 6400};

struct State {
  Mapping mapping{{1, 2}, {3, 4}, {5, 6}, {7, 8}};
  int bkMode = 2, polyFill = 1, stretch = 4;
  UINT align = 24;
  uint32_t bk = 0x123456, text = 0x654321;
  ObjectHandle font = 900, brush = 901;
  bool operator==(const State&) const = default;
};

class RecordingTarget : public DecorationTarget {
 public:
  devmode::DecorationBlock block{};
  bool answersBlock = true;
  uint32_t pageCounter = 0;
  bool fontsWork = true;
  bool bitmapLoads = true;
  int charWidth = 100, charHeight = 600;
  State state;
  std::vector<std::string> calls;
  std::vector<WatermarkFont> fonts;
  std::vector<std::u16string> texts;
  std::vector<Point> textOrigins;
  std::vector<std::pair<ImageRect, ImageRect>> blits;
  std::vector<DWORD> rops;
  std::map<ObjectHandle, bool> live;  // objects the renderer made, true while not deleted
  ObjectHandle next = 1;

  int Escape(int code, std::span<const uint8_t>, std::span<uint8_t> out) override {
    calls.push_back("escape " + std::to_string(code));
    if (code == kReadDecorationEscape) {
      if (!answersBlock || out.size() != sizeof block) return 0;
      std::memcpy(out.data(), &block, sizeof block);
    }
    if (code == kPageCounterEscape && out.size() == 4) std::memcpy(out.data(), &pageCounter, 4);
    return 1;
  }
  int DeviceCaps(int index) override { return index == HORZRES ? kPage.width : index == VERTRES ? kPage.height : 600; }
  Mapping GetMapping() override { return state.mapping; }
  void SetMapping(const Mapping& m) override {
    state.mapping = m;
    calls.push_back("mapping");
  }
  int DeviceToLogicalHeight(int pixels) override {
    // Logical y grows upwards only while the page mapping is in place.
    return state.mapping.viewportExtent.y < 0 ? -pixels : pixels;
  }
  int SetBkMode(int v) override { return std::exchange(state.bkMode, v); }
  UINT SetTextAlign(UINT v) override { return std::exchange(state.align, v); }
  uint32_t SetBkColor(uint32_t v) override { return std::exchange(state.bk, v); }
  uint32_t SetTextColor(uint32_t v) override { return std::exchange(state.text, v); }
  int SetPolyFillMode(int v) override { return std::exchange(state.polyFill, v); }
  int SetStretchBltMode(int v) override { return std::exchange(state.stretch, v); }
  int FaceCharSet(const std::u16string& face) override { return face == u"Arial" ? 0 : -1; }
  ObjectHandle CreateFont(const WatermarkFont& f) override {
    fonts.push_back(f);
    if (!fontsWork) return 0;
    live[next] = true;
    return next++;
  }
  ObjectHandle CreatePatternBrush(const std::array<uint8_t, 32>& rows) override {
    pattern = rows;
    brushes.insert(next);
    live[next] = true;
    return next++;
  }
  ObjectHandle Select(ObjectHandle o) override {
    ObjectHandle& slot = (o == 901 || brushes.count(o)) ? state.brush : state.font;
    return std::exchange(slot, o);
  }
  void Delete(ObjectHandle o) override {
    EXPECT_TRUE(live.count(o) && live[o]) << "deleting an object not made or already deleted";
    EXPECT_NE(state.font, o) << "deleting the selected font";
    EXPECT_NE(state.brush, o) << "deleting the selected brush";
    live[o] = false;
  }
  bool TextExtent(const std::u16string& t, int* cx, int* cy) override {
    calls.push_back("measure");
    *cx = charWidth * static_cast<int>(t.size());
    *cy = charHeight;
    return true;
  }
  void TextOut(int x, int y, const std::u16string& t) override {
    EXPECT_TRUE(inPath);
    EXPECT_EQ(state.align, 0u);
    EXPECT_EQ(state.bkMode, kTransparentBk);
    calls.push_back("text");
    texts.push_back(t);
    textOrigins.push_back({x, y});
  }
  void ExtTextOut(int x, int y, UINT, const RECT&, const std::u16string& t) override { TextOut(x, y, t); }
  void BeginPath() override {
    inPath = true;
    calls.push_back("begin path");
  }
  void EndPath() override {
    inPath = false;
    calls.push_back("end path");
  }
  void FillPath() override {
    EXPECT_TRUE(brushes.count(state.brush));
    calls.push_back(state.polyFill == WINDING ? "fill winding" : "fill alternate");
  }
  void Polygon(std::span<const Point> p) override {
    EXPECT_TRUE(inPath);
    calls.push_back("polygon " + std::to_string(p.size()));
  }
  void Ellipse(int, int, int, int) override {
    EXPECT_TRUE(inPath);
    calls.push_back("ellipse");
  }
  bool LoadBitmapFile(const std::u16string& path, LoadedBitmap* b) override {
    loadedPath = path;
    if (!bitmapLoads) return false;
    b->width = 99;
    b->height = 49;
    b->bits.assign(300 * 49, 0);
    return true;
  }
  void StretchBits(const ImageRect& d, const ImageRect& s, const LoadedBitmap&, DWORD rop) override {
    EXPECT_EQ(state.stretch, kColorOnColor);
    blits.push_back({d, s});
    rops.push_back(rop);
    calls.push_back("blit");
  }

  std::set<ObjectHandle> brushes;
  std::optional<std::array<uint8_t, 32>> pattern;
  std::u16string loadedPath;
  bool inPath = false;

  int Count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }
  bool AllDeleted() const {
    for (auto& [h, alive] : live)
      if (alive) return false;
    return true;
  }
};

devmode::DecorationBlock TextBlock(const char16_t* text, int size = 72, int angle = 45) {
  devmode::DecorationBlock b{};
  b.WatermarkIndex = 1;
  platform::CopyWideField(b.text, std::size(b.text), text);
  platform::CopyWideField(b.typeface, std::size(b.typeface), u"Arial");
  b.size = static_cast<uint16_t>(size);
  b.angle = static_cast<int16_t>(angle);
  b.position = 5;
  b.OverlayTransparent = 1;
  b.grey = 0xA1A1A1;
  b.horizontal = b.vertical = 50;
  return b;
}

TEST(DecorationRenderer, NothingSelectedOrLaterPageOfFirstPageOnlyDrawsNothing) {
  RecordingTarget dc;
  dc.block = TextBlock(u"Confidential");
  dc.block.WatermarkIndex = 0;
  DecorationRenderer(dc);
  EXPECT_EQ(dc.calls, (std::vector<std::string>{"escape 20481", "escape 20484"}));

  RecordingTarget later;
  later.block = TextBlock(u"Confidential");
  later.block.firstPageOnly = 1;
  later.pageCounter = 1;
  DecorationRenderer(later);
  EXPECT_EQ(later.Count("text"), 0);
  later.pageCounter = 0;
  DecorationRenderer(later);
  EXPECT_EQ(later.Count("text"), 2);

  RecordingTarget every;
  every.block = TextBlock(u"Confidential");
  every.pageCounter = 3;
  DecorationRenderer(every);
  EXPECT_EQ(every.Count("text"), 2);

  RecordingTarget silent;
  silent.block = TextBlock(u"Confidential");
  silent.answersBlock = false;
  DecorationRenderer(silent);
  EXPECT_EQ(silent.Count("text"), 0);
  EXPECT_EQ(silent.Count("escape 20482"), 0);
}

TEST(DecorationRenderer, TextWatermarkBetweenTheEscapesAndContextLeftAsFound) {
  RecordingTarget dc;
  dc.block = TextBlock(u"Confidential");
  dc.block.bold = 1;
  dc.block.italic = 1;
  const State before = dc.state;
  DecorationRenderer(dc);
  ASSERT_GE(dc.calls.size(), 4u);
  EXPECT_EQ(dc.calls[2], "escape 20482");
  EXPECT_EQ(dc.calls.back(), "escape 20483");
  // Drawn twice over (transparent overlay), each time as a path filled with the winding rule.
  EXPECT_EQ(dc.Count("text"), 2);
  EXPECT_EQ(dc.Count("fill winding"), 2);
  EXPECT_EQ(dc.Count("polygon 4") + dc.Count("ellipse"), 0);
  ASSERT_EQ(dc.fonts.size(), 1u);
  const WatermarkFont& f = dc.fonts[0];
  EXPECT_EQ(f.height, -546);  // 655 pixels at 600 per inch, in tenths
  EXPECT_EQ(f.escapement, 450);
  EXPECT_EQ(f.orientation, 450);
  EXPECT_EQ(f.weight, 700);
  EXPECT_TRUE(f.italic);
  EXPECT_EQ(f.charSet, 0);
  EXPECT_EQ(f.outPrecision, 7);
  EXPECT_EQ(f.face, u"Arial");
  EXPECT_EQ(dc.pattern, WatermarkGreyPattern(0xA1A1A1));
  // The origin is the layout's for the measured text.
  const TextPlan plan = PlanTextWatermark(dc.block, kPage, 1200, 600, 12);
  EXPECT_EQ(dc.textOrigins[0], plan.tiles[0].origin);
  EXPECT_EQ(dc.state, before);
  EXPECT_TRUE(dc.AllDeleted());
}

TEST(DecorationRenderer, FramesAreSeparateAlternateFills) {
  for (int frame : {1, 2}) {
    RecordingTarget dc;
    dc.block = TextBlock(u"Draft", 72, -30);
    dc.block.frame = static_cast<uint8_t>(frame);
    dc.block.OverlayTransparent = 0;
    const State before = dc.state;
    DecorationRenderer(dc);
    EXPECT_EQ(dc.Count("text"), 1);
    EXPECT_EQ(dc.Count("fill winding"), 1);
    EXPECT_EQ(dc.Count("fill alternate"), 1);
    EXPECT_EQ(dc.Count(frame == 1 ? "ellipse" : "polygon 4"), 2);
    EXPECT_EQ(dc.state, before);
    EXPECT_TRUE(dc.AllDeleted());
  }
}

TEST(DecorationRenderer, RepeatShortensOverlongTextFromBothEnds) {
  std::u16string text;
  for (int i = 0; i < 64; ++i) text += static_cast<char16_t>(u'A' + i % 26);
  RecordingTarget dc;
  dc.charWidth = 400;  // 64 characters: 25600 pixels
  dc.block = TextBlock(text.c_str(), 72, 0);
  dc.block.repeat = 1;
  DecorationRenderer(dc);
  ASSERT_FALSE(dc.texts.empty());
  EXPECT_EQ(dc.texts[0], text.substr(2, 60));  // 24000 pixels
  // Without repeat the text stays whole.
  RecordingTarget one;
  one.charWidth = 400;
  one.block = TextBlock(text.c_str(), 72, 0);
  DecorationRenderer(one);
  EXPECT_EQ(one.texts[0], text);
  EXPECT_EQ(one.Count("measure"), 1);
}

TEST(DecorationRenderer, FontFailureDrawsInTheContextsFont) {
  RecordingTarget dc;
  dc.fontsWork = false;
  dc.block = TextBlock(u"Confidential");
  const State before = dc.state;
  DecorationRenderer(dc);
  EXPECT_EQ(dc.Count("text"), 2);
  EXPECT_EQ(dc.state, before);
}

TEST(DecorationRenderer, UnterminatedBlockStringsStayInsideTheirFields) {
  RecordingTarget dc;
  dc.block = TextBlock(u"");
  for (auto& c : dc.block.text) c = u'x';
  for (auto& c : dc.block.typeface) c = u'F';
  DecorationRenderer(dc);
  ASSERT_FALSE(dc.texts.empty());
  EXPECT_EQ(dc.texts[0].size(), 64u);
  EXPECT_EQ(dc.fonts[0].face.size(), 31u);
}

TEST(DecorationRenderer, ImageWatermarkStretchesTheBitmap) {
  RecordingTarget dc;
  dc.block = TextBlock(u"");
  dc.block.imageFlag = 1;
  platform::CopyWideField(dc.block.imagePath, std::size(dc.block.imagePath), u"/images/logo.bmp");
  dc.block.size = 100;
  dc.block.position = 9;
  const State before = dc.state;
  DecorationRenderer(dc);
  EXPECT_EQ(dc.loadedPath, u"/images/logo.bmp");
  ASSERT_EQ(dc.blits.size(), 1u);
  EXPECT_EQ(dc.blits[0].first, (ImageRect{4230, 6115, 570, 285}));
  EXPECT_EQ(dc.rops[0], kSrcAnd);
  EXPECT_EQ(dc.Count("text"), 0);
  EXPECT_EQ(dc.state, before);

  dc.block.OverlayTransparent = 0;
  dc.block.repeat = 1;
  dc.blits.clear();
  dc.rops.clear();
  DecorationRenderer(dc);
  EXPECT_EQ(dc.blits.size(), 9u * 23u);
  EXPECT_EQ(dc.rops[0], kSrcCopy);

  RecordingTarget missing;
  missing.block = dc.block;
  missing.bitmapLoads = false;
  const State untouched = missing.state;
  DecorationRenderer(missing);
  EXPECT_TRUE(missing.blits.empty());
  EXPECT_EQ(missing.Count("mapping"), 0);
  EXPECT_EQ(missing.state, untouched);
}

}  // namespace
}  // namespace ui::decor
