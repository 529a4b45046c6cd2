// rt7700-print --preview: pages of known shapes previewed through the real libraries come out as
// the pixels GDI's rules give (exact for rectangles and hairlines, within a stated tolerance for an
// antialiased ellipse), and bad requests are refused before anything is drawn.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

const std::string kTool = TOOL_PATH;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t At(int x, int y) const {
    const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
};

std::optional<Picture> ReadPng(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  Picture p;
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  p.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) return std::nullopt;
  return p;
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// Points at 72 dpi: one unit is one pixel, from the paper's corner.
constexpr char kShapes[] = R"({"document": "Known shapes", "unit": "pt", "settings": {"media": "a4"},
  "pages": [{"draw": [
    {"op": "rectangle", "at": [10, 10], "size": [20, 10], "pen": "none", "brush": {"color": "black"}},
    {"op": "line", "from": [40, 5], "to": [60, 5]},
    {"op": "rectangle", "at": [70, 10], "size": [6, 5], "brush": {"color": "#ff0000"}},
    {"op": "ellipse", "at": [100, 100], "size": [40, 40], "pen": "none", "brush": {"color": "black"}},
    {"op": "rectangle", "at": [200, 10], "size": [20, 10], "pen": "none", "brush": {"color": "#00ff00"}},
    {"op": "rectangle", "at": [205, 10], "size": [10, 10], "pen": "none", "brush": {"color": "#ff0000"},
     "rop": "xor-pen"}
  ]}, {"draw": []}, {"draw": [{"op": "line", "from": [0, 0], "to": [4, 0]}]}]})";

TEST(PrintToolPreview, KnownShapesPreviewToTheirPixels) {
  testsupport::TempDir dir;
  std::string job = (dir.path() / "shapes.json").string();
  Write(job, kShapes);
  std::string out = (dir.path() / "previews" / "inner").string();
  auto r = tooltest::Run({kTool, job, "--preview", out, "--preview-dpi", "72"}, {}, dir.str());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "rt7700-print: \"Known shapes\": 3 pages previewed at 72 dpi in " + out + "\n");
  EXPECT_EQ(r.out, "");

  auto page = ReadPng(out + "/page-001.png");
  ASSERT_TRUE(page);
  // A4 is 595.3 × 841.9 points; the printer's own rounding of its paper may move it by a pixel.
  EXPECT_NEAR(page->width, 595, 1);
  EXPECT_NEAR(page->height, 842, 1);

  auto count = [&](uint32_t colour, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += page->At(x, y) == colour;
    return n;
  };
  // A rectangle without a pen: right and bottom pulled in a pixel, 19 × 9 pixels exactly.
  EXPECT_EQ(count(0x000000, 5, 5, 35, 25), 19 * 9);
  EXPECT_EQ(page->At(10, 10), 0x000000u);
  EXPECT_EQ(page->At(28, 18), 0x000000u);
  EXPECT_EQ(page->At(29, 18), 0xFFFFFFu);
  EXPECT_EQ(page->At(28, 19), 0xFFFFFFu);
  // A hairline: its pixels but the last.
  EXPECT_EQ(count(0x000000, 35, 3, 65, 8), 20);
  EXPECT_EQ(page->At(40, 5), 0x000000u);
  EXPECT_EQ(page->At(60, 5), 0xFFFFFFu);
  // A bordered rectangle: the hairline border round a red inside.
  EXPECT_EQ(count(0x000000, 68, 8, 78, 17), 2 * 6 + 2 * 3);
  EXPECT_EQ(count(0xFF0000, 68, 8, 78, 17), 4 * 3);
  // XOR of red over green is yellow, exactly where the two overlap.
  EXPECT_EQ(count(0xFFFF00, 195, 5, 225, 25), 9 * 9);
  EXPECT_EQ(count(0x00FF00, 195, 5, 225, 25), 19 * 9 - 9 * 9);
  EXPECT_EQ(page->At(205, 10), 0xFFFF00u);
  EXPECT_EQ(page->At(214, 18), 0x00FF00u);
  // An antialiased ellipse: a 39-pixel circle, its ink within 2 % of its area, solid inside,
  // nothing beyond its box.
  double ink = 0;
  for (int y = 95; y < 145; ++y)
    for (int x = 95; x < 145; ++x) ink += (255 - (page->At(x, y) & 0xFF)) / 255.0;
  double area = M_PI * 19.5 * 19.5;
  EXPECT_NEAR(ink, area, area * 0.02);
  EXPECT_EQ(page->At(120, 120), 0x000000u);
  EXPECT_EQ(count(0xFFFFFF, 95, 95, 145, 100), 50 * 5);
  // Nothing else on the page.
  EXPECT_EQ(count(0xFFFFFF, 0, 150, page->width, page->height), page->width * (page->height - 150));

  auto empty = ReadPng(out + "/page-002.png");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->width, page->width);
  bool white = true;
  for (int y = 0; y < empty->height; ++y)
    for (int x = 0; x < empty->width; ++x) white = white && empty->At(x, y) == 0xFFFFFF;
  EXPECT_TRUE(white);
  auto third = ReadPng(out + "/page-003.png");
  ASSERT_TRUE(third);
  EXPECT_EQ(third->At(3, 0), 0x000000u);
  EXPECT_FALSE(std::filesystem::exists(out + "/page-004.png"));
}

TEST(PrintToolPreview, DefaultResolutionScalesThePaper) {
  testsupport::TempDir dir;
  auto r = tooltest::Run({kTool, "--pages", "1", "-o", "media=a4", "--preview", dir.str()}, {}, dir.str());
  ASSERT_EQ(r.status, 0) << r.err;
  auto page = ReadPng(dir.str() + "/page-001.png");
  ASSERT_TRUE(page);
  // 210 × 297 mm at 100 dpi.
  EXPECT_NEAR(page->width, 827, 1);
  EXPECT_NEAR(page->height, 1169, 1);
}

TEST(PrintToolPreview, TextIsDrawnIntoThePreview) {
  testsupport::TempDir dir;
  auto r = tooltest::Run({kTool, std::string(EXAMPLES_DIR) + "/letter.json", "--preview", dir.str()}, {}, dir.str());
  ASSERT_EQ(r.status, 0) << r.err;
  auto page = ReadPng(dir.str() + "/page-001.png");
  ASSERT_TRUE(page);
  // 100 dpi: a millimetre is 3.94 pixels.
  auto count = [&](auto keep, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < std::min(y1, page->height); ++y)
      for (int x = x0; x < std::min(x1, page->width); ++x) n += keep(page->At(x, y));
    return n;
  };
  auto ink = [](uint32_t c) { return c != 0xFFFFFFu; };
  // The heading in its own colour above its rule at 34 mm, the body's lines from 60 mm down.
  EXPECT_GT(count([](uint32_t c) { return c == 0x1F3A5Fu; }, 95, 90, 740, 130), 300);
  EXPECT_GT(count(ink, 95, 225, 740, 330), 2000);
  // Nothing in the left margin, where no text starts.
  EXPECT_EQ(count(ink, 0, 0, 90, page->height), 0);
}

TEST(PrintToolPreview, BadRequestsAreRefusedBeforeDrawing) {
  testsupport::TempDir dir;
  std::string file = (dir.path() / "a-file").string();
  Write(file, "x");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--pages", "1", "--preview", dir.str(), "--output", (dir.path() / "o.prn").string()},
       "command line: --preview: expected either a preview or an output, not both"},
      {{"--pages", "1", "--preview", dir.str(), "--preview-dpi", "5"},
       "command line: --preview-dpi 5: expected a resolution from 10 to 600 after --preview-dpi"},
      {{"--pages", "1", "--preview", dir.str(), "--preview-dpi", "x1"},
       "command line: --preview-dpi x1: expected a resolution from 10 to 600 after --preview-dpi"},
      {{"--pages", "1", "--output", (dir.path() / "o.prn").string(), "--preview-dpi", "100"},
       "command line: --preview-dpi: expected --preview DIR with it"},
      {{"--pages", "1", "--preview", file}, "command line: --preview " + file +
                                                ": expected a folder that exists or can be made"},
      {{"--pages", "1", "--preview"}, "command line: --preview: expected a folder after --preview (./NAME for one "
                                      "that starts with -)"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{kTool};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto r = tooltest::Run(args, {}, dir.str());
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err, "rt7700-print: " + c.message + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "page-001.png"));
}

}  // namespace
