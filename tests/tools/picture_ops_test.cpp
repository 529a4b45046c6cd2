// Images and gradients on job file pages: what the reader keeps, the one-line messages for bad
// values, and the blits and gradient fills the fake driver receives for them.
#include <png.h>

#include <fstream>

#include "drawing_page.h"
#include "image_ops.h"
#include "job_file.h"
#include "page_drawing.h"

namespace {

using drawing::Driver;
using drawing::Str;
using namespace rt7700print;

std::variant<JobFile, InputError> ReadPage(const std::string& draw, const std::string& name = "JOB") {
  JobSettings settings;
  return ReadJobText(R"({"pages": [{"draw": )" + draw + "}]}", name, settings);
}

std::string Problem(const std::string& draw) {
  auto read = ReadPage(draw);
  auto* e = std::get_if<InputError>(&read);
  return e == nullptr ? "(accepted)" : e->field + ": " + e->expected;
}

PageDrawing Page(const std::string& draw, const std::string& name = "JOB") {
  auto read = ReadPage(draw, name);
  if (auto* e = std::get_if<InputError>(&read)) {
    ADD_FAILURE() << e->field << ": " << e->expected;
    return {};
  }
  auto& job = std::get<JobFile>(read);
  return job.drawn.empty() ? PageDrawing{} : std::move(job.drawn[0].drawing);
}

TEST(PictureOpsTest, ImagesAndGradientsKeepTheirRectangleVerticesAndFilesFoundBesideTheJob) {
  PageDrawing page = Page(R"([
      {"op": "image", "file": "pics/a.png", "at": [10, 20], "size": [30, 40], "mirror": "both", "rop": "xor-pen"},
      {"op": "image", "file": "/abs/b.bmp", "at": [-1, 0], "size": [0, 5], "transparent": "#0a0b0c"},
      {"op": "gradient", "mode": "triangles", "vertices": [{"at": [0, 0], "color": "#ff0000"},
          {"at": [1, 0], "gray": 100}, {"at": [0, 1], "color": "white"}], "mesh": [[0, 1, 2], [2, 1, 0]]}])",
                          "/jobs/today/job.json");
  ASSERT_EQ(page.ops.size(), 3u);
  ASSERT_EQ(page.images.size(), 2u);
  EXPECT_EQ(page.images[0].file, "/jobs/today/pics/a.png");
  EXPECT_EQ(page.images[1].file, "/abs/b.bmp");
  EXPECT_TRUE(page.images[0].mirrorX && page.images[0].mirrorY);
  EXPECT_EQ(page.ops[0].rop, R2_XORPEN);
  EXPECT_EQ(page.ops[1].item, 1);
  EXPECT_EQ(page.images[1].transparent, RGB(10, 11, 12));
  ASSERT_EQ(page.ops[1].count, 2u);
  EXPECT_EQ(page.points[page.ops[1].first + 1].x, -100);
  EXPECT_EQ(page.points[page.ops[1].first + 1].y, 500);
  const GradientSpec& g = page.gradients.at(0);
  EXPECT_EQ(g.mode, GRADIENT_FILL_TRIANGLE);
  EXPECT_EQ(g.colours, (std::vector<COLORREF>{RGB(255, 0, 0), RGB(0, 0, 0), RGB(255, 255, 255)}));
  EXPECT_EQ(g.mesh, (std::vector<ULONG>{0, 1, 2, 2, 1, 0}));
  EXPECT_EQ(page.ops[2].count, 3u);
  EXPECT_EQ(page.points.size(), page.types.size());
  // A job read from the current folder leaves the path as written.
  EXPECT_EQ(Page(R"([{"op": "image", "file": "a.png", "at": [0, 0], "size": [1, 1]}])", "job.json").images[0].file,
            "a.png");
}

TEST(PictureOpsTest, BadPictureValuesGetOneMessageNamingPageOperationAndField) {
  const std::string image = R"([{"op": "image", "at": [0, 0], "size": [10, 10], )";
  const std::string gradient = R"([{"op": "gradient", "vertices": [{"at": [0, 0], "gray": 0}, {"at": [9, 9], "gray": 50}], )";
  struct Case {
    std::string draw, problem;
  } cases[] = {
      {R"([{"op": "image", "at": [0, 0], "size": [1, 1]}])",
       "page 1, op 1 (image): file: expected the path of a PNG or BMP file (the field is missing)"},
      {image + R"("file": ""}])", "page 1, op 1 (image): file: expected the path of a PNG or BMP file"},
      {R"([{"op": "image", "file": "a.png", "at": [0, 0], "size": [-1, 1]}])",
       "page 1, op 1 (image): size: expected [width, height], numbers from 0 to 10000"},
      {R"([{"op": "image", "file": "a.png", "size": [1, 1]}])",
       "page 1, op 1 (image): at: expected [x, y], numbers from -10000 to 10000 (the field is missing)"},
      {image + R"("file": "a.png", "mirror": "sideways"}])",
       "page 1, op 1 (image): mirror: expected horizontal, vertical or both"},
      {image + R"("file": "a.png", "mirror": "vertical", "transparent": "white"}])",
       "page 1, op 1 (image): mirror: expected a mirror or a transparent colour, not both"},
      {image + R"("file": "a.png", "rop": "xor-pen", "transparent": "white"}])",
       "page 1, op 1 (image): rop: expected a rop or a transparent colour, not both"},
      {image + R"("file": "a.png", "transparent": "#12345"}])",
       "page 1, op 1 (image): transparent: expected \"#rrggbb\", \"black\" or \"white\", got \"#12345\""},
      {image + R"("file": "a.png", "rop": "paint"}])", "page 1, op 1 (image): rop: expected black, not-merge-pen, "
       "mask-not-pen, not-copy-pen, mask-pen-not, not, xor-pen, not-mask-pen, mask-pen, not-xor-pen, nop, "
       "merge-not-pen, copy-pen, merge-pen-not, merge-pen or white, got \"paint\""},
      {image + R"("file": "a.png", "pen": "none"}])",
       "page 1, op 1 (image): pen: expected only op, file, at, size, mirror, transparent, rop"},
      {gradient + R"("mesh": [[0, 1]]}])", "page 1, op 1 (gradient): mode: expected horizontal, vertical or "
       "triangles (the field is missing)"},
      {gradient + R"("mode": "vertical", "mesh": [[0, 2]]}])",
       "page 1, op 1 (gradient): mesh[0]: expected vertex numbers from 0 to 1"},
      {gradient + R"("mode": "vertical", "mesh": [[0, -1]]}])",
       "page 1, op 1 (gradient): mesh[0]: expected vertex numbers from 0 to 1"},
      {gradient + R"("mode": "triangles", "mesh": [[0, 1]]}])",
       "page 1, op 1 (gradient): mesh[0]: expected a list of 1 to 10000 lists of 3 vertex numbers (triangles) from 0"},
      {gradient + R"("mode": "horizontal", "mesh": []}])",
       "page 1, op 1 (gradient): mesh: expected a list of 1 to 10000 lists of 2 vertex numbers (opposite corners) "
       "from 0"},
      {R"([{"op": "gradient", "mode": "horizontal", "vertices": [{"at": [0, 0]}], "mesh": [[0, 0]]}])",
       "page 1, op 1 (gradient): vertices: expected a list of 2 to 10000 vertices {\"at\": [x, y], \"color\": ...}"},
      {R"([{"op": "gradient", "mode": "horizontal", "vertices": [{"at": [0, 0], "gray": 0},
           {"at": [1, 1], "color": "red"}], "mesh": [[0, 1]]}])",
       "page 1, op 1 (gradient): vertices[1].color: expected \"#rrggbb\", \"black\" or \"white\", got \"red\""},
      {R"([{"op": "gradient", "mode": "horizontal", "vertices": [{"at": [0, 0], "gray": 0},
           {"at": [1, 1]}], "mesh": [[0, 1]]}])",
       "page 1, op 1 (gradient): vertices[1].color: expected \"#rrggbb\", \"black\" or \"white\" (the field is "
       "missing)"},
      {R"([{"op": "gradient", "mode": "horizontal", "vertices": [{"at": [0, 0], "gray": 0},
           {"at": [1, 1], "gray": 0, "alpha": 1}], "mesh": [[0, 1]]}])",
       "page 1, op 1 (gradient): vertices[1].alpha: expected only at, color, gray"},
  };
  for (const auto& c : cases) EXPECT_EQ(Problem(c.draw), c.problem) << c.draw;
}

TEST(PictureOpsTest, SourceRopsDoToTheSourceWhatTheNamedOperationDoesToThePen) {
  EXPECT_EQ(SourceRop(R2_COPYPEN), SRCCOPY);
  EXPECT_EQ(SourceRop(R2_NOTCOPYPEN), NOTSRCCOPY);
  EXPECT_EQ(SourceRop(R2_MASKPEN), SRCAND);
  EXPECT_EQ(SourceRop(R2_MERGEPEN), SRCPAINT);
  EXPECT_EQ(SourceRop(R2_XORPEN), SRCINVERT);
  EXPECT_EQ(SourceRop(R2_MASKPENNOT), SRCERASE);
  EXPECT_EQ(SourceRop(R2_NOTMERGEPEN), NOTSRCERASE);
  EXPECT_EQ(SourceRop(R2_MERGENOTPEN), MERGEPAINT);
  EXPECT_EQ(SourceRop(R2_NOT), DSTINVERT);
  EXPECT_EQ(SourceRop(R2_BLACK), BLACKNESS);
  EXPECT_EQ(SourceRop(R2_WHITE), WHITENESS);
  EXPECT_EQ(SourceRop(R2_NOP), 0x00AA0029u);
  EXPECT_EQ(SourceRop(0), SRCCOPY);  // none given
}

// A 6×4 PNG and a 3×2 24-bit BMP whose top-left pixel is the key colour.
class PictureDrawingTest : public drawing::PageTest {
 protected:
  void SetUp() override {
    drawing::PageTest::SetUp();
    Driver().hooks = fakes::kDrawingHooks | fakes::kImageHooks;
    EXPECT_EQ(EndPage(hdc), 1);
    EXPECT_EQ(EndDoc(hdc), 1);
    EXPECT_TRUE(DeleteDC(hdc));
    Open();
    png = dir.str() + "/photo.png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 6;
    image.height = 4;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(6 * 4 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<png_byte>(i * 7);
    ASSERT_TRUE(png_image_write_to_file(&image, png.c_str(), 0, pixels.data(), 0, nullptr));
    bmp = dir.str() + "/logo.bmp";
    const unsigned char file[] = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: size 54 + 2 rows of 12
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,        // bottom row
        0xFF, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // top row: magenta, black, black
    };
    std::ofstream(bmp, std::ios::binary).write(reinterpret_cast<const char*>(file), sizeof file);
  }

  std::string png, bmp;
};

// The fake's printable area starts 118 pixels from the paper's corner; a point is 600/72 pixels.
constexpr LONG kOffset = 118;

TEST_F(PictureDrawingTest, ImagesReachStretchBltOrTransparentBltAtTheirRectangleMirroredAsAsked) {
  PageDrawing page = Page(R"([
      {"op": "image", "file": ")" + png + R"(", "at": [72, 72], "size": [144, 72]},
      {"op": "image", "file": ")" + png + R"(", "at": [72, 72], "size": [144, 72], "mirror": "horizontal"},
      {"op": "image", "file": ")" + bmp + R"(", "at": [72, 144], "size": [36, 36], "mirror": "vertical"},
      {"op": "image", "file": ")" + bmp + R"(", "at": [0, 0], "size": [72, 36], "transparent": "#ff00ff"},
      {"op": "image", "file": ")" + png + R"(", "at": [9, 9], "size": [0, 36]}])");
  ASSERT_EQ(DrawPage(hdc, page, Unit::Point), std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StretchBlt StretchBlt StretchBlt TransparentBlt");
  const LONG inch = 600 - kOffset, two = 1200 - kOffset, three = 1800 - kOffset;
  EXPECT_TRUE(calls[0].target == (RECTL{inch, inch, three, two})) << Str(calls[0].target);
  EXPECT_TRUE(calls[0].sourceRect == (RECTL{0, 0, 6, 4})) << Str(calls[0].sourceRect);
  EXPECT_EQ(calls[0].sourceSize.cx, 6);
  EXPECT_EQ(calls[0].sourceSize.cy, 4);
  EXPECT_TRUE(calls[1].target == (RECTL{three, inch, inch, two})) << Str(calls[1].target);
  EXPECT_TRUE(calls[2].target == (RECTL{inch, two + 300, inch + 300, two})) << Str(calls[2].target);
  EXPECT_TRUE(calls[2].sourceRect == (RECTL{0, 0, 3, 2})) << Str(calls[2].sourceRect);
  EXPECT_TRUE(calls[3].target == (RECTL{-kOffset, -kOffset, 600 - kOffset, 300 - kOffset})) << Str(calls[3].target);
  EXPECT_EQ(calls[3].transparentKey, 0xFF00FFu);
  // No bitmap or memory DC outlives the page.
  EXPECT_EQ(GetMapMode(hdc), MM_TEXT);

  // A raster operation other than a copy reaches the device as the source's ROP3.
  ASSERT_EQ(DrawPage(hdc, Page(R"([{"op": "image", "file": ")" + png + R"(", "at": [72, 72], "size": [144, 72],
                                   "rop": "mask-pen"}])"),
                     Unit::Point),
            std::nullopt);
  calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt");
  EXPECT_EQ(calls[0].rop4, 0x8888u);
}

TEST_F(PictureDrawingTest, GradientsReachGradientFillWithTheirVerticesMeshesAndMode) {
  PageDrawing page = Page(R"([
      {"op": "gradient", "mode": "vertical", "vertices": [{"at": [72, 72], "color": "#ff0000"},
          {"at": [144, 216], "color": "#0000ff"}, {"at": [0, 0], "gray": 0}, {"at": [72, 36], "gray": 100}],
       "mesh": [[0, 1], [2, 3]]},
      {"op": "gradient", "mode": "triangles", "vertices": [{"at": [0, 72], "gray": 0}, {"at": [72, 72], "gray": 50},
          {"at": [36, 144], "gray": 100}], "mesh": [[0, 1, 2]]}])");
  ASSERT_EQ(DrawPage(hdc, page, Unit::Point), std::nullopt);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "GradientFill GradientFill");
  EXPECT_EQ(calls[0].mode, GRADIENT_FILL_RECT_V);
  EXPECT_EQ(calls[0].vertices, 4u);
  EXPECT_EQ(calls[0].meshes, 2u);
  EXPECT_TRUE(calls[0].target == (RECTL{-kOffset, -kOffset, 1200 - kOffset, 1800 - kOffset})) << Str(calls[0].target);
  EXPECT_EQ(calls[1].mode, GRADIENT_FILL_TRIANGLE);
  EXPECT_EQ(calls[1].meshes, 1u);
  EXPECT_TRUE(calls[1].target == (RECTL{-kOffset, 600 - kOffset, 600 - kOffset, 1200 - kOffset}))
      << Str(calls[1].target);
}

TEST_F(PictureDrawingTest, AnImageThatCannotBeReadNamesTheFileAndWhy) {
  const std::string text = dir.str() + "/notes.txt", cut = dir.str() + "/cut.png", missing = dir.str() + "/none.png";
  std::ofstream(text) << "hello there";
  std::ifstream in(png, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, 40);
  std::string badBmp = dir.str() + "/bad.bmp";
  // A whole PNG header claiming 60000 × 60000 pixels: refused before anything that size is made.
  std::string huge = dir.str() + "/huge.png";
  {
    auto chunk = [](const std::string& kind, const std::string& data) {
      std::string body = kind + data;
      uint32_t crc = 0xFFFFFFFFu;
      for (unsigned char c : body) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
      }
      crc = ~crc;
      std::string out;
      for (uint32_t v : {static_cast<uint32_t>(data.size())})
        for (int k = 3; k >= 0; --k) out += static_cast<char>(v >> (8 * k));
      out += body;
      for (int k = 3; k >= 0; --k) out += static_cast<char>(crc >> (8 * k));
      return out;
    };
    std::ofstream(huge, std::ios::binary)
        << std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", std::string("\0\0\xea\x60\0\0\xea\x60\x08\x02\0\0\0", 13)) +
               chunk("IDAT", "") + chunk("IEND", "");
  }
  std::ofstream(badBmp, std::ios::binary) << "BM and nothing else of one";
  struct Case {
    std::string file, why;
  } cases[] = {{missing, "No such file or directory"},
               {text, "neither a PNG nor a BMP file"},
               {cut, "PNG"},
               {badBmp, "a damaged BMP"},
               {huge, "larger than 256 megapixels"}};
  for (const auto& c : cases) {
    auto e = DrawPage(hdc, Page(R"([{"op": "image", "file": ")" + c.file + R"(", "at": [0, 0], "size": [9, 9]}])"),
                      Unit::Point);
    ASSERT_TRUE(e.has_value()) << c.file;
    EXPECT_EQ(e->rfind("op 1 (image): " + c.file + ": ", 0), 0u) << *e;
    EXPECT_NE(e->find(c.why), std::string::npos) << *e;
  }
  EXPECT_TRUE(Take().empty());
}

}  // namespace
