// Raster images through the blit hooks with engine bitmaps, read back as a printer reads them, and
// the row compressors against a decoder.
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "graphics_fixture.h"
#include "platform/system_hooks.h"
#include "support/raster_pictures.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

// An engine bitmap made by the platform (bottom-up rows, so a negative scan-line step), locked.
class Bitmap {
 public:
  Bitmap(ULONG format, LONG width, LONG height, const std::function<void(uint8_t* row, LONG y)>& fill) {
    handle_ = EngCreateBitmap(SIZEL{width, height}, 0, format, 0, nullptr);
    so_ = EngLockSurface(reinterpret_cast<HSURF>(handle_));
    if (so_ == nullptr) return;
    for (LONG y = 0; y < height; ++y) fill(static_cast<uint8_t*>(so_->pvScan0) + y * so_->lDelta, y);
  }
  ~Bitmap() {
    if (so_ != nullptr) EngUnlockSurface(so_);
    if (handle_ != nullptr) EngDeleteSurface(reinterpret_cast<HSURF>(handle_));
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  SURFOBJ* get() const { return so_; }

 private:
  HBITMAP handle_ = nullptr;
  SURFOBJ* so_ = nullptr;
};

// One bit per pixel, set = palette entry 1.
Bitmap Bits(LONG width, LONG height, const std::function<bool(LONG x, LONG y)>& set) {
  return Bitmap(BMF_1BPP, width, height, [&](uint8_t* row, LONG y) {
    for (LONG x = 0; x < width; ++x)
      if (set(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  });
}

RECTL Normal(RECTL r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

class RasterImages : public GraphicsTest {
 protected:
  BOOL CopyBits(SURFOBJ* source, RECTL destination, POINTL from = {0, 0}, XLATEOBJ* xlate = nullptr,
                const engine::Region* region = nullptr) {
    engine::EngineClip clip(region, SurfaceBounds(), Normal(destination));
    return Hook<PFN_DrvCopyBits>(INDEX_DrvCopyBits)(&so_, source, clip.get(), xlate, &destination, &from);
  }

  // What the hooks printed since the last call, drawn on the page.
  testsupport::RasterPage Page() {
    const RECTL b = SurfaceBounds();
    testsupport::RasterPage page = testsupport::DrawRasterPictures(Run(), b.right, b.bottom);
    EXPECT_EQ(page.faults, std::vector<std::string>{});
    return page;
  }

  // Index 1 black, 0 white.
  engine::EngineXlate blackOnWhite_ = engine::EngineXlate::Indexed({0xFFFFFF, 0x000000});
};

TEST_F(RasterImages, AnAllWhitePictureSendsNoDataBytes) {
  Bitmap white = Bits(16, 4, [](LONG, LONG) { return false; });
  ASSERT_TRUE(CopyBits(white.get(), RECTL{10, 20, 26, 24}, {0, 0}, blackOnWhite_.get()));
  // The first row is "the same as" the cleared seed row.
  EXPECT_STREAM(Pcl("\\e%1A\\e*v1N\\e*v1O\\e*l204O\\e*p10x20Y\\e*r16s4t1A\\e*b3M\\e*b0W\\e*b0W\\e*b0W\\e*b0W\\e*rC"),
                Run());
}

TEST_F(RasterImages, ASingleRowIsRunLengthOrRawNeverDelta) {
  Bitmap white = Bits(16, 1, [](LONG, LONG) { return false; });
  ASSERT_TRUE(CopyBits(white.get(), RECTL{0, 0, 16, 1}, {0, 0}, blackOnWhite_.get()));
  // Four zero bytes (16 dots padded to a 32-bit row) as one run.
  const std::string out = Run();
  EXPECT_STREAM(Pcl("\\e*p0x0Y\\e*r16s1t1A\\e*b2M\\e*b2W") + std::string("\xFD\x00", 2) + Pcl("\\e*rC"),
                out.substr(out.find(Pcl("\\e*p"))));
  // A row no method shortens goes raw.
  std::mt19937 random(7);
  Bitmap noise = Bits(32, 1, [&](LONG, LONG) { return random() % 2 == 0; });
  ASSERT_TRUE(CopyBits(noise.get(), RECTL{0, 0, 32, 1}, {0, 0}, blackOnWhite_.get()));
  const testsupport::RasterPage page = Page();
  ASSERT_EQ(page.pictures.size(), 1u);
  EXPECT_EQ(page.pictures[0].methods, std::vector<int>{0});
}

TEST_F(RasterImages, EachRowTakesTheCheapestMethod) {
  std::mt19937 random(11);
  std::vector<uint8_t> noise(64);
  for (uint8_t& b : noise) b = random() % 2;
  // Black; black again; noise; the same noise with one dot changed.
  Bitmap image = Bits(64, 4, [&](LONG x, LONG y) {
    if (y < 2) return true;
    if (y == 3 && x == 40) return noise[40] == 0;
    return noise[static_cast<size_t>(x)] != 0;
  });
  ASSERT_TRUE(CopyBits(image.get(), RECTL{100, 200, 164, 204}, {0, 0}, blackOnWhite_.get()));
  const std::string out = Run();
  const testsupport::RasterPage page = testsupport::DrawRasterPictures(out, 300, 300);
  ASSERT_EQ(page.pictures.size(), 1u);
  EXPECT_EQ(page.pictures[0].methods, (std::vector<int>{2, 3, 0, 3}));
  // The method is sent only where it changes, and the repeated row costs nothing.
  EXPECT_NE(out.find(Pcl("\\e*b2M\\e*b2W") + "\xF9\xFF" + Pcl("\\e*b3M\\e*b0W\\e*b0M\\e*b8W")), std::string::npos)
      << testsupport::Decode(out);
  EXPECT_NE(out.find(Pcl("\\e*b3M\\e*b2W")), std::string::npos) << testsupport::Decode(out);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 64; ++x)
      EXPECT_EQ(page.Black(100 + x, 200 + y), y < 2 || (y == 3 && x == 40 ? noise[40] == 0 : noise[x] != 0))
          << x << "," << y;
}

TEST_F(RasterImages, AMirroredDestinationPrintsTheImageMirrored) {
  // Black in the left column and the top row.
  Bitmap image = Bits(8, 4, [](LONG x, LONG y) { return x == 0 || y == 0; });
  ASSERT_TRUE(CopyBits(image.get(), RECTL{18, 0, 10, 4}, {0, 0}, blackOnWhite_.get()));
  testsupport::RasterPage page = Page();
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 8; ++x) EXPECT_EQ(page.Black(10 + x, y), x == 7 || y == 0) << x << "," << y;
  ASSERT_TRUE(CopyBits(image.get(), RECTL{10, 14, 18, 10}, {0, 0}, blackOnWhite_.get()));
  page = Page();
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 8; ++x) EXPECT_EQ(page.Black(10 + x, 10 + y), x == 0 || y == 3) << x << "," << y;
}

TEST_F(RasterImages, AHalfScaledPageSendsHalfTheDots) {
  pdev_->doc.scaleX = pdev_->doc.scaleY = 50;
  Bitmap black = Bits(100, 100, [](LONG, LONG) { return true; });
  ASSERT_TRUE(CopyBits(black.get(), RECTL{200, 100, 300, 200}, {0, 0}, blackOnWhite_.get()));
  pdev_->doc.scaleX = pdev_->doc.scaleY = 100;
  const std::string out = Run();
  EXPECT_NE(out.find(Pcl("\\e*p100x50Y\\e*r50s50t1A")), std::string::npos) << testsupport::Decode(out);
  const testsupport::RasterPage page = testsupport::DrawRasterPictures(out, 400, 400);
  EXPECT_EQ(page.BlackCount(), 50 * 50);
}

TEST_F(RasterImages, EachClipRectangleIsAPictureOfItsOwn) {
  Bitmap black = Bits(60, 40, [](LONG, LONG) { return true; });
  const engine::Region region =
      engine::Region(RECTL{0, 0, 25, 15}).Union(engine::Region(RECTL{35, 5, 50, 30})).Offset(100, 100);
  ASSERT_TRUE(CopyBits(black.get(), RECTL{100, 100, 160, 140}, {0, 0}, blackOnWhite_.get(), &region));
  const testsupport::RasterPage page = Page();
  EXPECT_EQ(page.pictures.size(), region.RectCount());
  for (LONG y = 90; y < 150; ++y)
    for (LONG x = 90; x < 170; ++x) ASSERT_EQ(page.Black(x, y), region.Contains(x, y)) << x << "," << y;
  // A clip that cuts the image: the part inside it, taken from the image where it lies.
  Bitmap stripes = Bits(20, 20, [](LONG x, LONG) { return x % 4 == 0; });
  const engine::Region window(RECTL{305, 300, 315, 320});
  ASSERT_TRUE(CopyBits(stripes.get(), RECTL{300, 300, 320, 320}, {0, 0}, blackOnWhite_.get(), &window));
  const testsupport::RasterPage cut = Page();
  ASSERT_EQ(cut.pictures.size(), 1u);
  EXPECT_EQ(cut.pictures[0].x, 305);
  EXPECT_EQ(cut.pictures[0].width, 10);
  for (LONG x = 300; x < 320; ++x) EXPECT_EQ(cut.Black(x, 310), x >= 305 && x < 315 && x % 4 == 0) << x;
}

TEST_F(RasterImages, AnImagePartlyLeftOfThePageIsPrintedFromTheClampedBounds) {
  Bitmap image = Bits(16, 2, [](LONG x, LONG) { return x >= 12; });
  RECTL target{-8, 0, 8, 2};
  POINTL from{0, 0};
  // Without a clip object: the page itself bounds the picture.
  ASSERT_TRUE(Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt)(&so_, image.get(), nullptr, nullptr, blackOnWhite_.get(), &target,
                                                   &from, nullptr, nullptr, nullptr, 0xCCCC));
  const testsupport::RasterPage page = Page();
  ASSERT_EQ(page.pictures.size(), 1u);
  EXPECT_EQ(page.pictures[0].x, 0);
  EXPECT_EQ(page.pictures[0].width, 8);
  for (LONG x = 0; x < 8; ++x) EXPECT_EQ(page.Black(x, 1), x >= 4) << x;
}

TEST_F(RasterImages, EveryPixelFormatReadsItsColoursTheSameWay) {
  // Red (grey 76) dithers to a part of the dots; blue (25) to fewer: a swapped order shows.
  constexpr COLORREF kRed = 0x0000FF;
  auto print = [&](SURFOBJ* source, XLATEOBJ* xlate) {
    EXPECT_TRUE(CopyBits(source, RECTL{32, 48, 64, 80}, {0, 0}, xlate));
    return Page().dots;
  };
  engine::EngineXlate redTable = engine::EngineXlate::Indexed({0xFFFFFF, kRed});
  Bitmap eight(BMF_8BPP, 32, 32, [](uint8_t* row, LONG) { std::fill(row, row + 32, 1); });
  const std::vector<uint8_t> reference = print(eight.get(), redTable.get());
  const long black = std::count(reference.begin(), reference.end(), 1);
  EXPECT_GT(black, 0);
  EXPECT_LT(black, 32 * 32);
  Bitmap one = Bits(32, 32, [](LONG, LONG) { return true; });
  EXPECT_EQ(print(one.get(), redTable.get()), reference) << "1 bpp";
  Bitmap four(BMF_4BPP, 32, 32, [](uint8_t* row, LONG) { std::fill(row, row + 16, 0x11); });
  EXPECT_EQ(print(four.get(), redTable.get()), reference) << "4 bpp";
  Bitmap sixteen(BMF_16BPP, 32, 32, [](uint8_t* row, LONG) {
    for (int x = 0; x < 32; ++x) row[2 * x + 1] = 0x7C;  // 5-5-5 red
  });
  EXPECT_EQ(print(sixteen.get(), nullptr), reference) << "16 bpp";
  engine::EngineXlate bgr = engine::EngineXlate::FromBgr();
  engine::EngineXlate identity = engine::EngineXlate::Identity();
  for (int bytes : {3, 4}) {
    const ULONG format = bytes == 3 ? BMF_24BPP : BMF_32BPP;
    Bitmap blueGreenRed(format, 32, 32, [&](uint8_t* row, LONG) {
      for (int x = 0; x < 32; ++x) row[x * bytes + 2] = 0xFF;
    });
    EXPECT_EQ(print(blueGreenRed.get(), bgr.get()), reference) << bytes << " bytes, blue first";
    Bitmap redGreenBlue(format, 32, 32, [&](uint8_t* row, LONG) {
      for (int x = 0; x < 32; ++x) row[x * bytes] = 0xFF;
    });
    EXPECT_EQ(print(redGreenBlue.get(), identity.get()), reference) << bytes << " bytes, red first";
    EXPECT_NE(print(redGreenBlue.get(), bgr.get()), reference) << bytes << " bytes: blue is not red";
  }
}

TEST_F(RasterImages, TheDitherIsAnchoredToThePage) {
  Bitmap grey(BMF_24BPP, 40, 40, [](uint8_t* row, LONG) { std::fill(row, row + 120, 0x90); });
  engine::EngineXlate identity = engine::EngineXlate::Identity();
  ASSERT_TRUE(CopyBits(grey.get(), RECTL{0, 0, 40, 40}, {0, 0}, identity.get()));
  const testsupport::RasterPage first = Page();
  ASSERT_TRUE(CopyBits(grey.get(), RECTL{13, 7, 53, 47}, {0, 0}, identity.get()));
  const testsupport::RasterPage second = Page();
  EXPECT_GT(first.BlackCount(), 0);
  for (LONG y = 7; y < 40; ++y)
    for (LONG x = 13; x < 40; ++x) ASSERT_EQ(first.Black(x, y), second.Black(x, y)) << x << "," << y;
}

TEST_F(RasterImages, BandByBandOutputDrawsTheSamePage) {
  // A gradient, stretched, under a clip that leaves a hole.
  Bitmap gradient(BMF_24BPP, 50, 30, [](uint8_t* row, LONG y) {
    for (int x = 0; x < 50; ++x) std::fill(row + 3 * x, row + 3 * x + 3, static_cast<uint8_t>(x * 5 + y));
  });
  engine::EngineXlate identity = engine::EngineXlate::Identity();
  const engine::Region region = engine::Region(RECTL{0, 0, 200, 120}).Subtract(engine::Region(RECTL{60, 40, 90, 70}));
  RECTL target{0, 0, 200, 120};
  POINTL from{0, 0};
  auto stretch = [&] {
    engine::EngineClip clip(&region, SurfaceBounds(), target);
    RECTL source{0, 0, 50, 30};
    EXPECT_TRUE(Hook<PFN_DrvStretchBlt>(INDEX_DrvStretchBlt)(&so_, gradient.get(), nullptr, clip.get(),
                                                            identity.get(), nullptr, &from, &target, &source,
                                                            nullptr, 0));
    return Page();
  };
  const testsupport::RasterPage whole = stretch();
  pdev_->resampleLimit = 2000;  // a copy of a few rows at a time
  const testsupport::RasterPage banded = stretch();
  pdev_->resampleLimit = 0;
  EXPECT_GT(banded.pictures.size(), whole.pictures.size());
  EXPECT_GT(whole.BlackCount(), 0);
  EXPECT_TRUE(whole.dots == banded.dots);
}

TEST_F(RasterImages, AStretchRepeatsEachPixel) {
  Bitmap checker = Bits(4, 2, [](LONG x, LONG y) { return (x + y) % 2 == 0; });
  RECTL target{40, 40, 52, 46}, source{0, 0, 4, 2};
  POINTL origin{0, 0};
  ASSERT_TRUE(Hook<PFN_DrvStretchBlt>(INDEX_DrvStretchBlt)(&so_, checker.get(), nullptr, nullptr, blackOnWhite_.get(),
                                                          nullptr, &origin, &target, &source, nullptr, 0));
  testsupport::RasterPage page = Page();
  for (LONG y = 0; y < 6; ++y)
    for (LONG x = 0; x < 12; ++x) EXPECT_EQ(page.Black(40 + x, 40 + y), (x / 3 + y / 3) % 2 == 0) << x << "," << y;
  // A source taken right to left is the mirror image.
  source = RECTL{4, 0, 0, 2};
  ASSERT_TRUE(Hook<PFN_DrvStretchBlt>(INDEX_DrvStretchBlt)(&so_, checker.get(), nullptr, nullptr, blackOnWhite_.get(),
                                                          nullptr, &origin, &target, &source, nullptr, 0));
  page = Page();
  for (LONG x = 0; x < 12; ++x) EXPECT_EQ(page.Black(40 + x, 40), (3 - x / 3) % 2 == 0) << x;
}

TEST_F(RasterImages, AFailedAllocationLeavesNoPictureOpen) {
  Bitmap black = Bits(64, 64, [](LONG, LONG) { return true; });
  platform::hooks::FailGlobalAllocAfter(0);
  EXPECT_FALSE(CopyBits(black.get(), RECTL{0, 0, 64, 64}, {0, 0}, blackOnWhite_.get()));
  const engine::Region corner(RECTL{0, 0, 10, 10});
  EXPECT_FALSE(CopyBits(black.get(), RECTL{0, 0, 64, 64}, {0, 0}, blackOnWhite_.get(), &corner));
  platform::hooks::FailGlobalAllocAfter(1 << 30);
  EXPECT_EQ(Run().find(Pcl("\\e*r")), std::string::npos);
}

TEST_F(RasterImages, SourcesTheDriverCannotReadAreRefused) {
  SURFOBJ odd{};
  odd.iType = STYPE_BITMAP;
  odd.iBitmapFormat = 9;
  odd.sizlBitmap = SIZEL{8, 8};
  uint8_t bits[64] = {};
  odd.pvScan0 = bits;
  odd.lDelta = 8;
  EXPECT_FALSE(CopyBits(&odd, RECTL{0, 0, 8, 8}));
  odd.iBitmapFormat = BMF_32BPP;  // rows shorter than the width claims
  EXPECT_FALSE(CopyBits(&odd, RECTL{0, 0, 8, 8}));
  // A source point past the bitmap leaves nothing to print.
  Bitmap small = Bits(8, 8, [](LONG, LONG) { return true; });
  EXPECT_TRUE(CopyBits(small.get(), RECTL{0, 0, 8, 8}, {8, 0}));
  EXPECT_EQ(Run().find(Pcl("\\e*r")), std::string::npos);
}

TEST_F(RasterImages, RasterScaleIsTheDestinationInDecipoints) {
  render::SetRasterScale(*pdev_, 600, 300);
  pdev_->doc.scaleX = pdev_->doc.scaleY = 50;
  render::SetRasterScale(*pdev_, 600, 300);
  pdev_->doc.scaleX = pdev_->doc.scaleY = 100;
  pdev_->settings.pub.dmPrintQuality = 300;
  render::SetRasterScale(*pdev_, 100, 1);
  pdev_->settings.pub.dmPrintQuality = 600;
  EXPECT_STREAM(Pcl("\\e%0A\\e*t720h360V\\e*t360h180V\\e*t240h2.398V"), Run());
}

// --- the compressors, against the printer's decoding ---

std::string Compressed(const std::vector<uint8_t>& row, bool delta, std::vector<uint8_t>* seed = nullptr) {
  std::vector<uint8_t> out(render::DeltaRowWorstCase(static_cast<uint32_t>(row.size())) + 8);
  const uint32_t n = delta ? render::CompressDeltaRow(row.data(), seed->data(), static_cast<uint32_t>(row.size()),
                                                      out.data())
                           : render::CompressRunLength(row.data(), static_cast<uint32_t>(row.size()), out.data());
  return std::string(reinterpret_cast<const char*>(out.data()), n);
}

TEST(RasterCompression, RunsAndLiteralsAtTheirLimits) {
  auto rle = [](std::vector<uint8_t> row) { return Compressed(row, false); };
  EXPECT_EQ(rle(std::vector<uint8_t>(128, 7)), std::string("\x81\x07", 2));
  EXPECT_EQ(rle(std::vector<uint8_t>(129, 7)), std::string("\x81\x07\x00\x07", 4));
  EXPECT_EQ(rle(std::vector<uint8_t>(130, 7)), std::string("\x81\x07\xFF\x07", 4));
  std::vector<uint8_t> literal(129);
  for (size_t i = 0; i < literal.size(); ++i) literal[i] = static_cast<uint8_t>(i);
  const std::string out = rle(literal);
  ASSERT_EQ(out.size(), 131u);
  EXPECT_EQ(static_cast<uint8_t>(out[0]), 127);
  EXPECT_EQ(static_cast<uint8_t>(out[129]), 0);
  EXPECT_EQ(static_cast<uint8_t>(out[130]), 128);
  // A pair inside a literal stays literal; three alike end it.
  EXPECT_EQ(rle({1, 2, 2, 3}), std::string("\x03\x01\x02\x02\x03", 5));
  EXPECT_EQ(rle({1, 2, 2, 2}), std::string("\x00\x01\xFE\x02", 4));
}

TEST(RasterCompression, DeltaOffsetsContinueInExtraBytes) {
  std::vector<uint8_t> seed(600, 0), row(600, 0);
  row[30] = 1;        // offset 30: in the control byte
  row[31 + 31] = 2;   // 31 after the last replacement: an extra byte of 0
  row[63 + 286] = 3;  // 286 = 31 + 255: 255, then 0
  for (int i = 0; i < 9; ++i) row[500 + i] = 9;  // offset 150, eight bytes; then one more at offset 0
  EXPECT_EQ(Compressed(row, true, &seed), std::string("\x1E\x01"
                                                      "\x1F\x00\x02"
                                                      "\x1F\xFF\x00\x03"
                                                      "\xFF\x77\x09\x09\x09\x09\x09\x09\x09\x09"
                                                      "\x00\x09",
                                                      21));
  EXPECT_TRUE(seed == row);
  EXPECT_EQ(Compressed(row, true, &seed), "") << "a row equal to the seed costs nothing";
}

TEST(RasterCompression, WhatTheCompressorsWriteDecodesToTheRow) {
  std::mt19937 random(2024);
  std::vector<uint8_t> previous;
  for (int trial = 0; trial < 400; ++trial) {
    const size_t length = 1 + random() % 700;
    std::vector<uint8_t> row(length);
    // Runs, literals and repeats of the previous row, in random stretches.
    for (size_t i = 0; i < length;) {
      const size_t stretch = 1 + random() % 300, kind = random() % 3;
      const uint8_t value = static_cast<uint8_t>(random());
      for (size_t k = 0; k < stretch && i < length; ++k, ++i)
        row[i] = kind == 0 ? value : kind == 1 || i >= previous.size() ? static_cast<uint8_t>(random()) : previous[i];
    }
    SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(length) + " bytes");
    const std::string packed = Compressed(row, false);
    EXPECT_LE(packed.size(), render::RunLengthWorstCase(static_cast<uint32_t>(length)));
    std::vector<uint8_t> decoded(length, 0xAA);
    ASSERT_EQ(testsupport::DecodeRasterRow(2, packed, decoded), "");
    ASSERT_TRUE(decoded == row);

    std::vector<uint8_t> seed(length);
    for (size_t i = 0; i < length; ++i) seed[i] = i < previous.size() ? previous[i] : 0;
    std::vector<uint8_t> printer = seed;
    const std::string delta = Compressed(row, true, &seed);
    EXPECT_LE(delta.size(), render::DeltaRowWorstCase(static_cast<uint32_t>(length)));
    ASSERT_EQ(testsupport::DecodeRasterRow(3, delta, printer), "");
    ASSERT_TRUE(printer == row);
    ASSERT_TRUE(seed == row);
    previous = row;
  }
}

}  // namespace
}  // namespace rendertest
