// PCL user-defined patterns: a realized brush dithered to one bit per pixel, shrunk with the page
// when it is scaled down, and downloaded under its identifier.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "graphics/graphics.h"
#include "win/spooler.h"

namespace render {
namespace {

constexpr char kDefinePattern[] = "\x1b*c%dg%dW";  // pattern identifier, user-defined pattern bytes follow
constexpr uint8_t kPatternFormat = 20;              // resolution-specified pattern
constexpr uint32_t kPatternHeaderBytes = 12;
constexpr std::u16string_view kBlankPatternDocument = u"pGremlin2 - TransparentBlt Test, Src == Dest Rect";

uint8_t PaletteGrey(uint32_t entry) {
  const unsigned r = entry & 0xFF, g = (entry >> 8) & 0xFF, b = (entry >> 16) & 0xFF;
  return static_cast<uint8_t>((6 * g + 3 * r + b) / 10);
}

// The job's document name, from the spooler.
bool BlankPatternsForDocument(const Pdev& pdev) {
  DWORD needed = 0;
  GetJobW(pdev.printer, pdev.jobId, 1, nullptr, 0, &needed);
  if (needed < sizeof(JOB_INFO_1W)) return false;
  std::vector<BYTE> buffer(needed);
  if (!GetJobW(pdev.printer, pdev.jobId, 1, buffer.data(), needed, &needed)) return false;
  const auto* job = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
  if (job->pDocument == nullptr) return false;
  std::u16string_view name(job->pDocument);
  return name.substr(0, kBlankPatternDocument.size()) == kBlankPatternDocument;
}

void PutBigEndian16(uint8_t* out, int v) {
  out[0] = static_cast<uint8_t>(v >> 8);
  out[1] = static_cast<uint8_t>(v);
}

}  // namespace

// A pixel is black when its grey level is below the entry for (row mod 16, column mod 16).
const uint8_t kDitherThreshold[16][16] = {
    {6, 82, 246, 255, 254, 241, 70, 5, 7, 85, 247, 255, 255, 242, 73, 5},
    {55, 122, 170, 232, 224, 156, 115, 49, 57, 124, 173, 235, 227, 160, 116, 47},
    {210, 136, 106, 41, 27, 95, 128, 201, 213, 138, 108, 45, 31, 97, 125, 199},
    {251, 187, 18, 3, 1, 13, 178, 249, 252, 190, 19, 3, 1, 12, 176, 249},
    {253, 237, 65, 4, 10, 79, 245, 255, 254, 239, 67, 4, 9, 76, 244, 255},
    {221, 148, 110, 53, 62, 120, 167, 230, 223, 153, 113, 51, 59, 118, 164, 229},
    {22, 88, 133, 207, 218, 145, 103, 38, 24, 91, 130, 205, 216, 142, 101, 34},
    {2, 16, 184, 251, 253, 196, 21, 2, 1, 15, 182, 250, 252, 193, 20, 2},
    {7, 85, 247, 255, 255, 242, 73, 5, 6, 82, 246, 255, 254, 241, 70, 5},
    {57, 124, 173, 235, 227, 160, 116, 47, 55, 122, 170, 232, 224, 156, 115, 49},
    {213, 138, 108, 45, 31, 97, 125, 199, 210, 136, 106, 41, 27, 95, 128, 201},
    {252, 190, 19, 3, 1, 12, 176, 249, 251, 187, 18, 3, 1, 13, 178, 249},
    {254, 239, 67, 4, 9, 76, 244, 255, 253, 237, 65, 4, 10, 79, 245, 255},
    {223, 153, 113, 51, 59, 118, 164, 229, 221, 148, 110, 53, 62, 120, 167, 230},
    {24, 91, 130, 205, 216, 142, 101, 34, 22, 88, 133, 207, 218, 145, 103, 38},
    {1, 15, 182, 250, 252, 193, 20, 2, 2, 16, 184, 251, 253, 196, 21, 2},
};

bool DitherPattern(Pdev& pdev, const RealizedBrush& brush, uint8_t* out) {
  const int32_t width = brush.width, height = brush.height;
  const size_t outRow = (static_cast<size_t>(width) + 7) / 8;
  std::memset(out, 0, outRow * static_cast<size_t>(height));
  if (BlankPatternsForDocument(pdev)) return true;
  uint8_t greys[256];
  const int32_t entries = std::clamp(brush.paletteCount, 0, 256);
  for (int32_t i = 0; i < entries; ++i) greys[i] = PaletteGrey(brush.Palette()[i]);
  for (int32_t i = entries; i < 256; ++i) greys[i] = 255;  // an index past the palette: white
  const bool indexed = entries > 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = brush.Bits() + static_cast<size_t>(y) * static_cast<size_t>(brush.rowBytes);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t grey;
      switch (brush.sourceFormat) {
        case BMF_1BPP: {
          const unsigned bit = (row[x / 8] >> (7 - x % 8)) & 1;
          grey = indexed ? greys[bit] : (bit ? 0 : 255);
          break;
        }
        case BMF_4BPP: grey = greys[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15]; break;
        case BMF_24BPP:
          if (!indexed) {
            const uint8_t* p = row + static_cast<size_t>(x) * 3;
            grey = GreyLevel(p[2] | p[1] << 8 | p[0] << 16);
            break;
          }
          [[fallthrough]];
        default: grey = greys[row[x]]; break;
      }
      if (grey < kDitherThreshold[y % 16][x % 16]) out[static_cast<size_t>(y) * outRow + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return true;
}

void ScaleRowBits(const uint8_t* source, uint8_t* destination, int sourceWidth, int destinationWidth) {
  std::memset(destination, 0, (static_cast<size_t>(destinationWidth) + 7) / 8);
  if (sourceWidth <= 0 || destinationWidth <= 0) return;
  auto bit = [source](int i) { return (source[i / 8] >> (7 - i % 8)) & 1; };
  int s = 0;
  int64_t error = 0;
  for (int d = 0; d < destinationWidth; ++d) {
    int from = s;
    if (destinationWidth < sourceWidth && d == destinationWidth - 1) from = sourceWidth - 1;
    if (bit(from)) destination[d / 8] |= static_cast<uint8_t>(0x80 >> (d % 8));
    error += sourceWidth;
    while (error >= destinationWidth && s < sourceWidth - 1) {
      error -= destinationWidth;
      ++s;
    }
  }
}

int DownloadPattern(Pdev& pdev, const RealizedBrush& brush) {
  const int32_t width = brush.width, height = brush.height;
  if (width <= 0 || height <= 0) return brush.patternId;
  int32_t outWidth = width, outHeight = height;
  const bool scaled = pdev.doc.scaleX < 100 || pdev.doc.scaleY < 100;
  if (scaled) {
    outWidth = std::max(1, static_cast<int32_t>(static_cast<double>(width) * pdev.doc.scaleX / 100));
    outHeight = std::max(1, static_cast<int32_t>(static_cast<double>(height) * pdev.doc.scaleY / 100));
  }
  const size_t row = (static_cast<size_t>(width) + 7) / 8;
  const size_t outRow = (static_cast<size_t>(outWidth) + 7) / 8;
  std::vector<uint8_t> bits(row * static_cast<size_t>(height));
  DitherPattern(pdev, brush, bits.data());
  std::vector<uint8_t> data(kPatternHeaderBytes + outRow * static_cast<size_t>(outHeight));
  const int resolution = pdev.settings.pub.dmPrintQuality > 0 ? pdev.settings.pub.dmPrintQuality : 600;
  data[0] = kPatternFormat;
  data[2] = 1;  // one bit per pixel
  PutBigEndian16(&data[4], outHeight);
  PutBigEndian16(&data[6], outWidth);
  PutBigEndian16(&data[8], resolution);
  PutBigEndian16(&data[10], resolution);
  uint8_t* rows = data.data() + kPatternHeaderBytes;
  if (!scaled) {
    std::memcpy(rows, bits.data(), bits.size());
  } else {
    for (int32_t i = 0; i < outHeight; ++i) {
      const int64_t from = i == outHeight - 1 ? height - 1 : int64_t{i} * height / outHeight;
      ScaleRowBits(bits.data() + static_cast<size_t>(from) * row, rows + static_cast<size_t>(i) * outRow, width, outWidth);
    }
  }
  EnterPcl(pdev, 0);
  WriteCommand(pdev, kDefinePattern, brush.patternId, static_cast<int>(data.size()));
  WriteBytes(pdev, data.data(), static_cast<uint32_t>(data.size()));
  return brush.patternId;
}

}  // namespace render
