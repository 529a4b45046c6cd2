// LoadImageW of a BMP file: read whole with a size limit, decoded by the BMP reader, and made a
// GDI bitmap (a DIB section with LR_CREATEDIBSECTION).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bmp_reader.h"
#include "gdi_bitmaps.h"
#include "gdi_trace.h"
#include "platform/durable_file.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/wingdi.h"

namespace platform::gdi {
namespace {

// A full A4 page at 600 dpi and 24 bits is about 100 MB.
constexpr size_t kMaxBmpFileBytes = size_t{256} << 20;

ULONG FormatOfDepth(int bitCount) {
  switch (bitCount) {
    case 1: return BMF_1BPP;
    case 4: return BMF_4BPP;
    case 8: return BMF_8BPP;
    case 16: return BMF_16BPP;
    case 24: return BMF_24BPP;
    default: return BMF_32BPP;
  }
}

std::shared_ptr<BitmapObject> BitmapOf(const BmpImage& image, LONG width, LONG height, bool dibSection) {
  engine::PixelLayout layout;
  layout.format = FormatOfDepth(image.bitCount);
  layout.palette = image.palette;
  layout.redMask = image.redMask, layout.greenMask = image.greenMask, layout.blueMask = image.blueMask;
  // A DIB section keeps the file's row order in memory, as its bits are handed out.
  auto b = NewBitmap(width, height, image.bitCount, dibSection ? image.topDown : true, layout);
  if (b == nullptr) return nullptr;
  b->dibSection = dibSection;
  SURFOBJ& so = *b->surface;
  if (width == image.width && height == image.height) {
    const size_t n = std::min<size_t>(image.rowBytes, static_cast<size_t>(std::abs(so.lDelta)));
    for (LONG y = 0; y < height; ++y)
      std::memcpy(static_cast<BYTE*>(so.pvScan0) + ptrdiff_t(y) * so.lDelta, image.pixels.data() + size_t(y) * image.rowBytes, n);
    return b;
  }
  // Another size asked for: nearest pixel, through a view of the decoded rows.
  SURFOBJ source{};
  source.iBitmapFormat = layout.format;
  source.sizlBitmap = SIZEL{image.width, image.height};
  source.pvScan0 = const_cast<uint8_t*>(image.pixels.data());
  source.lDelta = static_cast<LONG>(image.rowBytes);
  for (LONG y = 0; y < height; ++y) {
    const LONG sy = static_cast<LONG>(int64_t(y) * image.height / height);
    for (LONG x = 0; x < width; ++x)
      engine::WritePixel(so, x, y, engine::ReadPixel(source, static_cast<LONG>(int64_t(x) * image.width / width), sy));
  }
  return b;
}

}  // namespace
}  // namespace platform::gdi

using namespace platform::gdi;

extern "C" HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int cx, int cy, UINT load) {
  if (type != IMAGE_BITMAP || (load & LR_LOADFROMFILE) == 0) {
    GdiTrace("LoadImageW: only bitmaps from files are loaded (type %u, flags 0x%X)", type, load);
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (name == nullptr || cx < 0 || cy < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string path = platform::Utf16ToUtf8(name);
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxBmpFileBytes)) return nullptr;
  BmpReadResult read = ReadBmp(std::as_bytes(std::span(bytes.data(), bytes.size())));
  if (!read.ok()) {
    GdiTrace("LoadImageW: %s (%s)", read.message.c_str(), path.c_str());
    SetLastError(read.error);
    return nullptr;
  }
  const BmpImage& image = read.image;
  const LONG width = cx != 0 ? cx : image.width, height = cy != 0 ? cy : image.height;
  const uint64_t stretched = (uint64_t(width) * uint64_t(image.bitCount) + 31) / 32 * 4 * uint64_t(height);
  if (stretched > BmpLimits{}.maxPixelBytes) {
    GdiTrace("LoadImageW: %d x %d pixels asked for is over the limit", cx, cy);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto bitmap = BitmapOf(image, width, height, (load & LR_CREATEDIBSECTION) != 0);
  if (bitmap == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return AddBitmap(std::move(bitmap));
}
