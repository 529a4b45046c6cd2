// The previews as a user sees them: painted into a control's memory context through the real
// platform and compared with the committed pictures in tests/data/preview. Layout and image
// pictures must match exactly; text pictures may differ in at most 1% of their pixels by more
// than 64 a channel, because glyph antialiasing follows the machine's font rasteriser version.
// RT7700_REGEN_PREVIEW=1 rewrites the pictures instead (the regen-preview target).
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/utf16.h"
#include "preview/layout_preview.h"
#include "preview/watermark_preview.h"
#include "support/temp_dir.h"
#include "win/modules.h"
#include "win/wingdi.h"

namespace ui::preview {
namespace {

const std::string kDataDir = PREVIEW_DATA_DIR;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top-down
};

bool WritePng(const std::string& file, const Picture& p) {
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = png != nullptr && info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, out);
    png_set_IHDR(png, info, p.width, p.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < p.height; ++y) png_write_row(png, &p.rgb[size_t(y) * p.width * 3]);
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  return std::fclose(out) == 0 && ok;
}

bool ReadPng(const std::string& file, Picture* p) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  p->width = static_cast<int>(image.width);
  p->height = static_cast<int>(image.height);
  p->rgb.resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, p->rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

// A control's context: a memory context holding a 24-bit picture of the dialog's grey.
class Control {
 public:
  Control(int w, int h) : width(w), height(h) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    bitmap_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc, bitmap_);
    std::memset(bits_, 0xD4, Stride() * h);
  }
  ~Control() {
    SelectObject(dc, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc);
  }
  size_t Stride() const { return (size_t(width) * 3 + 3) & ~size_t{3}; }
  Picture Take() const {
    Picture p{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(bits_) + (height - 1 - y) * Stride();
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) p.rgb[(size_t(y) * width + x) * 3 + c] = row[x * 3 + 2 - c];
    }
    return p;
  }
  DRAWITEMSTRUCT Item() const {
    DRAWITEMSTRUCT item{};
    item.hDC = dc;
    item.rcItem = {0, 0, width, height};
    return item;
  }
  int width, height;
  HDC dc;

 private:
  HBITMAP bitmap_ = nullptr;
  void* bits_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// Compares with (or, when regenerating, writes) tests/data/preview/NAME.png.
void Check(const std::string& name, const Picture& got, bool text) {
  const std::string file = kDataDir + "/" + name + ".png";
  if (std::getenv("RT7700_REGEN_PREVIEW") != nullptr) {
    ASSERT_TRUE(WritePng(file, got)) << file;
    return;
  }
  Picture want;
  ASSERT_TRUE(ReadPng(file, &want)) << "missing reference " << file;
  ASSERT_EQ(want.width, got.width) << name;
  ASSERT_EQ(want.height, got.height) << name;
  size_t off = 0;
  for (size_t i = 0; i < got.rgb.size(); i += 3) {
    int worst = 0;
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(got.rgb[i + c] - want.rgb[i + c]));
    if (text ? worst > 64 : worst > 0) ++off;
  }
  const size_t allowed = text ? got.rgb.size() / 3 / 100 : 0;
  EXPECT_LE(off, allowed) << name << ": " << off << " pixels differ";
  if (off > allowed) WritePng(testing::TempDir() + "/" + name + ".got.png", got);
}

devmode::WatermarkRecord Text(const std::u16string& text, int size, int angle, int frame, int position) {
  devmode::WatermarkRecord r{};
  r.WatermarkIndex = 1;
  r.WatermarkKind = 1;
  platform::CopyWideField(r.Text, std::size(r.Text), text);
  platform::CopyWideField(r.Typeface, std::size(r.Typeface), u"DejaVu Sans");
  r.Size = static_cast<uint16_t>(size);
  r.Angle = static_cast<int16_t>(angle);
  r.Frame = static_cast<uint16_t>(frame);
  r.Position = static_cast<uint16_t>(position);
  r.Bold = 1;
  r.Colour = 0x2040C0;
  r.HorizontalPosition = r.VerticalPosition = 50;
  return r;
}

TEST(PreviewPictureTest, TextWatermarks) {
  struct Case {
    const char* name;
    devmode::WatermarkRecord record;
  };
  auto repeated = Text(u"COPY", 24, 0, 0, 5);
  repeated.Repeat = 1;
  auto italic = Text(u"Draft", 54, 30, 0, 10);
  italic.Italic = 1;
  italic.HorizontalPosition = 30;
  italic.VerticalPosition = 70;
  auto grey = Text(u"SECRET", 36, -45, 2, 9);
  grey.GreyLevel = 2;
  grey.Transparent = 1;
  const Case cases[] = {
      {"text_12pt_flat", Text(u"CONFIDENTIAL", 12, 0, 0, 5)},
      {"text_36pt_45_ellipse", Text(u"DRAFT", 36, 45, 1, 5)},
      {"text_72pt_90_rectangle", Text(u"TOP", 72, 90, 2, 1)},
      {"text_36pt_m45_grey_rectangle", grey},
      {"text_54pt_italic_free", italic},
      {"text_24pt_repeat", repeated},
  };
  for (const Case& c : cases) {
    Control control(120, 156);
    PaintWatermarkPreview(control.Item(), c.record);
    Check(c.name, control.Take(), true);
  }
}

// Right-to-left painting turns the control's context round only while it paints.
TEST(PreviewPictureTest, RightToLeftLeavesTheContextsLayoutAsFound) {
  Control control(120, 156);
  ASSERT_EQ(GetLayout(control.dc), 0u);
  PaintWatermarkPreviewInto(control.dc, {0, 0, 120, 156}, Text(u"DRAFT", 36, 45, 1, 5), true);
  EXPECT_EQ(GetLayout(control.dc), 0u);
  SetLayout(control.dc, LAYOUT_RTL);
  PaintWatermarkPreviewInto(control.dc, {0, 0, 120, 156}, Text(u"DRAFT", 36, 45, 1, 5), true);
  EXPECT_EQ(GetLayout(control.dc), LAYOUT_RTL);
}

void WriteBmp(const std::string& file, int w, int h) {
  const int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> bits(size_t(stride) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &bits[size_t(y) * stride + x * 3];
      p[0] = static_cast<uint8_t>(x * 255 / w);        // blue across
      p[1] = static_cast<uint8_t>(y * 255 / h);        // green up
      p[2] = (x / 4 + y / 4) % 2 != 0 ? 0xFF : 0x20;  // red checks
    }
  BITMAPINFOHEADER ih{sizeof ih, w, h, 1, 24, BI_RGB, static_cast<DWORD>(bits.size()), 0, 0, 0, 0};
  const uint32_t offset = 14 + sizeof ih, total = offset + static_cast<uint32_t>(bits.size());
  uint8_t fh[14] = {'B', 'M'};
  std::memcpy(fh + 2, &total, 4);
  std::memcpy(fh + 10, &offset, 4);
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
  out.write(reinterpret_cast<const char*>(bits.data()), static_cast<std::streamsize>(bits.size()));
}

TEST(PreviewPictureTest, ImageWatermarks) {
  testsupport::TempDir dir;
  const std::string bmp = dir.str() + "/mark.bmp";
  WriteBmp(bmp, 48, 32);
  auto image = [&](int position, int scale, int transparent, int repeat) {
    devmode::WatermarkRecord r{};
    r.WatermarkIndex = 1;
    r.WatermarkKind = 2;
    platform::CopyWideField(r.ImagePath, std::size(r.ImagePath), platform::Utf8ToUtf16(bmp));
    r.Position = static_cast<uint16_t>(position);
    r.Scale = static_cast<uint16_t>(scale);
    r.Transparent = static_cast<uint16_t>(transparent);
    r.Repeat = static_cast<uint16_t>(repeat);
    return r;
  };
  const std::pair<const char*, devmode::WatermarkRecord> cases[] = {
      {"image_centre", image(5, 300, 0, 0)},
      {"image_third_light", image(10, 300, 1, 0)},
      {"image_repeat", image(5, 100, 0, 1)},
      {"image_clipped", image(3, 2000, 0, 0)},
  };
  for (const auto& [name, record] : cases) {
    Control control(120, 156);
    PaintWatermarkPreview(control.Item(), record);
    Check(name, control.Take(), false);
  }
  // A file that cannot be loaded leaves the white page in its frame.
  Control a(120, 156), b(120, 156);
  auto missing = image(5, 300, 0, 0);
  platform::CopyWideField(missing.ImagePath, std::size(missing.ImagePath), u"/nonexistent/x.bmp");
  PaintWatermarkPreview(a.Item(), missing);
  auto none = missing;
  none.WatermarkKind = 0;
  PaintWatermarkPreview(b.Item(), none);
  EXPECT_EQ(a.Take().rgb, b.Take().rgb);
  EXPECT_EQ(a.Take().rgb[(size_t(60) * 120 + 60) * 3], 0xFF);
  EXPECT_EQ(a.Take().rgb[(size_t(1) * 120 + 60) * 3], 0x64);
}

TEST(PreviewPictureTest, LayoutPictures) {
  HMODULE module = LoadLibraryW(platform::Utf8ToUtf16(std::string(RT7700_LIB_DIR) + "/rt7700PCL5eenus.so").c_str());
  ASSERT_NE(module, nullptr);
  struct Case {
    std::string name;
    LayoutInputs in;
  };
  std::vector<Case> cases;
  for (int n : {1, 2, 4, 6, 8, 9, 16}) {
    LayoutInputs in;
    in.pagesPerSheet = n;
    in.pageBorder = n == 4;
    in.landscape = n == 2 || n == 8;
    cases.push_back({"layout_" + std::to_string(n) + "up", in});
  }
  LayoutInputs in;
  in.pagesPerSheet = 4;
  in.density = 2;
  cases.push_back({"layout_4up_dark", in});
  in.density = 0;
  cases.push_back({"layout_4up_light", in});
  in.density = 2;
  in.tonerSaving = true;
  cases.push_back({"layout_4up_tonersaving", in});
  in = LayoutInputs{};
  in.pagesPerSheet = 2;
  in.rotate180 = true;
  cases.push_back({"layout_2up_rotated", in});
  in = LayoutInputs{};
  in.zoom = 60;
  cases.push_back({"layout_1up_zoom60", in});
  in = LayoutInputs{};
  in.poster = true;
  in.posterType = 2;
  in.cropMarks = true;
  cases.push_back({"layout_poster", in});

  for (const Case& c : cases) {
    Control control(64, 64);
    PaintLayoutPreview(control.Item(), module, c.in);
    Check(c.name, control.Take(), false);
  }
  // Toner saving shows the lightest picture whatever the density; density 1 the picture itself.
  auto paint = [&](const LayoutInputs& i) {
    Control control(64, 64);
    PaintLayoutPreview(control.Item(), module, i);
    return control.Take().rgb;
  };
  LayoutInputs light, saving, plain;
  light.pagesPerSheet = saving.pagesPerSheet = plain.pagesPerSheet = 4;
  light.density = 0;
  saving.density = 2;
  saving.tonerSaving = true;
  EXPECT_EQ(paint(light), paint(saving));
  EXPECT_NE(paint(light), paint(plain));
  FreeLibrary(module);
}

}  // namespace
}  // namespace ui::preview
