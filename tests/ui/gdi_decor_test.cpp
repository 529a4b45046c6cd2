// The page decoration drawn into a real printer device context over the recording fake driver:
// what reaches the driver for text and image watermarks, the document events, first-page-only
// across pages, and the context as the application left it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "decor/decoration_renderer.h"
#include "decor/gdi_target.h"
#include "entry/document_event.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "tools/fake_driver.h"
#include "win/wingdi.h"

namespace ui::decor {
namespace {

const std::u16string kPrinter = u"Decor R7700";
constexpr PageSize kPage{4724, 6779};  // what the fake driver reports

fakes::DriverState& Driver() {
  static fakes::DriverState* state = [] {
    void* module = dlopen(FAKE_DRIVER_PATH, RTLD_NOW);
    return module != nullptr ? reinterpret_cast<fakes::DriverStateFn>(dlsym(module, "FakeDriverState"))() : nullptr;
  }();
  return *state;
}

devmode::DecorationBlock TextBlock(const std::u16string& text, int size, int angle, int frame, int position) {
  devmode::DecorationBlock b{};
  b.WatermarkIndex = 1;
  platform::CopyWideField(b.text, std::size(b.text), text);
  platform::CopyWideField(b.typeface, std::size(b.typeface), u"Arial");
  b.size = static_cast<uint16_t>(size);
  b.angle = static_cast<int16_t>(angle);
  b.frame = static_cast<uint8_t>(frame);
  b.position = static_cast<uint16_t>(position);
  b.OverlayTransparent = 1;
  b.grey = 0x575757;  // dark enough to stay a pattern on the fake's one-bit surface
  b.horizontal = b.vertical = 50;
  return b;
}

// 28.4 points of each figure of a path.
using Figure = std::vector<POINT>;
std::vector<Figure> Figures(const fakes::DrawCall& call) {
  std::vector<Figure> out;
  for (const fakes::PathRecord& r : call.path) {
    if ((r.flags & PD_BEGINSUBPATH) != 0 || out.empty()) out.emplace_back();
    for (const POINTFIX& p : r.points) out.back().push_back({p.x, p.y});
  }
  return out;
}

RECT Bounds(const Figure& f) {
  RECT r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const POINT& p : f) {
    r.left = std::min<LONG>(r.left, p.x);
    r.top = std::min<LONG>(r.top, p.y);
    r.right = std::max<LONG>(r.right, p.x);
    r.bottom = std::max<LONG>(r.bottom, p.y);
  }
  return r;
}

double Pixels(LONG fix) { return fix / 16.0; }

class DecorOnPrinterDc : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(&Driver(), nullptr) << dlerror();
    Driver().failing.clear();
    Driver().surfaceErrors.clear();
    Driver().hooks = fakes::kDrawingHooks | fakes::kImageHooks;
    platform::hooks::SetPlatformRoot(dir.str());
    platform::spooler::PrinterConfig config;
    config.name = kPrinter;
    config.driverName = u"Fake";
    config.driverPath = FAKE_DRIVER_PATH;
    config.port = "MEMORY:";
    ASSERT_TRUE(platform::spooler::AddPrinter(config));
  }
  void TearDown() override {
    EXPECT_EQ(Driver().surfaceErrors, std::vector<std::string>{});
    Driver().decorationBlock.clear();
    Driver().hooks = fakes::kDrawingHooks;
    platform::hooks::TakeMemoryPrinterBytes(kPrinter);
  }

  HDC StartJob() {
    HDC hdc = CreateDCW(u"WINSPOOL", kPrinter.c_str(), nullptr, nullptr);
    EXPECT_NE(hdc, nullptr);
    DOCINFOW doc{sizeof(DOCINFOW), u"decor", nullptr, nullptr, 0};
    EXPECT_GT(StartDocW(hdc, &doc), 0);
    return hdc;
  }
  static void EndJob(HDC hdc) {
    EXPECT_GT(EndDoc(hdc), 0);
    DeleteDC(hdc);
  }

  // One page whose end-page event draws `block`; the drawing calls that reached the driver.
  std::vector<fakes::DrawCall> Render(const devmode::DecorationBlock& block) {
    Use(block);
    HDC hdc = StartJob();
    StartPage(hdc);
    Driver().draws.clear();
    Driver().calls.clear();
    EXPECT_EQ(DocumentEvent(hdc, DOCUMENTEVENT_ENDPAGE), 1);
    std::vector<fakes::DrawCall> draws = Driver().draws;
    EndPage(hdc);
    EndJob(hdc);
    return draws;
  }

  static void Use(const devmode::DecorationBlock& block) {
    Driver().decorationBlock.resize(sizeof block);
    std::memcpy(Driver().decorationBlock.data(), &block, sizeof block);
  }

  // The layout the renderer should follow for `block`, its text measured in the watermark font.
  static TextPlan Expected(const devmode::DecorationBlock& b) {
    HDC hdc = CreateDCW(u"WINSPOOL", kPrinter.c_str(), nullptr, nullptr);
    GdiDecorationTarget target(hdc);
    const std::u16string text(platform::WideField(b.text, std::size(b.text)));
    const ObjectHandle font = CreateWatermarkFont(target, u"Arial", WatermarkTextHeight(b.size, 1.0),
                                                  (b.bold ? 1 : 0) | (b.italic ? 2 : 0), WatermarkAngleTenths(b.angle));
    const ObjectHandle old = target.Select(font);
    int cx = 0, cy = 0;
    EXPECT_TRUE(target.TextExtent(text, &cx, &cy));
    target.Select(old);
    target.Delete(font);
    DeleteDC(hdc);
    return PlanTextWatermark(b, kPage, cx, cy, static_cast<int>(text.size()));
  }

  static std::vector<std::string> EscapeLines() {
    std::vector<std::string> out;
    for (const std::string& line : Driver().calls)
      if (line.rfind("Escape", 0) == 0) out.push_back(line.substr(line.find("code=")));
    return out;
  }

  testsupport::TempDir dir;
};

TEST_F(DecorOnPrinterDc, DocumentEventsAnswerAndTheEndPageFetchesTheBlockAndDrawsBetweenTheBrackets) {
  for (int event : {DOCUMENTEVENT_CREATEDCPRE, DOCUMENTEVENT_STARTDOC, DOCUMENTEVENT_STARTPAGE,
                    DOCUMENTEVENT_STARTDOCPOST})
    EXPECT_EQ(DocumentEvent(nullptr, event), 1) << event;
  for (int event : {0, DOCUMENTEVENT_CREATEDCPOST, DOCUMENTEVENT_RESETDCPRE, DOCUMENTEVENT_ENDDOC,
                    DOCUMENTEVENT_ABORTDOC, DOCUMENTEVENT_DELETEDC, DOCUMENTEVENT_ESCAPE, DOCUMENTEVENT_ENDDOCPOST, 14})
    EXPECT_EQ(DocumentEvent(nullptr, event), 0) << event;

  devmode::DecorationBlock none = TextBlock(u"X", 72, 0, 0, 5);
  none.WatermarkIndex = 0;
  EXPECT_TRUE(Render(none).empty());
  EXPECT_EQ(EscapeLines(), (std::vector<std::string>{"code=6002 in=8 out=0", "code=20481 in=0 out=3232",
                                                     "code=20484 in=0 out=4"}));

  std::vector<fakes::DrawCall> draws = Render(TextBlock(u"Confidential", 72, 45, 2, 5));
  EXPECT_EQ(EscapeLines(), (std::vector<std::string>{"code=6002 in=8 out=0", "code=20481 in=0 out=3232",
                                                     "code=20484 in=0 out=4", "code=20482 in=0 out=0",
                                                     "code=20483 in=0 out=0"}));
  // Transparent: text twice with the winding rule, then the ring twice with the alternate rule,
  // each in the pattern of the grey.
  ASSERT_EQ(draws.size(), 4u);
  for (size_t i = 0; i < draws.size(); ++i) {
    EXPECT_EQ(draws[i].hook, "FillPath");
    EXPECT_EQ(draws[i].fillOptions, i < 2 ? FP_WINDINGMODE : FP_ALTERNATEMODE) << i;
    EXPECT_EQ(draws[i].realizedSize.cx, 16);
    EXPECT_EQ(draws[i].realizedTopRow, 0x1C) << "the 0x575757 pattern's first row";
  }
}

// The em height reaches the font: a capital H is about 0.69 em tall in the Arial metrics.
TEST_F(DecorOnPrinterDc, TextHeightFollowsThePointSizeAndTheAngleTurnsTheGlyphs) {
  struct Case {
    int size, angle;
    int em;  // -lfHeight the renderer should ask for
  };
  for (const Case c : {Case{72, 0, 546}, Case{36, 0, 255}, Case{72, 90, 546}, Case{114, -90, 921}}) {
    std::vector<fakes::DrawCall> draws = Render(TextBlock(u"H", c.size, c.angle, 0, 5));
    ASSERT_EQ(draws.size(), 2u) << c.size;
    const RECT b = Bounds(Figures(draws[0]).front());
    const double tall = Pixels(c.angle == 0 ? b.bottom - b.top : b.right - b.left);
    EXPECT_NEAR(tall, 0.688 * c.em, 0.02 * c.em) << "size " << c.size << " angle " << c.angle;
    const double wide = Pixels(c.angle == 0 ? b.right - b.left : b.bottom - b.top);
    EXPECT_LT(wide, tall) << "the H stands upright in its own direction";
  }
}

// Every position, angle and frame: the ring arrives exactly where the layout puts it, and the
// text inside the box it was measured for.
TEST_F(DecorOnPrinterDc, FramesAndTextArriveWhereTheLayoutPutsThemAtEveryPositionAndAngle) {
  for (int angle : {0, 45, 90, -45, -90}) {
    for (int frame : {1, 2}) {
      for (int position = 1; position <= 10; ++position) {
        devmode::DecorationBlock block = TextBlock(u"Secret", 54, angle, frame, position);
        if (position == 10) block.horizontal = 30, block.vertical = 70;
        const TextPlan plan = Expected(block);
        ASSERT_EQ(plan.tiles.size(), 1u);
        const TextTile& tile = plan.tiles[0];
        std::vector<fakes::DrawCall> draws = Render(block);
        SCOPED_TRACE("angle " + std::to_string(angle) + " frame " + std::to_string(frame) + " position " +
                     std::to_string(position));
        ASSERT_EQ(draws.size(), 4u);
        std::vector<Figure> ring = Figures(draws[2]);
        ASSERT_EQ(ring.size(), 2u);
        if (frame == 2) {
          for (int k = 0; k < 2; ++k) {
            const std::vector<Point>& want = k == 0 ? tile.outer : tile.inner;
            ASSERT_EQ(ring[k].size(), want.size());
            for (size_t i = 0; i < want.size(); ++i)
              EXPECT_EQ((Point{ring[k][i].x / 16, ring[k][i].y / 16}), want[i]) << k << "," << i;
          }
        } else {
          for (int k = 0; k < 2; ++k) {
            const std::vector<Point>& want = k == 0 ? tile.outer : tile.inner;
            const RECT got = Bounds(ring[k]);
            // The compatible mode pulls the right and bottom edges in by one pixel.
            EXPECT_NEAR(Pixels(got.left), want[0].x, 1);
            EXPECT_NEAR(Pixels(got.top), want[0].y, 1);
            EXPECT_NEAR(Pixels(got.right), want[1].x - 1, 1);
            EXPECT_NEAR(Pixels(got.bottom), want[1].y - 1, 1);
          }
        }
        // The glyphs lie within the measured text box, before any frame padding, turned about the origin.
        const int cx = plan.cx - plan.ex, cy = plan.cy - plan.ey;
        const double th = WatermarkAngleTenths(angle) * 3.14159 / 1800;
        const double ux = std::cos(th), uy = -std::sin(th);  // along the text, y down
        const double dx = std::sin(th), dy = std::cos(th);   // down the text
        double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
        for (double a : {0.0, 1.0})
          for (double d : {0.0, 1.0}) {
            const double x = tile.origin.x + a * cx * ux + d * cy * dx;
            const double y = tile.origin.y + a * cx * uy + d * cy * dy;
            lo[0] = std::min(lo[0], x), hi[0] = std::max(hi[0], x);
            lo[1] = std::min(lo[1], y), hi[1] = std::max(hi[1], y);
          }
        const RECT text = Bounds([&] {
          Figure all;
          for (const Figure& f : Figures(draws[0])) all.insert(all.end(), f.begin(), f.end());
          return all;
        }());
        EXPECT_GE(Pixels(text.left), lo[0] - 3);
        EXPECT_LE(Pixels(text.right), hi[0] + 3);
        EXPECT_GE(Pixels(text.top), lo[1] - 3);
        EXPECT_LE(Pixels(text.bottom), hi[1] + 3);
        // And fill most of it, so a text drawn elsewhere or far too small is caught.
        EXPECT_GT(Pixels(text.right - text.left) + Pixels(text.bottom - text.top), 0.7 * (hi[0] - lo[0] + hi[1] - lo[1]));
      }
    }
  }
}

// Italic widens the box the frame is laid around; bold and italic reach the font itself.
TEST_F(DecorOnPrinterDc, ItalicWidensTheFramedBoxAndBothStylesReachTheGlyphs) {
  RECT regular{}, bold{}, italic{};
  for (int style = 0; style < 3; ++style) {
    devmode::DecorationBlock block = TextBlock(u"Wide", 72, 30, 2, 5);
    block.bold = style == 1;
    block.italic = style == 2;
    const TextPlan plan = Expected(block);
    if (style == 2) {
      EXPECT_GT(plan.ex, 0);
    }
    const std::vector<fakes::DrawCall> draws = Render(block);
    ASSERT_EQ(draws.size(), 4u);
    const Figure outer = Figures(draws[2])[0];
    ASSERT_EQ(outer.size(), plan.tiles[0].outer.size());
    for (size_t i = 0; i < outer.size(); ++i)
      EXPECT_EQ((Point{outer[i].x / 16, outer[i].y / 16}), plan.tiles[0].outer[i]) << style << "," << i;
    Figure glyphs;
    for (const Figure& f : Figures(draws[0])) glyphs.insert(glyphs.end(), f.begin(), f.end());
    (style == 0 ? regular : style == 1 ? bold : italic) = Bounds(glyphs);
  }
  EXPECT_GT(bold.right - bold.left, regular.right - regular.left + 16 * 10) << "bold glyphs are wider";
  EXPECT_NE(italic.left, regular.left) << "slanted glyphs reach further";
}

TEST_F(DecorOnPrinterDc, MarginAndAnchorOfTheTopLeftCellFollowThePointSize) {
  // Size 72: ring 50 wide, the box two margins from the left edge and one from the top.
  const std::vector<fakes::DrawCall> big = Render(TextBlock(u"Draft", 72, 0, 2, 1));
  ASSERT_EQ(big.size(), 4u);
  const RECT outer72 = Bounds(Figures(big[2])[0]);
  const RECT inner72 = Bounds(Figures(big[2])[1]);
  EXPECT_EQ(outer72.left / 16, 100);
  EXPECT_EQ(outer72.top / 16, 50);
  EXPECT_EQ((inner72.left - outer72.left) / 16, 50);
  // Size 35 gets the smallest margin, as 36 does.
  for (int size : {35, 36}) {
    const std::vector<fakes::DrawCall> small = Render(TextBlock(u"Draft", size, 0, 2, 1));
    ASSERT_EQ(small.size(), 4u);
    const RECT outer = Bounds(Figures(small[2])[0]);
    EXPECT_EQ(outer.left / 16, 50) << size;
    EXPECT_EQ(outer.top / 16, 25) << size;
    EXPECT_EQ((Bounds(Figures(small[2])[1]).left - outer.left) / 16, 25) << size;
  }
}

// Tiles wholly off the page never reach the driver; every other one does, where the layout puts it.
TEST_F(DecorOnPrinterDc, RepeatTilesThePageFromTheTopLeftCell) {
  for (int frame : {1, 2}) {
    devmode::DecorationBlock block = TextBlock(u"Copy", 36, 45, frame, 5);
    block.repeat = 1;
    const TextPlan plan = Expected(block);
    ASSERT_GT(plan.tiles.size(), 4u);
    const std::vector<fakes::DrawCall> draws = Render(block);
    ASSERT_EQ(draws.size() % 4, 0u);
    std::vector<Point> drawn;  // the top-left of each ring's bounds
    for (size_t i = 2; i < draws.size(); i += 4) {
      const RECT r = Bounds(Figures(draws[i])[0]);
      drawn.push_back({r.left / 16, r.top / 16});
    }
    size_t onPage = 0;
    for (const TextTile& tile : plan.tiles) {
      int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
      for (const Point& p : tile.outer) {
        left = std::min(left, p.x), top = std::min(top, p.y);
        right = std::max(right, p.x), bottom = std::max(bottom, p.y);
      }
      const bool inside = left >= 0 && top >= 0 && right <= kPage.width && bottom <= kPage.height;
      const bool seen = std::count(drawn.begin(), drawn.end(), Point{left, top}) > 0;
      if (inside) {
        ++onPage;
        EXPECT_TRUE(seen) << "frame " << frame << " tile at " << left << "," << top;
      }
      if (right < 0 || bottom < 0 || left > kPage.width || top > kPage.height) {
        EXPECT_FALSE(seen) << "frame " << frame << " tile off the page at " << left << "," << top;
      }
    }
    EXPECT_GE(onPage, 6u) << frame;
    EXPECT_LE(drawn.size(), plan.tiles.size());
  }
}

// A 24-bit BMP whose pixel (x, y) from the top is (x, y, 7).
std::string WriteBitmap(const std::string& path, int w, int h) {
  const int row = (w * 3 + 3) & ~3;
  std::vector<uint8_t> file(54 + static_cast<size_t>(row) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  file[0] = 'B', file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  file[26] = 1, file[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &file[54 + static_cast<size_t>(h - 1 - y) * row + x * 3];
      p[0] = 7, p[1] = static_cast<uint8_t>(y), p[2] = static_cast<uint8_t>(x);
    }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return path;
}

devmode::DecorationBlock ImageBlock(const std::string& path, int scale, int position) {
  devmode::DecorationBlock b{};
  b.WatermarkIndex = 3;
  b.imageFlag = 1;
  platform::CopyWideField(b.imagePath, std::size(b.imagePath), platform::Utf8ToUtf16(path));
  b.size = static_cast<uint16_t>(scale);
  b.position = static_cast<uint16_t>(position);
  b.OverlayTransparent = 1;
  return b;
}

TEST_F(DecorOnPrinterDc, ImageWatermarksStretchTheBitmapToEachPositionAndTileWithRepeat) {
  const std::string path = WriteBitmap(dir.str() + "/mark.bmp", 200, 100);
  const std::string tall = WriteBitmap(dir.str() + "/tall.bmp", 100, 300);
  struct Case {
    const std::string& file;
    int width, height, scale;
    bool transparent;
  };
  // Inside the page ANDed with it, as printing does; then copied (the one raster operation a
  // stretching hook takes, so what the driver gets is the renderer's own rectangles) wider and
  // taller than the page.
  for (const Case c : {Case{path, 200, 100, 50, true}, Case{path, 200, 100, 400, false},
                       Case{tall, 100, 300, 400, false}}) {
    for (int position = 0; position <= 10; ++position) {
      devmode::DecorationBlock block = ImageBlock(c.file, c.scale, position);
      block.OverlayTransparent = c.transparent ? 1 : 0;
      const std::vector<ImageTile> plan = PlanImageWatermark(block, kPage, c.width, c.height);
      const std::vector<fakes::DrawCall> draws = Render(block);
      SCOPED_TRACE(std::to_string(c.height) + " high, scale " + std::to_string(c.scale) + " position " +
                   std::to_string(position));
      ASSERT_EQ(draws.size(), plan.size());
      EXPECT_EQ(EscapeLines().size(), 5u) << "bracketed even when nothing shows";
      if (plan.empty()) continue;
      const fakes::DrawCall& d = draws[0];
      const ImageRect& t = plan[0].dest;
      const ImageRect& s = plan[0].source;
      EXPECT_EQ(d.target.left, t.x);
      EXPECT_EQ(d.target.top, t.y);
      EXPECT_EQ(d.target.right, t.x + t.width);
      EXPECT_EQ(d.target.bottom, t.y + t.height);
      if (c.transparent) {
        // AND with the page is no stretching hook's: the engine stretches the part shown and
        // blits it.
        EXPECT_EQ(d.hook, "BitBlt");
        EXPECT_EQ(d.rop4, 0x8888u);
        EXPECT_EQ(d.sourceSize.cx, t.width);
        EXPECT_EQ(d.sourceSize.cy, t.height);
        // The top-left pixel of the part shown, as the bitmap has it.
        EXPECT_EQ(d.firstColour, RGB(static_cast<BYTE>(s.x), static_cast<BYTE>(s.y), 7));
      } else {
        EXPECT_EQ(d.hook, "StretchBlt");
        EXPECT_EQ(d.sourceSize.cx, c.width);
        EXPECT_EQ(d.sourceSize.cy, c.height);
        EXPECT_EQ(d.sourceRect.left, s.x);
        EXPECT_EQ(d.sourceRect.top, s.y);
        EXPECT_EQ(d.sourceRect.right, s.x + s.width);
        EXPECT_EQ(d.sourceRect.bottom, s.y + s.height);
      }
    }
  }
  devmode::DecorationBlock tiled = ImageBlock(path, 150, 5);
  tiled.repeat = 1;
  tiled.OverlayTransparent = 0;
  const std::vector<ImageTile> plan = PlanImageWatermark(tiled, kPage, 200, 100);
  ASSERT_GT(plan.size(), 20u);
  const std::vector<fakes::DrawCall> draws = Render(tiled);
  ASSERT_EQ(draws.size(), plan.size());
  for (size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(draws[i].target.left, plan[i].dest.x) << i;
    EXPECT_EQ(draws[i].target.top, plan[i].dest.y) << i;
    EXPECT_EQ(draws[i].target.right - draws[i].target.left, plan[i].dest.width) << i;
    EXPECT_EQ(draws[i].sourceRect.right - draws[i].sourceRect.left, 200) << "the whole bitmap";
    EXPECT_EQ(draws[i].sourceRect.bottom - draws[i].sourceRect.top, 100) << "the whole bitmap";
  }

  // A file that is not there, or not a bitmap, draws nothing.
  std::ofstream(dir.str() + "/not.bmp") << "BMnot really";
  for (const std::string& bad : {dir.str() + "/missing.bmp", dir.str() + "/not.bmp"})
    EXPECT_TRUE(Render(ImageBlock(bad, 150, 5)).empty()) << bad;
}

TEST_F(DecorOnPrinterDc, FirstPageOnlyIsHonouredAcrossPages) {
  for (uint8_t firstOnly : {0, 1}) {
    devmode::DecorationBlock block = TextBlock(u"A", 36, 0, 0, 5);
    block.firstPageOnly = firstOnly;
    Use(block);
    HDC hdc = StartJob();
    std::vector<size_t> drawsPerPage;
    for (int page = 0; page < 3; ++page) {
      StartPage(hdc);
      Driver().draws.clear();
      EXPECT_EQ(DocumentEvent(hdc, DOCUMENTEVENT_ENDPAGE), 1);
      drawsPerPage.push_back(Driver().draws.size());
      EndPage(hdc);
    }
    EndJob(hdc);
    EXPECT_EQ(drawsPerPage, firstOnly ? (std::vector<size_t>{2, 0, 0}) : (std::vector<size_t>{2, 2, 2}));
  }
}

struct DcSnapshot {
  int mapMode, bkMode, polyFill, stretch;
  SIZE windowExt, viewportExt;
  POINT windowOrg, viewportOrg;
  UINT align;
  COLORREF bk, text;
  HGDIOBJ font, brush, pen, bitmap;
  bool operator==(const DcSnapshot& o) const {
    return mapMode == o.mapMode && bkMode == o.bkMode && polyFill == o.polyFill && stretch == o.stretch &&
           windowExt.cx == o.windowExt.cx && windowExt.cy == o.windowExt.cy && viewportExt.cx == o.viewportExt.cx &&
           viewportExt.cy == o.viewportExt.cy && windowOrg.x == o.windowOrg.x && windowOrg.y == o.windowOrg.y &&
           viewportOrg.x == o.viewportOrg.x && viewportOrg.y == o.viewportOrg.y && align == o.align && bk == o.bk &&
           text == o.text && font == o.font && brush == o.brush && pen == o.pen;
  }
};

DcSnapshot Snapshot(HDC hdc) {
  DcSnapshot s{};
  s.mapMode = GetMapMode(hdc);
  s.bkMode = GetBkMode(hdc);
  s.polyFill = GetPolyFillMode(hdc);
  s.stretch = GetStretchBltMode(hdc);
  GetWindowExtEx(hdc, &s.windowExt);
  GetViewportExtEx(hdc, &s.viewportExt);
  GetWindowOrgEx(hdc, &s.windowOrg);
  GetViewportOrgEx(hdc, &s.viewportOrg);
  s.align = GetTextAlign(hdc);
  s.bk = GetBkColor(hdc);
  s.text = GetTextColor(hdc);
  s.font = GetCurrentObject(hdc, OBJ_FONT);
  s.brush = GetCurrentObject(hdc, OBJ_BRUSH);
  s.pen = GetCurrentObject(hdc, OBJ_PEN);
  return s;
}

TEST_F(DecorOnPrinterDc, TheContextIsLeftAsFoundAndTheDrawingIsInDevicePixelsWhateverItsMapping) {
  const std::string path = WriteBitmap(dir.str() + "/mark.bmp", 20, 10);
  std::vector<RECT> ringsSeen;
  for (int mapMode : {MM_TEXT, MM_LOMETRIC, MM_ANISOTROPIC}) {
    for (bool image : {false, true}) {
      const devmode::DecorationBlock block = image ? ImageBlock(path, 300, 3) : TextBlock(u"Memo", 44, -45, 1, 7);
      Use(block);
      HDC hdc = StartJob();
      StartPage(hdc);
      SetMapMode(hdc, mapMode);
      SetWindowExtEx(hdc, 3, 5, nullptr);
      SetViewportExtEx(hdc, 7, -11, nullptr);
      SetWindowOrgEx(hdc, 13, 17, nullptr);
      SetViewportOrgEx(hdc, 19, 23, nullptr);
      SetBkMode(hdc, OPAQUE);
      SetTextAlign(hdc, TA_BASELINE | TA_RIGHT);
      SetBkColor(hdc, 0x123456);
      SetTextColor(hdc, 0x654321);
      SetPolyFillMode(hdc, WINDING);
      SetStretchBltMode(hdc, HALFTONE);
      HFONT font = CreateFontW(-40, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Arial");
      HBRUSH brush = CreateSolidBrush(0x00FF00);
      HPEN pen = CreatePen(PS_SOLID, 3, 0xFF);
      SelectObject(hdc, font);
      SelectObject(hdc, brush);
      SelectObject(hdc, pen);
      const DcSnapshot before = Snapshot(hdc);
      Driver().draws.clear();
      EXPECT_EQ(DocumentEvent(hdc, DOCUMENTEVENT_ENDPAGE), 1);
      EXPECT_TRUE(Snapshot(hdc) == before) << "map mode " << mapMode << (image ? " image" : " text");
      ASSERT_FALSE(Driver().draws.empty());
      if (!image) ringsSeen.push_back(Bounds(Figures(Driver().draws[2])[0]));
      EndPage(hdc);
      EndJob(hdc);
      DeleteObject(font);
      DeleteObject(brush);
      DeleteObject(pen);
    }
  }
  ASSERT_EQ(ringsSeen.size(), 3u);
  for (const RECT& r : ringsSeen) {
    EXPECT_EQ(r.left, ringsSeen[0].left);
    EXPECT_EQ(r.top, ringsSeen[0].top);
    EXPECT_EQ(r.right, ringsSeen[0].right);
    EXPECT_EQ(r.bottom, ringsSeen[0].bottom);
  }
}

}  // namespace
}  // namespace ui::decor
