// Raster images: a source of 1 to 32 bits per pixel resampled to its place on the page, dithered
// against the page-anchored threshold matrix and sent as PCL raster pictures, each row with the
// cheapest of compression methods 0, 2 and 3. Clip rectangles and bands are pictures of their own.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "devmode/tracked_alloc.h"
#include "graphics/graphics.h"
#include "win/memory.h"

namespace render {
namespace {

constexpr char kStartRaster[] = "\x1b*r%ds%dt1A";   // raster width and height in dots, start at the cursor
constexpr char kEndRaster[] = "\x1b*rC";            // end raster graphics
constexpr char kCompressionMethod[] = "\x1b*b%dM";  // compression method of the rows that follow
constexpr char kTransferRow[] = "\x1b*b%dW";        // one row of raster data; its bytes follow
constexpr char kRasterScale[] = "\x1b*t%fh%fV";     // destination raster width and height, decipoints
constexpr int kUnencoded = 0, kRunLength = 2, kDeltaRow = 3, kNoMethodYet = 4;
constexpr uint32_t kMinimumCompressionBuffer = 16384;
constexpr int64_t kBandBytes = 1048576;
constexpr int64_t kDefaultResampleLimit = int64_t{16} << 20;
constexpr LONG kLargestPictureSide = 65535;  // the printer's raster width and height limit
enum { kRunLengthOut = 0, kDeltaOut = 1, kSeedRow = 2 };

int FormatBits(ULONG format) {
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

int64_t PaddedRowBytes(LONG width, int bpp) { return (int64_t{width} * bpp + 31) / 32 * 4; }

uint8_t Weighted(ULONG colour) {
  const unsigned r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  return static_cast<uint8_t>((6 * g + 3 * r + b) / 10);
}

ULONG FromFiveFiveFive(unsigned v) {
  const ULONG r = ((v >> 10) & 31) * 255 / 31, g = ((v >> 5) & 31) * 255 / 31, b = (v & 31) * 255 / 31;
  return r | g << 8 | b << 16;
}

uint8_t GreyAt(const uint8_t* row, LONG x, int bpp, const GreyMap& m) {
  switch (bpp) {
    case 1: return m.table[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case 4: return m.table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
    case 8: return m.table[row[x]];
    case 16: {
      const unsigned v = static_cast<unsigned>(row[2 * x] | row[2 * x + 1] << 8);
      return Weighted(m.order == GreyMap::kFiveFiveFive ? FromFiveFiveFive(v) : XLATEOBJ_iXlate(m.xlate, v));
    }
    default: {
      const uint8_t* p = row + int64_t{x} * (bpp / 8);
      if (m.order == GreyMap::kRedFirst) return static_cast<uint8_t>((6 * p[1] + 3 * p[0] + p[2]) / 10);
      if (m.order == GreyMap::kBlueFirst) return static_cast<uint8_t>((6 * p[1] + 3 * p[2] + p[0]) / 10);
      return Weighted(XLATEOBJ_iXlate(m.xlate, static_cast<ULONG>(p[0] | p[1] << 8 | p[2] << 16)));
    }
  }
}

// Nearest neighbour by error accumulation: destination pixel d of `to` takes source pixel
// d * from / to; shrinking, the last destination pixel takes the last source pixel.
LONG Nearest(LONG d, LONG from, LONG to) {
  if (from > to && d == to - 1) return from - 1;
  return static_cast<LONG>(int64_t{d} * from / to);
}

int Mod16(int64_t v) { return static_cast<int>(((v % 16) + 16) % 16); }

bool Empty(const RECTL& r) { return r.left >= r.right || r.top >= r.bottom; }

RECTL Intersect(const RECTL& a, const RECTL& b) {
  return RECTL{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

bool Contains(const RECTL& outer, const RECTL& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

// Where MovePclCursor puts the cursor for a page position: the dither is anchored there.
POINTL PrinterPosition(const Pdev& pdev, LONG x, LONG y) {
  const DocumentState& doc = pdev.doc;
  if (pdev.settings.priv.PagesPerSheet <= 1)
    return POINTL{static_cast<LONG>(int64_t{x} * doc.scaleX / 100), static_cast<LONG>(int64_t{y} * doc.scaleY / 100)};
  return POINTL{static_cast<LONG>(static_cast<int64_t>(x * doc.nupFactor) + doc.pclOffsetX),
                static_cast<LONG>(static_cast<int64_t>(y * doc.nupFactor) + doc.pclOffsetY)};
}

bool EnsureCompressionBuffers(Pdev& pdev, uint32_t rowBytes) {
  const uint32_t needed =
      std::max({RunLengthWorstCase(rowBytes), DeltaRowWorstCase(rowBytes), kMinimumCompressionBuffer});
  bool ready = true;
  for (const RasterBuffer& b : pdev.raster) ready = ready && b.data != nullptr && b.size >= needed;
  if (ready) return true;
  for (RasterBuffer& b : pdev.raster) {
    if (b.data != nullptr) devmode::TrackedFree(b.data);
    b = {};
  }
  for (RasterBuffer& b : pdev.raster) {
    b.data = devmode::TrackedAlloc(needed);
    if (b.data == nullptr) {
      for (RasterBuffer& c : pdev.raster) {
        if (c.data != nullptr) devmode::TrackedFree(c.data);
        c = {};
      }
      return false;
    }
    b.size = needed;
  }
  return true;
}

}  // namespace

bool SendRasterRows(Pdev& pdev, const uint8_t* rows, uint32_t rowBytes, LONG height) {
  if (!EnsureCompressionBuffers(pdev, rowBytes)) return false;
  auto* runLength = static_cast<uint8_t*>(pdev.raster[kRunLengthOut].data);
  auto* delta = static_cast<uint8_t*>(pdev.raster[kDeltaOut].data);
  auto* seed = static_cast<uint8_t*>(pdev.raster[kSeedRow].data);
  std::memset(seed, 0, rowBytes);
  pdev.rasterMethod = kNoMethodYet;
  for (LONG y = 0; y < height; ++y) {
    const uint8_t* row = rows + int64_t{y} * rowBytes;
    const uint32_t p = CompressRunLength(row, rowBytes, runLength);
    int method = kUnencoded;
    uint32_t count = rowBytes;
    const uint8_t* data = row;
    if (height > 1) {
      const uint32_t d = CompressDeltaRow(row, seed, rowBytes, delta);
      if (d <= p && d < rowBytes) {
        method = kDeltaRow;
        count = d;
        data = delta;
      } else if (p < d && p < rowBytes) {
        method = kRunLength;
        count = p;
        data = runLength;
      }
    } else if (p > 0 && p < rowBytes) {
      method = kRunLength;
      count = p;
      data = runLength;
    }
    if (method != pdev.rasterMethod) {
      WriteCommand(pdev, kCompressionMethod, method);
      pdev.rasterMethod = method;
    }
    WriteCommand(pdev, kTransferRow, static_cast<int>(count));
    if (count > 0) WriteBytes(pdev, data, count);
    if (method != kDeltaRow) std::memcpy(seed, row, rowBytes);
  }
  return true;
}

namespace {

// One raster picture: the source area resampled to `part` (page pixels) at the page's scale.
bool WriteRasterRows(Pdev& pdev, const PixelView& source, POINTL origin, SIZEL size, const RECTL& part,
                     const GreyMap& greys, bool flipVertical, bool flipHorizontal) {
  int64_t w = part.right - part.left, h = part.bottom - part.top;
  EnterPcl(pdev, 1);
  const DocumentState& doc = pdev.doc;
  if (doc.nupFactor != 1.0) {
    w = static_cast<int64_t>(static_cast<double>(w) * doc.nupFactor + 0.5);
    h = static_cast<int64_t>(static_cast<double>(h) * doc.nupFactor + 0.5);
  } else if (doc.scaleX != 100 || doc.scaleY != 100) {
    w = static_cast<int64_t>(static_cast<double>(w) * doc.scaleX / 100 + 0.5);
    h = static_cast<int64_t>(static_cast<double>(h) * doc.scaleY / 100 + 0.5);
  }
  if (w <= 0 || h <= 0) return true;
  if (w > kLargestPictureSide || h > kLargestPictureSide) return false;
  const auto rowBytes = static_cast<uint32_t>(((w + 7) / 8 + 3) / 4 * 4);
  // Before the picture starts, so that a failure leaves no picture open.
  if (!EnsureCompressionBuffers(pdev, rowBytes)) return false;
  auto* rows = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(rowBytes) * static_cast<SIZE_T>(h)));
  if (rows == nullptr) return false;
  const POINTL at = PrinterPosition(pdev, part.left, part.top);
  ConvertRowsTo1Bit(source, origin, size, static_cast<LONG>(w), static_cast<LONG>(h), rows, rowBytes, greys, at.x,
                    at.y, flipVertical, flipHorizontal);
  MovePclCursor(pdev, part.left, part.top);
  WriteCommand(pdev, kStartRaster, static_cast<int>(w), static_cast<int>(h));
  SendRasterRows(pdev, rows, rowBytes, static_cast<LONG>(h));
  WriteCommand(pdev, kEndRaster);
  GlobalFree(rows);
  return true;
}

// The destination as the whole image resampled to it (flips included), in the source's format.
class Resampled {
 public:
  Resampled(const PixelView& source, POINTL origin, SIZEL size, const RECTL& destination, bool flipVertical,
            bool flipHorizontal)
      : source_(source), origin_(origin), size_(size), destination_(destination), flipV_(flipVertical),
        flipH_(flipHorizontal) {}

  int bpp() const { return source_.bpp; }

  // The pixels of `area` (inside the destination), rows of `rowBytes` bytes, padding zero.
  void Fill(const RECTL& area, uint8_t* out, int64_t rowBytes) const {
    const LONG width = destination_.right - destination_.left, height = destination_.bottom - destination_.top;
    std::vector<LONG> columns(static_cast<size_t>(area.right - area.left));
    for (LONG x = area.left; x < area.right; ++x) {
      LONG d = x - destination_.left;
      if (flipH_) d = width - 1 - d;
      columns[static_cast<size_t>(x - area.left)] = origin_.x + Nearest(d, size_.cx, width);
    }
    const int bpp = source_.bpp;
    for (LONG y = area.top; y < area.bottom; ++y) {
      LONG line = Nearest(y - destination_.top, size_.cy, height);
      if (flipV_) line = size_.cy - 1 - line;
      const uint8_t* from = source_.Row(origin_.y + line);
      uint8_t* to = out + int64_t{y - area.top} * rowBytes;
      std::memset(to, 0, static_cast<size_t>(rowBytes));
      for (size_t i = 0; i < columns.size(); ++i) {
        const LONG sx = columns[i];
        if (bpp == 1) {
          to[i >> 3] |= static_cast<uint8_t>(((from[sx >> 3] >> (7 - (sx & 7))) & 1) << (7 - (i & 7)));
        } else if (bpp == 4) {
          const unsigned v = (from[sx >> 1] >> ((sx & 1) ? 0 : 4)) & 15;
          to[i >> 1] |= static_cast<uint8_t>(v << ((i & 1) ? 0 : 4));
        } else {
          const size_t bytes = static_cast<size_t>(bpp / 8);
          std::memcpy(to + i * bytes, from + static_cast<size_t>(sx) * bytes, bytes);
        }
      }
    }
  }

 private:
  PixelView source_;
  POINTL origin_;
  SIZEL size_;
  RECTL destination_;
  bool flipV_, flipH_;
};

// A part of the destination through a resampled copy of it; a copy too large to make at once is
// made, and printed, a band of rows at a time.
bool PrintPart(Pdev& pdev, const Resampled& image, const RECTL& part, const GreyMap& greys) {
  const LONG width = part.right - part.left, height = part.bottom - part.top;
  const int64_t rowBytes = PaddedRowBytes(width, image.bpp());
  const int64_t limit = pdev.resampleLimit != 0 ? pdev.resampleLimit : kDefaultResampleLimit;
  LONG band = height;
  void* copy = rowBytes * height <= limit ? GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(rowBytes * height)) : nullptr;
  if (copy == nullptr) {
    band = static_cast<LONG>(std::min<int64_t>(height, std::min(limit, kBandBytes) / rowBytes + 1));
    copy = GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(rowBytes * band));
    if (copy == nullptr) return false;
  }
  bool ok = true;
  for (LONG top = part.top; ok && top < part.bottom; top += band) {
    const RECTL slice{part.left, top, part.right, std::min(top + band, part.bottom)};
    image.Fill(slice, static_cast<uint8_t*>(copy), rowBytes);
    const PixelView view{static_cast<const uint8_t*>(copy), rowBytes, image.bpp(), width, slice.bottom - slice.top};
    ok = WriteRasterRows(pdev, view, POINTL{0, 0}, SIZEL{view.width, view.height}, slice, greys, false, false);
  }
  GlobalFree(copy);
  return ok;
}

}  // namespace

bool ViewOfSurface(const SURFOBJ* pso, PixelView* view) {
  if (pso == nullptr || pso->pvScan0 == nullptr) return false;
  const int bpp = FormatBits(pso->iBitmapFormat);
  const LONG width = pso->sizlBitmap.cx, height = pso->sizlBitmap.cy;
  if (bpp == 0 || width <= 0 || height <= 0) return false;
  if (std::llabs(pso->lDelta) < (int64_t{width} * bpp + 7) / 8) return false;
  *view = PixelView{static_cast<const uint8_t*>(pso->pvScan0), pso->lDelta, bpp, width, height};
  return true;
}

GreyMap MakeGreyMap(const PixelView& view, XLATEOBJ* pxlo) {
  GreyMap m{};
  m.xlate = pxlo;
  m.order = GreyMap::kRedFirst;
  const bool trivial = pxlo == nullptr || (pxlo->flXlate & XO_TRIVIAL) != 0;
  if (view.bpp <= 8) {
    // Without a palette the values are grey levels, 0 black; one bit is black or white.
    const int values = 1 << view.bpp;
    for (int i = 0; i < values; ++i) m.table[i] = static_cast<uint8_t>(i * 255 / (values - 1));
    if (trivial) return m;
    const bool table = (pxlo->flXlate & XO_TABLE) != 0 && pxlo->pulXlate != nullptr;
    for (int i = 0; i < values; ++i) {
      if (!table) m.table[i] = Weighted(XLATEOBJ_iXlate(pxlo, static_cast<ULONG>(i)));
      else m.table[i] = static_cast<ULONG>(i) < pxlo->cEntries ? Weighted(pxlo->pulXlate[i]) : 255;  // past it: white
    }
    return m;
  }
  if (view.bpp == 16) {
    m.order = trivial ? GreyMap::kFiveFiveFive : GreyMap::kTranslated;
    return m;
  }
  if (trivial) return m;
  auto maps = [pxlo](ULONG from, ULONG to) { return XLATEOBJ_iXlate(pxlo, from) == to; };
  if (maps(0x0000FF, 0x0000FF) && maps(0x00FF00, 0x00FF00) && maps(0xFF0000, 0xFF0000) && maps(0x123456, 0x123456))
    m.order = GreyMap::kRedFirst;
  else if (maps(0x0000FF, 0xFF0000) && maps(0x00FF00, 0x00FF00) && maps(0xFF0000, 0x0000FF) && maps(0x123456, 0x563412))
    m.order = GreyMap::kBlueFirst;
  else
    m.order = GreyMap::kTranslated;
  return m;
}

void ConvertRowsTo1Bit(const PixelView& source, POINTL origin, SIZEL sourceSize, LONG width, LONG height,
                       uint8_t* rows, uint32_t rowBytes, const GreyMap& greys, LONG ditherX, LONG ditherY,
                       bool flipVertical, bool flipHorizontal) {
  std::memset(rows, 0, static_cast<size_t>(rowBytes) * static_cast<size_t>(std::max<LONG>(height, 0)));
  if (width <= 0 || height <= 0 || sourceSize.cx <= 0 || sourceSize.cy <= 0) return;
  std::vector<LONG> columns(static_cast<size_t>(width));
  for (LONG d = 0; d < width; ++d)
    columns[static_cast<size_t>(d)] = origin.x + Nearest(flipHorizontal ? width - 1 - d : d, sourceSize.cx, width);
  const int firstColumn = Mod16(ditherX);
  for (LONG y = 0; y < height; ++y) {
    LONG line = Nearest(y, sourceSize.cy, height);
    if (flipVertical) line = sourceSize.cy - 1 - line;
    const uint8_t* from = source.Row(origin.y + line);
    const uint8_t* threshold = kDitherThreshold[Mod16(int64_t{y} + ditherY)];
    uint8_t* out = rows + int64_t{y} * rowBytes;
    int column = firstColumn;
    for (LONG d = 0; d < width; ++d) {
      if (GreyAt(from, columns[static_cast<size_t>(d)], source.bpp, greys) < threshold[column])
        out[d >> 3] |= static_cast<uint8_t>(0x80 >> (d & 7));
      column = (column + 1) & 15;
    }
  }
}

BOOL WriteRasterImage(Pdev& pdev, CLIPOBJ* pco, SURFOBJ* source, SIZEL size, POINTL origin, RECTL destination,
                      XLATEOBJ* pxlo, bool, const RECTL* bounds) {
  PixelView view;
  if (!ViewOfSurface(source, &view)) return FALSE;
  // A mirrored destination gives a negative size; the area is the same.
  size.cx = static_cast<LONG>(std::min<int64_t>(std::llabs(size.cx), view.width));
  size.cy = static_cast<LONG>(std::min<int64_t>(std::llabs(size.cy), view.height));
  if (origin.x < 0) {
    size.cx += origin.x;
    origin.x = 0;
  }
  if (origin.y < 0) {
    size.cy += origin.y;
    origin.y = 0;
  }
  size.cx = static_cast<LONG>(std::min<int64_t>(size.cx, int64_t{view.width} - origin.x));
  size.cy = static_cast<LONG>(std::min<int64_t>(size.cy, int64_t{view.height} - origin.y));
  if (size.cx <= 0 || size.cy <= 0) return TRUE;
  const bool flipVertical = destination.bottom < destination.top;
  const bool flipHorizontal = destination.right < destination.left;
  if (flipVertical) std::swap(destination.top, destination.bottom);
  if (flipHorizontal) std::swap(destination.left, destination.right);
  if (Empty(destination)) return TRUE;
  const RECTL visible = bounds != nullptr ? Intersect(*bounds, destination) : destination;
  const GreyMap greys = MakeGreyMap(view, pxlo);
  const Resampled image(view, origin, size, destination, flipVertical, flipHorizontal);
  auto direct = [&] {
    return WriteRasterRows(pdev, view, origin, size, destination, greys, flipVertical, flipHorizontal) ? TRUE : FALSE;
  };
  // Whatever the clip, nothing is sent outside the bounds (the page).
  switch (pco == nullptr ? DC_TRIVIAL : pco->iDComplexity) {
    case DC_TRIVIAL:
      if (Contains(visible, destination)) return direct();
      return Empty(visible) || PrintPart(pdev, image, visible, greys) ? TRUE : FALSE;
    case DC_RECT: {
      const RECTL part = Intersect(pco->rclBounds, visible);
      if (Empty(part)) return TRUE;
      if (Contains(part, destination)) return direct();
      return PrintPart(pdev, image, part, greys) ? TRUE : FALSE;
    }
    case DC_COMPLEX: {
      const RECTL area = Intersect(pco->rclBounds, visible);
      if (Empty(area)) return TRUE;
      bool ok = true;
      ForEachClipRect(pco, [&](const RECTL& r) {
        const RECTL part = Intersect(r, area);
        if (ok && !Empty(part)) ok = PrintPart(pdev, image, part, greys);
      });
      return ok ? TRUE : FALSE;
    }
    default:
      return FALSE;
  }
}

int SetRasterScale(Pdev& pdev, LONG width, LONG height) {
  const int64_t resolution = pdev.settings.pub.dmPrintQuality > 0 ? pdev.settings.pub.dmPrintQuality : 600;
  int64_t w = int64_t{width} * 256 * 720 / resolution, h = int64_t{height} * 256 * 720 / resolution;
  const DocumentState& doc = pdev.doc;
  if (pdev.settings.priv.PagesPerSheet <= 1) {
    w = w * doc.scaleX / 100;
    h = h * doc.scaleY / 100;
  } else {
    w = static_cast<int64_t>(static_cast<double>(w) * doc.nupFactor);
    h = static_cast<int64_t>(static_cast<double>(h) * doc.nupFactor);
  }
  EnterPcl(pdev, 0);
  return WriteCommandFixed(pdev, kRasterScale, static_cast<int>(w), static_cast<int>(h));
}

}  // namespace render
