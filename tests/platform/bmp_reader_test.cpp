// BMP files built here byte by byte: each header kind and depth decodes to the colours written,
// RLE commands land where they say, every lie a file can tell is refused with a reason, and
// LoadImageW turns files into GDI bitmaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gdi/bmp_reader.h"
#include "platform/engine_bitmaps.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "support/traces.h"
#include "win/error.h"
#include "win/wingdi.h"

namespace {

using platform::gdi::BmpImage;
using platform::gdi::BmpLimits;
using platform::gdi::BmpReadResult;
using platform::gdi::ReadBmp;

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);
constexpr COLORREF kOlive = RGB(128, 128, 0), kTeal = RGB(0, 128, 128), kGrey = RGB(90, 90, 90);

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A BMP file's fields, written as they are: a test sets any of them to a lie.
struct BmpFile {
  uint32_t headerSize = 40;
  int32_t width = 3, height = 2;
  uint16_t planes = 1, bitCount = 24;
  uint32_t compression = BI_RGB, sizeImage = 0, clrUsed = 0;
  std::vector<uint32_t> masks;     // after a 40-byte header, else inside the header
  std::vector<COLORREF> palette;   // written blue, green, red (and a zero byte unless core)
  std::vector<uint8_t> pixels;     // as the file holds them
  std::optional<uint32_t> bfSize;  // default: the file's size
  std::optional<uint32_t> bfOffBits;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> h;
    if (headerSize == 12) {
      Put32(h, 12);
      Put16(h, static_cast<uint32_t>(width));
      Put16(h, static_cast<uint32_t>(height));
      Put16(h, planes);
      Put16(h, bitCount);
    } else {
      Put32(h, headerSize);
      Put32(h, static_cast<uint32_t>(width));
      Put32(h, static_cast<uint32_t>(height));
      Put16(h, planes);
      Put16(h, bitCount);
      Put32(h, compression);
      Put32(h, sizeImage);
      Put32(h, 2835);
      Put32(h, 2835);
      Put32(h, clrUsed);
      Put32(h, 0);
      if (headerSize > 40)
        for (uint32_t m : masks) Put32(h, m);
      h.resize(std::max<size_t>(h.size(), headerSize), 0);
      if (headerSize == 40)
        for (uint32_t m : masks) Put32(h, m);
    }
    for (COLORREF c : palette) {
      h.push_back(static_cast<uint8_t>(c >> 16));
      h.push_back(static_cast<uint8_t>(c >> 8));
      h.push_back(static_cast<uint8_t>(c));
      if (headerSize != 12) h.push_back(0);
    }
    const uint32_t offBits = static_cast<uint32_t>(14 + h.size());
    std::vector<uint8_t> out{'B', 'M'};
    Put32(out, bfSize.value_or(static_cast<uint32_t>(offBits + pixels.size())));
    Put32(out, 0);
    Put32(out, bfOffBits.value_or(offBits));
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

BmpReadResult Read(const std::vector<uint8_t>& bytes, const BmpLimits& limits = {}) {
  // An exact-size copy, so a read past the end is one past an allocation under ASan.
  std::vector<std::byte> exact(bytes.size());
  if (!bytes.empty()) std::memcpy(exact.data(), bytes.data(), bytes.size());
  return ReadBmp(exact, limits);
}

// Packs rows of pixel values (top row first) into file rows of `bitCount` bits, padded to 4
// bytes, bottom row first unless `topDown`.
std::vector<uint8_t> Pack(int bitCount, const std::vector<std::vector<uint32_t>>& rows, bool topDown = false) {
  std::vector<uint8_t> out;
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto& row = rows[topDown ? r : rows.size() - 1 - r];
    std::vector<uint8_t> bytes((row.size() * bitCount + 31) / 32 * 4, 0);
    for (size_t x = 0; x < row.size(); ++x) {
      const uint32_t v = row[x];
      switch (bitCount) {
        case 1: bytes[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
        case 4: bytes[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
        case 8: bytes[x] = static_cast<uint8_t>(v); break;
        case 16: std::memcpy(&bytes[x * 2], &v, 2); break;
        case 24: std::memcpy(&bytes[x * 3], &v, 3); break;
        case 32: std::memcpy(&bytes[x * 4], &v, 4); break;
      }
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

// The colours of a decoded image, read through the engine's own idea of the pixel layout.
std::vector<std::vector<COLORREF>> Colours(const BmpImage& image) {
  platform::engine::PixelLayout layout;
  const ULONG formats[] = {0, BMF_1BPP, 0, 0, BMF_4BPP, 0, 0, 0, BMF_8BPP};
  layout.format = image.bitCount <= 8 ? formats[image.bitCount]
                  : image.bitCount == 16 ? BMF_16BPP
                  : image.bitCount == 24 ? BMF_24BPP
                                         : BMF_32BPP;
  layout.palette = image.palette;
  layout.redMask = image.redMask, layout.greenMask = image.greenMask, layout.blueMask = image.blueMask;
  SURFOBJ view{};
  view.iBitmapFormat = layout.format;
  view.pvScan0 = const_cast<uint8_t*>(image.pixels.data());
  view.lDelta = static_cast<LONG>(image.rowBytes);
  std::vector<std::vector<COLORREF>> out(size_t(image.height), std::vector<COLORREF>(size_t(image.width)));
  for (LONG y = 0; y < image.height; ++y)
    for (LONG x = 0; x < image.width; ++x) out[size_t(y)][size_t(x)] = layout.ColourOf(platform::engine::ReadPixel(view, x, y));
  return out;
}

using Picture = std::vector<std::vector<COLORREF>>;
const Picture kPicture = {{kRed, kGreen, kBlue}, {kOlive, kTeal, kGrey}};

// The picture above as an indexed file of each header kind.
BmpFile IndexedPicture(uint32_t headerSize, uint16_t bitCount) {
  BmpFile f;
  f.headerSize = headerSize;
  f.bitCount = bitCount;
  f.palette = {kRed, kGreen, kBlue, kOlive, kTeal, kGrey};
  f.palette.resize(size_t{1} << bitCount, 0);
  f.pixels = Pack(bitCount, {{0, 1, 2}, {3, 4, 5}});
  return f;
}

TEST(BmpReaderTest, EachHeaderKindReadsTheSamePicture) {
  for (uint32_t headerSize : {12u, 40u, 52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    BmpReadResult r = Read(IndexedPicture(headerSize, 8).Bytes());
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.image.width, 3);
    EXPECT_EQ(r.image.height, 2);
    EXPECT_EQ(r.image.bitCount, 8);
    EXPECT_EQ(Colours(r.image), kPicture);
  }
  // A core header's 24-bit picture has no colour table.
  BmpFile core;
  core.headerSize = 12;
  core.pixels = Pack(24, {{0xFF0000, 0x00FF00, 0x0000FF}, {0x808000, 0x008080, 0x5A5A5A}});
  BmpReadResult r = Read(core.Bytes());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(Colours(r.image), kPicture);
}

TEST(BmpReaderTest, EachDepthAndMaskLayoutGivesTheColoursWritten) {
  struct Case {
    const char* name;
    uint16_t bitCount;
    uint32_t compression;
    std::vector<uint32_t> masks;
    std::vector<std::vector<uint32_t>> values;
    Picture expected;
  };
  const COLORREF white = RGB(255, 255, 255), black = 0;
  const std::vector<Case> cases = {
      {"1 bpp", 1, BI_RGB, {}, {{1, 0, 1}, {0, 1, 1}}, {{kGreen, kRed, kGreen}, {kRed, kGreen, kGreen}}},
      {"4 bpp", 4, BI_RGB, {}, {{0, 1, 2}, {3, 4, 5}}, kPicture},
      {"16 bpp 5-5-5", 16, BI_RGB, {}, {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0, 0x7C1F}},
       {{kRed, kGreen, kBlue}, {white, black, RGB(255, 0, 255)}}},
      {"16 bpp 5-6-5", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {{0xF800, 0x07E0, 0x001F}, {0xFFFF, 0, 0x07FF}},
       {{kRed, kGreen, kBlue}, {white, black, RGB(0, 255, 255)}}},
      {"24 bpp", 24, BI_RGB, {}, {{0xFF0000, 0x00FF00, 0x0000FF}, {0x808000, 0x008080, 0x5A5A5A}}, kPicture},
      {"32 bpp", 32, BI_RGB, {}, {{0xAAFF0000, 0x00FF00, 0x0000FF}, {0x808000, 0x008080, 0x5A5A5A}}, kPicture},
      {"32 bpp red low", 32, BI_BITFIELDS, {0x0000FF, 0x00FF00, 0xFF0000},
       {{0x0000FF, 0x00FF00, 0xFF0000}, {0x008080, 0x808000, 0x5A5A5A}}, kPicture},
  };
  for (const Case& c : cases) {
    for (uint32_t headerSize : {40u, 124u}) {
      SCOPED_TRACE(std::string(c.name) + " header " + std::to_string(headerSize));
      BmpFile f;
      f.headerSize = headerSize;
      f.bitCount = c.bitCount;
      f.compression = c.compression;
      f.masks = c.masks;
      if (headerSize == 124 && !c.masks.empty()) f.masks.push_back(0);  // alpha
      if (c.bitCount <= 8) {
        f.palette = {kRed, kGreen, kBlue, kOlive, kTeal, kGrey};
        f.palette.resize(std::min<size_t>(f.palette.size(), size_t{1} << c.bitCount));
      }
      f.clrUsed = static_cast<uint32_t>(f.palette.size());
      f.pixels = Pack(c.bitCount, c.values);
      BmpReadResult r = Read(f.Bytes());
      ASSERT_TRUE(r.ok()) << r.message;
      EXPECT_EQ(Colours(r.image), c.expected);
    }
  }
}

TEST(BmpReaderTest, TopDownFilesKeepTheirFirstRowOnTop) {
  BmpFile f = IndexedPicture(40, 8);
  f.height = -2;
  f.pixels = Pack(8, {{0, 1, 2}, {3, 4, 5}}, true);
  BmpReadResult r = Read(f.Bytes());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_TRUE(r.image.topDown);
  EXPECT_EQ(Colours(r.image), kPicture);
}

TEST(BmpReaderTest, ShortColourTablesLeaveTheOtherIndicesBlack) {
  BmpFile f = IndexedPicture(40, 8);
  f.palette = {kRed, kGreen};
  f.clrUsed = 2;
  BmpReadResult r = Read(f.Bytes());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.image.palette.size(), 256u);
  EXPECT_EQ(Colours(r.image), (Picture{{kRed, kGreen, 0}, {0, 0, 0}}));
}

// 4 x 3, bottom row first: a run, a literal with its pad byte and a run, then a delta.
std::vector<uint8_t> Rle8Commands() {
  return {4, 1,                    // bottom row: four of index 1
          0, 0,                    // end of line
          0, 3, 2, 3, 1, 0,        // literal 2 3 1, padded to an even length
          1, 2,                    // one of index 2
          0, 0,                    // end of line
          0, 2, 2, 0,              // two pixels right
          2, 3,                    // two of index 3
          0, 1};                   // end of bitmap
}

BmpFile RlePicture(uint16_t bitCount, std::vector<uint8_t> commands, int32_t width, int32_t height) {
  BmpFile f;
  f.bitCount = bitCount;
  f.compression = bitCount == 8 ? BI_RLE8 : BI_RLE4;
  f.width = width;
  f.height = height;
  f.palette = {kGrey, kRed, kGreen, kBlue, kOlive, kTeal};
  f.clrUsed = static_cast<uint32_t>(f.palette.size());
  f.sizeImage = static_cast<uint32_t>(commands.size());
  f.pixels = std::move(commands);
  return f;
}

TEST(BmpReaderTest, Rle8RunsLiteralsDeltasAndLineEndsLandWhereTheySay) {
  BmpReadResult r = Read(RlePicture(8, Rle8Commands(), 4, 3).Bytes());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.image.bitCount, 8);
  // Pixels the commands skip keep index 0.
  EXPECT_EQ(Colours(r.image), (Picture{{kGrey, kGrey, kBlue, kBlue},
                                       {kGreen, kBlue, kRed, kGreen},
                                       {kRed, kRed, kRed, kRed}}));
}

TEST(BmpReaderTest, Rle4AlternatesNibblesInRunsAndLiterals) {
  const std::vector<uint8_t> commands = {5, 0x12,               // 1 2 1 2 1
                                         0, 0,                  // end of line
                                         0, 3, 0x34, 0x50,      // literal 3 4 5: two bytes, already even
                                         0, 2, 1, 0,            // one pixel right
                                         1, 0x40,               // one of index 4
                                         0, 1};
  BmpReadResult r = Read(RlePicture(4, commands, 5, 2).Bytes());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.image.bitCount, 4);
  EXPECT_EQ(Colours(r.image), (Picture{{kBlue, kOlive, kTeal, kGrey, kOlive}, {kRed, kGreen, kRed, kGreen, kRed}}));
}

struct Lie {
  const char* name;
  std::function<std::vector<uint8_t>()> file;
  DWORD error;
  const char* says;  // part of the message
};

std::vector<uint8_t> With(BmpFile f, const std::function<void(BmpFile&)>& change) {
  change(f);
  return f.Bytes();
}

TEST(BmpReaderTest, LiesAreRefusedWithTheirReason) {
  const BmpFile good = IndexedPicture(40, 8);
  const BmpFile rle = RlePicture(8, Rle8Commands(), 4, 3);
  auto cut = [](std::vector<uint8_t> b, size_t n) {
    b.resize(b.size() - n);
    return b;
  };
  const std::vector<Lie> lies = {
      {"empty", [] { return std::vector<uint8_t>{}; }, ERROR_INVALID_DATA, "too short"},
      {"not BM", [&] { auto b = good.Bytes(); b[0] = 'P'; return b; }, ERROR_INVALID_DATA, "not a BMP"},
      {"file size past the end", [&] { return With(good, [](BmpFile& f) { f.bfSize = 5000; }); }, ERROR_INVALID_DATA, "claims 5000"},
      {"header size unknown", [&] { return With(good, [](BmpFile& f) { f.headerSize = 44; }); }, ERROR_INVALID_DATA, "header size 44"},
      {"header cut", [&] { return cut(With(good, [](BmpFile& f) { f.headerSize = 124; f.palette.clear(); f.pixels.clear(); f.bfSize = 0; }), 20); },
       ERROR_INVALID_DATA, "header of 124"},
      {"OS/2 header", [&] { return With(good, [](BmpFile& f) { f.headerSize = 64; }); }, ERROR_NOT_SUPPORTED, "OS/2"},
      {"two planes", [&] { return With(good, [](BmpFile& f) { f.planes = 2; }); }, ERROR_INVALID_DATA, "planes"},
      {"zero width", [&] { return With(good, [](BmpFile& f) { f.width = 0; }); }, ERROR_INVALID_DATA, "0 x 2"},
      {"negative width", [&] { return With(good, [](BmpFile& f) { f.width = -3; }); }, ERROR_INVALID_DATA, "-3 x 2"},
      {"zero height", [&] { return With(good, [](BmpFile& f) { f.height = 0; }); }, ERROR_INVALID_DATA, "3 x 0"},
      {"most negative height", [&] { return With(good, [](BmpFile& f) { f.height = INT32_MIN; }); }, ERROR_INVALID_DATA, "pixels"},
      {"absurd width", [&] { return With(good, [](BmpFile& f) { f.width = 0x7FFFFFFF; f.bitCount = 32; f.palette.clear(); }); },
       ERROR_INVALID_DATA, "2147483647 x 2"},
      {"three bits", [&] { return With(good, [](BmpFile& f) { f.bitCount = 3; }); }, ERROR_INVALID_DATA, "3 bits"},
      {"unknown compression", [&] { return With(good, [](BmpFile& f) { f.compression = 9; }); }, ERROR_INVALID_DATA, "compression 9"},
      {"JPEG inside", [&] { return With(good, [](BmpFile& f) { f.compression = 4; f.bitCount = 0; }); }, ERROR_NOT_SUPPORTED, "JPEG"},
      {"RLE8 at 4 bits", [&] { return With(rle, [](BmpFile& f) { f.bitCount = 4; }); }, ERROR_INVALID_DATA, "4 bits"},
      {"top-down RLE", [&] { return With(rle, [](BmpFile& f) { f.height = -3; }); }, ERROR_INVALID_DATA, "top-down"},
      {"bit fields at 24 bits", [&] { return With(good, [](BmpFile& f) { f.compression = BI_BITFIELDS; f.bitCount = 24; f.palette.clear(); }); },
       ERROR_INVALID_DATA, "24 bits"},
      {"zero mask", [] { BmpFile f; f.bitCount = 16; f.compression = BI_BITFIELDS; f.masks = {0xF800, 0, 0x1F}; return f.Bytes(); },
       ERROR_INVALID_DATA, "masks"},
      {"overlapping masks", [] { BmpFile f; f.bitCount = 16; f.compression = BI_BITFIELDS; f.masks = {0xF800, 0x0FE0, 0x1F}; return f.Bytes(); },
       ERROR_INVALID_DATA, "masks"},
      {"split mask", [] { BmpFile f; f.bitCount = 32; f.compression = BI_BITFIELDS; f.masks = {0xFF0000, 0xF00F, 0x0F00}; return f.Bytes(); },
       ERROR_INVALID_DATA, "masks"},
      {"mask past 16 bits", [] { BmpFile f; f.bitCount = 16; f.compression = BI_BITFIELDS; f.masks = {0x1F0000, 0x03E0, 0x1F}; return f.Bytes(); },
       ERROR_INVALID_DATA, "masks"},
      {"masks past the end", [] { BmpFile f; f.bitCount = 16; f.compression = BI_BITFIELDS; f.masks = {0xF800}; f.bfSize = 0; return f.Bytes(); },
       ERROR_INVALID_DATA, "masks pass"},
      {"more colours than the depth holds", [&] { return With(good, [](BmpFile& f) { f.bitCount = 4; f.clrUsed = 17; }); },
       ERROR_INVALID_DATA, "17 entries"},
      {"colour table past the end", [&] { return With(good, [](BmpFile& f) { f.palette.resize(10); f.pixels.clear(); f.bfSize = 0; }); },
       ERROR_INVALID_DATA, "256 entries passes"},
      {"pixel offset past the end", [&] { return With(good, [](BmpFile& f) { f.bfOffBits = 100000; }); }, ERROR_INVALID_DATA, "offset 100000"},
      {"pixel offset inside the colour table", [&] { return With(good, [](BmpFile& f) { f.bfOffBits = 60; }); }, ERROR_INVALID_DATA, "offset 60"},
      {"pixels cut", [&] { return cut(With(good, [](BmpFile& f) { f.bfSize = 0; }), 1); }, ERROR_INVALID_DATA, "pixel data of 8 bytes"},
      {"image size past the end", [&] { return With(good, [](BmpFile& f) { f.sizeImage = 9; }); }, ERROR_INVALID_DATA, "image size 9"},
      {"RLE run past the row", [] { return RlePicture(8, {5, 1, 0, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "run of 5 pixels at x=0"},
      {"RLE run after a run past the row", [] { return RlePicture(8, {3, 1, 2, 1, 0, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "at x=3"},
      {"RLE literal past the row", [] { return RlePicture(8, {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA,
       "literal of 5 pixels"},
      {"RLE literal cut", [] { return RlePicture(8, {0, 4, 1, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "cut"},
      {"RLE literal without its pad byte", [] { return RlePicture(8, {0, 3, 1, 1, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "cut"},
      {"RLE delta out of the image", [] { return RlePicture(8, {0, 2, 5, 0, 0, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "delta"},
      {"RLE delta cut", [] { return RlePicture(8, {0, 2, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "delta cut"},
      {"RLE rows above the top", [] { return RlePicture(8, {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "above"},
      {"RLE line ends above the top", [] { return RlePicture(8, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "above"},
      {"RLE without an end", [] { return RlePicture(8, {4, 1, 0, 0}, 4, 3).Bytes(); }, ERROR_INVALID_DATA, "end-of-bitmap"},
      {"RLE end beyond its image size",
       [] { return With(RlePicture(8, Rle8Commands(), 4, 3), [](BmpFile& f) { f.sizeImage -= 2; }); }, ERROR_INVALID_DATA, "end-of-bitmap"},
      {"RLE4 run past the row", [] { return RlePicture(4, {6, 0x12, 0, 1}, 5, 2).Bytes(); }, ERROR_INVALID_DATA, "run of 6 pixels"},
      {"RLE claiming 65536 x 65536", [] { return RlePicture(8, {0, 1}, 65536, 65536).Bytes(); }, ERROR_NOT_ENOUGH_MEMORY, "over the limit"},
  };
  for (const Lie& lie : lies) {
    SCOPED_TRACE(lie.name);
    BmpReadResult r = Read(lie.file());
    EXPECT_EQ(r.error, lie.error) << r.message;
    EXPECT_NE(r.message.find(lie.says), std::string::npos) << r.message;
    EXPECT_TRUE(r.image.pixels.empty());
  }
}

TEST(BmpReaderTest, TheTruthfulFilesOfTheLiesAboveAreRead) {
  // So each lie above is refused for its lie, not for something else in the file.
  for (const BmpFile& f : {IndexedPicture(40, 8), RlePicture(8, Rle8Commands(), 4, 3)}) {
    BmpReadResult r = Read(f.Bytes());
    EXPECT_TRUE(r.ok()) << r.message;
  }
  BmpFile masks;
  masks.bitCount = 16;
  masks.compression = BI_BITFIELDS;
  masks.masks = {0xF800, 0x07E0, 0x1F};
  masks.pixels = Pack(16, {{0, 0, 0}, {0, 0, 0}});
  EXPECT_TRUE(Read(masks.Bytes()).ok());
  EXPECT_TRUE(Read(RlePicture(8, {4, 1, 0, 1}, 4, 3).Bytes()).ok());
  EXPECT_TRUE(Read(RlePicture(8, {0, 0, 0, 0, 0, 0, 0, 1}, 4, 3).Bytes()).ok());  // the line end after the top row
  EXPECT_TRUE(Read(RlePicture(8, {0, 2, 4, 3, 0, 1}, 4, 3).Bytes()).ok());        // a delta to the corner, writing nothing
}

TEST(BmpReaderTest, EveryCutOfAFileIsRefused) {
  std::vector<BmpFile> files = {IndexedPicture(12, 8), IndexedPicture(124, 4), IndexedPicture(40, 1),
                                RlePicture(8, Rle8Commands(), 4, 3)};
  BmpFile masks;
  masks.bitCount = 32;
  masks.compression = BI_BITFIELDS;
  masks.masks = {0xFF0000, 0xFF00, 0xFF};
  masks.pixels = Pack(32, {{1, 2, 3}, {4, 5, 6}});
  files.push_back(masks);
  for (BmpFile& f : files) {
    f.bfSize = 0;  // so the cut is found where it falls, not by the file header
    f.sizeImage = 0;
    const std::vector<uint8_t> whole = f.Bytes();
    ASSERT_TRUE(Read(whole).ok());
    for (size_t n = 0; n < whole.size(); ++n) {
      BmpReadResult r = Read(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n)));
      EXPECT_EQ(r.error, ERROR_INVALID_DATA) << "cut at " << n << " of " << whole.size();
    }
  }
}

TEST(BmpReaderTest, TheLimitCountsDecodedBytes) {
  const std::vector<uint8_t> bytes = IndexedPicture(40, 8).Bytes();  // 2 rows of 4 bytes
  EXPECT_TRUE(Read(bytes, BmpLimits{8}).ok());
  BmpReadResult r = Read(bytes, BmpLimits{7});
  EXPECT_EQ(r.error, ERROR_NOT_ENOUGH_MEMORY);
}

// --- LoadImageW ---

class LoadImageTest : public ::testing::Test {
 protected:
  std::u16string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_.path() / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return platform::Utf8ToUtf16(path);
  }
  HBITMAP Load(const std::u16string& path, UINT flags, int cx = 0, int cy = 0) {
    return static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, cx, cy, flags));
  }
  // The bitmap's colours, top row first, through GetDIBits at 24 bits.
  static Picture ColoursOf(HBITMAP bitmap) {
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof bm, &bm), int(sizeof bm));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = -bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t row = (size_t(bm.bmWidth) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bits(row * size_t(bm.bmHeight));
    EXPECT_EQ(GetDIBits(nullptr, bitmap, 0, UINT(bm.bmHeight), bits.data(), &info, DIB_RGB_COLORS), bm.bmHeight);
    Picture out(size_t(bm.bmHeight), std::vector<COLORREF>(size_t(bm.bmWidth)));
    for (size_t y = 0; y < out.size(); ++y)
      for (size_t x = 0; x < out[y].size(); ++x) {
        const uint8_t* p = &bits[y * row + x * 3];
        out[y][x] = RGB(p[2], p[1], p[0]);
      }
    return out;
  }
  testsupport::TempDir dir_;
};

TEST_F(LoadImageTest, FilesBecomeBitmapsOrDibSectionsWithTheirColours) {
  const std::u16string indexed = Write("indexed.bmp", IndexedPicture(40, 8).Bytes());
  HBITMAP device = Load(indexed, LR_LOADFROMFILE);
  HBITMAP dib = Load(indexed, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  ASSERT_NE(device, nullptr);
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(ColoursOf(device), kPicture);
  EXPECT_EQ(ColoursOf(dib), kPicture);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(device, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmBits, nullptr);
  EXPECT_EQ(bm.bmBitsPixel, 8);
  ASSERT_EQ(GetObjectW(dib, sizeof bm, &bm), int(sizeof bm));
  ASSERT_NE(bm.bmBits, nullptr);
  // A bottom-up file's DIB section keeps its bottom row first in memory.
  const auto* first = static_cast<const uint8_t*>(bm.bmBits);
  EXPECT_EQ(std::vector<uint8_t>(first, first + 3), (std::vector<uint8_t>{3, 4, 5}));
  DeleteObject(device);
  DeleteObject(dib);

  const std::u16string rle = Write("rle.bmp", RlePicture(8, Rle8Commands(), 4, 3).Bytes());
  HBITMAP decoded = Load(rle, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(ColoursOf(decoded)[2], (std::vector<COLORREF>{kRed, kRed, kRed, kRed}));
  DeleteObject(decoded);
}

TEST_F(LoadImageTest, AskedSizesStretchToTheNearestPixel) {
  const std::u16string path = Write("two.bmp", IndexedPicture(40, 8).Bytes());
  HBITMAP bitmap = Load(path, LR_LOADFROMFILE, 6, 4);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(ColoursOf(bitmap), (Picture{{kRed, kRed, kGreen, kGreen, kBlue, kBlue},
                                        {kRed, kRed, kGreen, kGreen, kBlue, kBlue},
                                        {kOlive, kOlive, kTeal, kTeal, kGrey, kGrey},
                                        {kOlive, kOlive, kTeal, kTeal, kGrey, kGrey}}));
  DeleteObject(bitmap);
  // Only one side given: the other keeps the image's.
  bitmap = Load(path, LR_LOADFROMFILE, 0, 1);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(ColoursOf(bitmap), (Picture{{kRed, kGreen, kBlue}}));
  DeleteObject(bitmap);
}

TEST_F(LoadImageTest, FailuresSetTheLastErrorAndSayWhy) {
  testsupport::TraceCapture traces;
  BmpFile lying = IndexedPicture(40, 8);
  lying.bfOffBits = 100000;
  const std::u16string bad = Write("bad.bmp", lying.Bytes());
  SetLastError(0xDEAD);
  EXPECT_EQ(Load(bad, LR_LOADFROMFILE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  bool said = false;
  for (const std::string& line : traces.Take()) said |= line.find("offset 100000") != std::string::npos;
  EXPECT_TRUE(said);

  SetLastError(0xDEAD);
  EXPECT_EQ(Load(platform::Utf8ToUtf16((dir_.path() / "missing.bmp").string()), LR_LOADFROMFILE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  const std::u16string good = Write("good.bmp", IndexedPicture(40, 8).Bytes());
  SetLastError(0xDEAD);
  EXPECT_EQ(LoadImageW(nullptr, good.c_str(), 1 /* an icon */, 0, 0, LR_LOADFROMFILE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  SetLastError(0xDEAD);
  EXPECT_EQ(Load(good, LR_DEFAULTCOLOR), nullptr);  // a module resource
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  SetLastError(0xDEAD);
  EXPECT_EQ(Load(good, LR_LOADFROMFILE, -1, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0xDEAD);
  EXPECT_EQ(Load(good, LR_LOADFROMFILE, 65536, 65536), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
