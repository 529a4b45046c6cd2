// Brushes on a monochrome printer: black, white, or a PCL user-defined pattern that PCL selects as
// the current pattern and HP-GL/2 as its fill type or screened vectors. Greys become dithered
// 16x16 patterns, one per grey level and page; hatches and bitmap brushes are realized here.
#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/graphics.h"

namespace render {
namespace {

constexpr char kEndRaster[] = "\x1b*rC";          // end raster graphics
constexpr char kPatternId[] = "\x1b*c%dG";        // pattern identifier
constexpr char kUserPattern[] = "\x1b*v4T";       // current pattern: user-defined
constexpr char kSolidBlack[] = "\x1b*v0T";        // current pattern: solid black
constexpr char kSolidWhite[] = "\x1b*v1T";        // current pattern: solid white
constexpr char kAnchorCorner[] = "AC%d,%d";       // HP-GL/2 anchor corner of fill patterns
constexpr ULONG kHatchStyles = 6;
constexpr int32_t kHatchIdBase = 100;
constexpr int kGreyPatternSize = 16;
constexpr int kBrushPaletteEntries = 255;  // colours of one 16/24/32-bpp pattern brush
constexpr int32_t kStoredPaletteEntries = 256;

// 16 rows of 16 pixels each, leftmost pixel in the high bit, set = black.
constexpr uint16_t kHatches[kHatchStyles][16] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0, 0, 0},  // horizontal
    {0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0,
     0x00C0, 0x00C0, 0x00C0},  // vertical
    {0xC000, 0xC000, 0x3000, 0x3000, 0x0C00, 0x0C00, 0x0300, 0x0300, 0x00C0, 0x00C0, 0x0030, 0x0030, 0x000C,
     0x000C, 0x0003, 0x0003},  // forward diagonal
    {0x0003, 0x0003, 0x000C, 0x000C, 0x0030, 0x0030, 0x00C0, 0x00C0, 0x0300, 0x0300, 0x0C00, 0x0C00, 0x3000,
     0x3000, 0xC000, 0xC000},  // backward diagonal
    {0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0x00C0, 0xFFFF, 0x00C0, 0x00C0, 0x00C0, 0x00C0,
     0x00C0, 0x00C0, 0x00C0},  // cross
    {0xC003, 0xC003, 0x300C, 0x300C, 0x0C30, 0x0C30, 0x03C0, 0x03C0, 0x03C0, 0x03C0, 0x0C30, 0x0C30, 0x300C,
     0x300C, 0xC003, 0xC003},  // diagonal cross
};

int BitsPerPixel(ULONG format) {
  switch (format) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

bool Monochrome(const Pdev& pdev) { return pdev.settings.pub.dmColor != 2; }

RealizedBrush* RealizeHatch(BRUSHOBJ* pbo, SURFOBJ* psoPattern, ULONG hatch) {
  auto* rb = static_cast<RealizedBrush*>(BRUSHOBJ_pvAllocRbrush(pbo, sizeof(RealizedBrush) + 32));
  if (rb == nullptr) return nullptr;
  *rb = RealizedBrush{16, 16, BMF_1BPP, psoPattern != nullptr ? psoPattern->fjBitmap : 0,
                      static_cast<int32_t>(hatch) + kHatchIdBase, 0, static_cast<int32_t>(sizeof(RealizedBrush) + 32),
                      2};
  for (int row = 0; row < 16; ++row) {
    rb->Bits()[row * 2] = static_cast<uint8_t>(kHatches[hatch][row] >> 8);
    rb->Bits()[row * 2 + 1] = static_cast<uint8_t>(kHatches[hatch][row]);
  }
  return rb;
}

// The brush's own palette of a 16/24/32-bpp pattern: first fit, index 0 once it is full.
class BrushPalette {
 public:
  explicit BrushPalette(bool monochrome) : monochrome_(monochrome) {}
  uint8_t IndexOf(uint8_t red, uint8_t green, uint8_t blue) {
    if (monochrome_) red = green = blue = GreyLevel(red | green << 8 | blue << 16);
    for (int i = 0; i < kBrushPaletteEntries; ++i) {
      if (!used_[i]) {
        used_[i] = true;
        entries_[i] = static_cast<uint32_t>(red | green << 8 | blue << 16);
        return static_cast<uint8_t>(i);
      }
      if (entries_[i] == static_cast<uint32_t>(red | green << 8 | blue << 16)) return static_cast<uint8_t>(i);
    }
    return 0;
  }
  uint32_t Entry(int i) const { return i < kBrushPaletteEntries ? entries_[i] : 0; }

 private:
  bool monochrome_;
  bool used_[kBrushPaletteEntries] = {};
  uint32_t entries_[kBrushPaletteEntries] = {};
};

void ReadColour(const uint8_t* pixel, int bpp, uint8_t* red, uint8_t* green, uint8_t* blue) {
  if (bpp == 16) {  // 5-5-5
    const unsigned v = static_cast<unsigned>(pixel[0] | pixel[1] << 8);
    *red = static_cast<uint8_t>(((v >> 10) & 31) * 255 / 31);
    *green = static_cast<uint8_t>(((v >> 5) & 31) * 255 / 31);
    *blue = static_cast<uint8_t>((v & 31) * 255 / 31);
  } else {  // blue, green, red in memory
    *blue = pixel[0];
    *green = pixel[1];
    *red = pixel[2];
  }
}

RealizedBrush* RealizePattern(Pdev& pdev, BRUSHOBJ* pbo, SURFOBJ* pso, SURFOBJ* mask, XLATEOBJ* pxlo) {
  const int bpp = BitsPerPixel(pso->iBitmapFormat);
  const LONG width = pso->sizlBitmap.cx, height = pso->sizlBitmap.cy;
  if (bpp == 0 || width <= 0 || height <= 0 || pso->pvScan0 == nullptr || width > 0x10000 || height > 0x10000)
    return nullptr;
  const int factor = pdev.settings.pub.dmPrintQuality == 600 ? 4 : 1;
  const bool direct = bpp >= 16;
  const int64_t destWidth = int64_t{width} * factor, destHeight = int64_t{height} * factor;
  const int64_t rowBytes = ((direct ? destWidth : (destWidth * bpp + 7) / 8) + 3) / 4 * 4;
  const bool tablePalette = !direct && pxlo != nullptr && (pxlo->flXlate & XO_TABLE) && pxlo->pulXlate != nullptr;
  const int32_t paletteCount = direct ? kStoredPaletteEntries : tablePalette ? static_cast<int32_t>(pxlo->cEntries) : 0;
  const int64_t bitsBytes = rowBytes * destHeight;
  const int64_t total = int64_t{sizeof(RealizedBrush)} + bitsBytes + int64_t{paletteCount} * 4;
  if (total > 0x7FFFFFFF) return nullptr;
  auto* rb = static_cast<RealizedBrush*>(BRUSHOBJ_pvAllocRbrush(pbo, static_cast<ULONG>(total)));
  if (rb == nullptr) return nullptr;
  *rb = RealizedBrush{static_cast<int32_t>(destWidth), static_cast<int32_t>(destHeight),
                      static_cast<int32_t>(pso->iBitmapFormat), pso->fjBitmap, ++pdev.brush.patternCounter,
                      paletteCount, static_cast<int32_t>(sizeof(RealizedBrush) + bitsBytes),
                      static_cast<int32_t>(rowBytes)};
  uint8_t* bits = rb->Bits();
  std::memset(bits, 0, static_cast<size_t>(bitsBytes));
  if (tablePalette) std::memcpy(bits + bitsBytes, pxlo->pulXlate, size_t{pxlo->cEntries} * 4);

  const int64_t sourceRow = (int64_t{width} * bpp + 7) / 8;
  const bool masked = mask != nullptr && mask->pvScan0 != nullptr;
  const int64_t maskRow = masked ? (int64_t{mask->sizlBitmap.cx} * BitsPerPixel(mask->iBitmapFormat) + 7) / 8 : 0;
  std::vector<uint8_t> row(static_cast<size_t>(sourceRow));
  BrushPalette palette(Monochrome(pdev));
  for (LONG y = 0; y < height; ++y) {
    const auto* src = static_cast<const uint8_t*>(pso->pvScan0) + int64_t{y} * pso->lDelta;
    std::memcpy(row.data(), src, row.size());
    if (masked && y < mask->sizlBitmap.cy) {
      const auto* m = static_cast<const uint8_t*>(mask->pvScan0) + int64_t{y} * mask->lDelta;
      for (int64_t i = 0; i < sourceRow && i < maskRow; ++i) row[static_cast<size_t>(i)] &= m[i];
    }
    uint8_t* dst = bits + int64_t{y} * factor * rowBytes;
    if (direct) {
      const int bytes = bpp / 8;
      for (LONG x = 0; x < width; ++x) {
        uint8_t r, g, b;
        ReadColour(row.data() + int64_t{x} * bytes, bpp, &r, &g, &b);
        std::memset(dst + int64_t{x} * factor, palette.IndexOf(r, g, b), static_cast<size_t>(factor));
      }
    } else if (factor == 1) {
      std::memcpy(dst, row.data(), row.size());
    } else {
      // Each pixel four times: a bit becomes four bits, a nibble four nibbles, a byte four bytes.
      for (LONG x = 0; x < width; ++x) {
        unsigned v;
        if (bpp == 1) v = (row[x / 8] >> (7 - x % 8)) & 1;
        else if (bpp == 4) v = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        else v = row[x];
        for (int k = 0; k < 4; ++k) {
          const int64_t d = int64_t{x} * 4 + k;
          if (bpp == 8) dst[d] = static_cast<uint8_t>(v);
          else if (bpp == 4) dst[d / 2] |= static_cast<uint8_t>(v << (d % 2 ? 0 : 4));
          else dst[d / 8] |= static_cast<uint8_t>(v << (7 - d % 8));
        }
      }
    }
    for (int k = 1; k < factor; ++k) std::memcpy(dst + k * rowBytes, dst, static_cast<size_t>(rowBytes));
  }
  if (direct) {
    auto* stored = reinterpret_cast<uint32_t*>(bits + bitsBytes);
    for (int i = 0; i < kStoredPaletteEntries; ++i) stored[i] = palette.Entry(i);
  }
  return rb;
}

// 16x16 pixels of one colour, 24 bits per pixel (blue, green, red).
struct GreyRecord {
  RealizedBrush header;
  uint8_t bits[kGreyPatternSize * kGreyPatternSize * 3];
};

}  // namespace

void ResetBrushState(Pdev& pdev) {
  BrushState& b = pdev.brush;
  b.patternCounter = 0;
  std::memset(b.greyPatterns, 0, sizeof b.greyPatterns);
  b.currentPattern = 0;
  b.currentKind = 0xFF;
  b.anchorX = b.anchorY = 0;
}

uint8_t GreyLevel(ULONG colour) {
  const unsigned r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  return static_cast<uint8_t>((74 * r + 155 * g + 27 * b) / 256);
}

BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask, XLATEOBJ* pxlo,
                     ULONG iHatch) {
  Pdev* pdev = ValidPdev(psoTarget);
  if (pdev == nullptr || pbo == nullptr) return FALSE;
  if (iHatch < kHatchStyles) return RealizeHatch(pbo, psoPattern, iHatch) != nullptr;
  if (psoPattern == nullptr) return FALSE;
  return RealizePattern(*pdev, pbo, psoPattern, psoMask, pxlo) != nullptr;
}

int SelectSolidColour(Pdev& pdev, ULONG colour, BrushUse use) {
  BrushState& b = pdev.brush;
  const bool pcl = pdev.caches.CurrentLanguage == kLanguagePcl;
  const ULONG rgb = colour & 0xFFFFFF;
  if (rgb == 0 || rgb == 0xFFFFFF) {
    const bool black = rgb == 0;
    if (pcl) {
      WriteCommand(pdev, black ? kSolidBlack : kSolidWhite);
    } else if (use == kFill) {
      SetFillType(pdev, 10, black ? 100 : 0);
    } else {
      // A pen left screened by an earlier grey line would draw this one grey.
      if (black) SetScreenedVectors(pdev, 0, 0);
      else SetScreenedVectors(pdev, 1, 0);
    }
    b.currentKind = black ? kPatternBlack : kPatternWhite;
    return 0;
  }
  const uint8_t grey = GreyLevel(rgb);
  if (b.greyPatterns[grey] == 0) {
    GreyRecord record{};
    record.header = RealizedBrush{kGreyPatternSize, kGreyPatternSize, BMF_24BPP, 0, ++b.patternCounter, 0,
                                  static_cast<int32_t>(sizeof record), kGreyPatternSize * 3};
    for (int i = 0; i < kGreyPatternSize * kGreyPatternSize; ++i) {
      record.bits[i * 3] = static_cast<uint8_t>(rgb >> 16);
      record.bits[i * 3 + 1] = static_cast<uint8_t>(rgb >> 8);
      record.bits[i * 3 + 2] = static_cast<uint8_t>(rgb);
    }
    b.greyPatterns[grey] = record.header.patternId;
    DownloadPattern(pdev, record.header);
    WriteCommand(pdev, kEndRaster);
  }
  b.currentPattern = b.greyPatterns[grey];
  b.currentKind = kPatternUser;
  return 1;
}

int SelectBrush(Pdev& pdev, BRUSHOBJ* pbo, const POINTL* origin, BrushUse use) {
  BrushState& b = pdev.brush;
  const bool pattern = pbo->iSolidColor == 0xFFFFFFFF;
  const bool pcl = pdev.caches.CurrentLanguage == kLanguagePcl;
  if (pattern) {
    const auto* rb = static_cast<const RealizedBrush*>(BRUSHOBJ_pvGetRbrush(pbo));
    if (rb == nullptr) return 0;
    b.currentPattern = DownloadPattern(pdev, *rb);
    b.currentKind = kPatternUser;
    WriteCommand(pdev, kEndRaster);
    WriteCommand(pdev, kPatternId, b.currentPattern);
    WriteCommand(pdev, kUserPattern);
    if (pcl) return 1;
  } else if (pcl) {
    if (SelectSolidColour(pdev, pbo->iSolidColor, use)) {
      WriteCommand(pdev, kPatternId, b.currentPattern);
      WriteCommand(pdev, kUserPattern);
    }
    return 1;
  }
  EnterHpgl2(pdev, 0);
  // Either coordinate moving moves the pattern's anchor.
  if (origin != nullptr && (origin->x != b.anchorX || origin->y != b.anchorY)) {
    b.anchorX = origin->x;
    b.anchorY = origin->y;
    WriteCommand(pdev, kAnchorCorner, origin->x, pdev.doc.page.height - origin->y);
  }
  if (!pattern && !SelectSolidColour(pdev, pbo->iSolidColor, use)) return 1;
  if (use == kFill) SetFillType(pdev, 22, b.currentPattern);
  else SetScreenedVectors(pdev, 22, b.currentPattern);
  return 1;
}

}  // namespace render
