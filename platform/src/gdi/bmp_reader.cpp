// Reads BMP files: every field goes through one bounds-checked little-endian reader, the headers
// are validated whole before any pixel is read, and RLE commands are checked against the image
// before they write.
#include "bmp_reader.h"

#include <bit>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "win/error.h"
#include "win/wingdi.h"

namespace platform::gdi {
namespace {

constexpr size_t kFileHeaderSize = 14;  // BITMAPFILEHEADER
constexpr uint16_t kBitmapType = 0x4D42;  // "BM"
constexpr uint32_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER
constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kV2HeaderSize = 52;    // BITMAPINFOHEADER + RGB masks
constexpr uint32_t kV3HeaderSize = 56;    // + alpha mask
constexpr uint32_t kV4HeaderSize = 108;   // BITMAPV4HEADER
constexpr uint32_t kV5HeaderSize = 124;   // BITMAPV5HEADER
constexpr uint32_t kOs2HeaderSize = 64;   // OS/2 2.x
constexpr uint32_t kOs2ShortHeaderSize = 16;
constexpr DWORD kBiJpeg = 4, kBiPng = 5, kBiAlphaBitfields = 6;
constexpr int64_t kMaxSide = 1 << 16;  // as for any bitmap the platform makes

// Little-endian fields at absolute offsets of untrusted bytes. A read outside the bytes yields
// zero and leaves the reader failed for good, so a missed check can never read past the buffer.
class LittleEndianReader {
 public:
  explicit LittleEndianReader(std::span<const std::byte> bytes) : bytes_(bytes) {}
  size_t size() const { return bytes_.size(); }
  bool ok() const { return ok_; }
  // True when n bytes from `at` lie inside.
  bool Has(uint64_t at, uint64_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
  uint8_t U8(uint64_t at) { return static_cast<uint8_t>(Read(at, 1)); }
  uint16_t U16(uint64_t at) { return static_cast<uint16_t>(Read(at, 2)); }
  uint32_t U32(uint64_t at) { return static_cast<uint32_t>(Read(at, 4)); }
  int32_t I32(uint64_t at) { return static_cast<int32_t>(U32(at)); }
  // The n bytes from `at`; empty (and failed) when they are not all inside.
  std::span<const std::byte> Bytes(uint64_t at, uint64_t n) {
    if (!Has(at, n)) {
      ok_ = false;
      return {};
    }
    return bytes_.subspan(static_cast<size_t>(at), static_cast<size_t>(n));
  }

 private:
  uint64_t Read(uint64_t at, unsigned n) {
    if (!Has(at, n)) {
      ok_ = false;
      return 0;
    }
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v |= uint64_t(std::to_integer<uint8_t>(bytes_[static_cast<size_t>(at) + i])) << (8 * i);
    return v;
  }
  std::span<const std::byte> bytes_;
  bool ok_ = true;
};

BmpReadResult Refuse(DWORD error, const char* format, ...) __attribute__((format(printf, 2, 3)));
BmpReadResult Refuse(DWORD error, const char* format, ...) {
  BmpReadResult r;
  r.error = error;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  r.message = text;
  return r;
}

// The header fields the decoder needs, whichever header the file has.
struct Header {
  uint32_t biSize = 0;
  int64_t biWidth = 0, biHeight = 0;
  uint16_t biPlanes = 0, biBitCount = 0;
  DWORD biCompression = BI_RGB;
  uint32_t biSizeImage = 0, biClrUsed = 0;
};

bool ValidMask(DWORD mask, int bitCount) {
  if (mask == 0) return false;
  if (bitCount == 16 && mask > 0xFFFF) return false;
  const DWORD shifted = mask >> std::countr_zero(mask);
  return (shifted & (shifted + 1)) == 0;  // one contiguous run of bits
}

void SetPixel4(uint8_t* row, int64_t x, uint8_t index) {
  uint8_t& b = row[x / 2];
  b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | index) : static_cast<uint8_t>((b & 0x0F) | (index << 4));
}

// Decodes RLE8 or RLE4 commands from `data` into the image's zeroed rows (bottom-up in the file).
BmpReadResult DecodeRle(LittleEndianReader& in, uint64_t from, uint64_t end, BmpImage& image) {
  const bool four = image.bitCount == 4;
  const int64_t width = image.width, height = image.height;
  int64_t x = 0, y = 0;  // y counts from the bottom row
  auto rowOf = [&](int64_t fromBottom) { return image.pixels.data() + size_t(height - 1 - fromBottom) * image.rowBytes; };
  auto put = [&](int64_t at, uint8_t index) {
    uint8_t* row = rowOf(y);
    if (four) {
      SetPixel4(row, at, index);
    } else {
      row[at] = index;
    }
  };
  uint64_t at = from;
  while (true) {
    if (end - at < 2) return Refuse(ERROR_INVALID_DATA, "RLE data ends at offset %" PRIu64 " without an end-of-bitmap mark", at);
    const uint8_t count = in.U8(at), value = in.U8(at + 1);
    at += 2;
    if (count > 0) {
      if (y >= height) return Refuse(ERROR_INVALID_DATA, "RLE run above the image's %" PRId64 " rows", height);
      if (x + count > width)
        return Refuse(ERROR_INVALID_DATA, "RLE run of %u pixels at x=%" PRId64 " passes the row's %" PRId64 " pixels", count, x, width);
      for (unsigned k = 0; k < count; ++k) {
        const uint8_t index = four ? static_cast<uint8_t>((k & 1) ? value & 0x0F : value >> 4) : value;
        put(x + k, index);
      }
      x += count;
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        if (++y > height) return Refuse(ERROR_INVALID_DATA, "RLE end of line above the image's %" PRId64 " rows", height);
        break;
      case 1:  // end of bitmap
        return {};
      case 2: {  // delta
        if (end - at < 2) return Refuse(ERROR_INVALID_DATA, "RLE delta cut at offset %" PRIu64, at);
        const uint8_t dx = in.U8(at), dy = in.U8(at + 1);
        at += 2;
        x += dx;
        y += dy;
        if (x > width || y > height)
          return Refuse(ERROR_INVALID_DATA, "RLE delta to (%" PRId64 ", %" PRId64 ") leaves the %" PRId64 " x %" PRId64 " image", x, y,
                        width, height);
        break;
      }
      default: {  // absolute: `value` pixels as they are, padded to a 16-bit boundary
        const uint64_t bytes = four ? (value + 1u) / 2 : value;
        const uint64_t padded = bytes + (bytes & 1);
        if (end - at < padded) return Refuse(ERROR_INVALID_DATA, "RLE literal of %u pixels cut at offset %" PRIu64, value, at);
        if (y >= height) return Refuse(ERROR_INVALID_DATA, "RLE literal above the image's %" PRId64 " rows", height);
        if (x + value > width)
          return Refuse(ERROR_INVALID_DATA, "RLE literal of %u pixels at x=%" PRId64 " passes the row's %" PRId64 " pixels", value, x,
                        width);
        for (unsigned k = 0; k < value; ++k) {
          const uint8_t b = in.U8(at + (four ? k / 2 : k));
          put(x + k, four ? static_cast<uint8_t>((k & 1) ? b & 0x0F : b >> 4) : b);
        }
        x += value;
        at += padded;
        break;
      }
    }
  }
}

}  // namespace

BmpReadResult ReadBmp(std::span<const std::byte> file, const BmpLimits& limits) {
  LittleEndianReader in(file);
  if (!in.Has(0, kFileHeaderSize + 4))
    return Refuse(ERROR_INVALID_DATA, "%zu bytes are too short for a BMP file's headers", in.size());
  const uint16_t bfType = in.U16(0);
  const uint32_t bfSize = in.U32(2);
  const uint32_t bfOffBits = in.U32(10);
  if (bfType != kBitmapType) return Refuse(ERROR_INVALID_DATA, "not a BMP file (type 0x%04X)", bfType);
  // Writers often leave bfSize zero; a size larger than the file means the file was cut.
  if (bfSize > in.size()) return Refuse(ERROR_INVALID_DATA, "file header claims %u bytes, the file holds %zu", bfSize, in.size());

  Header h;
  h.biSize = in.U32(kFileHeaderSize);
  if (h.biSize == kOs2HeaderSize || h.biSize == kOs2ShortHeaderSize)
    return Refuse(ERROR_NOT_SUPPORTED, "OS/2 bitmap headers (%u bytes) are not read", h.biSize);
  if (h.biSize != kCoreHeaderSize && h.biSize != kInfoHeaderSize && h.biSize != kV2HeaderSize && h.biSize != kV3HeaderSize &&
      h.biSize != kV4HeaderSize && h.biSize != kV5HeaderSize)
    return Refuse(ERROR_INVALID_DATA, "unknown bitmap header size %u", h.biSize);
  const uint64_t header = kFileHeaderSize;
  if (!in.Has(header, h.biSize))
    return Refuse(ERROR_INVALID_DATA, "bitmap header of %u bytes passes the file's %zu bytes", h.biSize, in.size());
  const bool core = h.biSize == kCoreHeaderSize;
  if (core) {
    h.biWidth = in.U16(header + 4);   // bcWidth
    h.biHeight = in.U16(header + 6);  // bcHeight
    h.biPlanes = in.U16(header + 8);
    h.biBitCount = in.U16(header + 10);
  } else {
    h.biWidth = in.I32(header + 4);
    h.biHeight = in.I32(header + 8);
    h.biPlanes = in.U16(header + 12);
    h.biBitCount = in.U16(header + 14);
    h.biCompression = in.U32(header + 16);
    h.biSizeImage = in.U32(header + 20);
    h.biClrUsed = in.U32(header + 32);
  }

  if (h.biPlanes != 1) return Refuse(ERROR_INVALID_DATA, "%u colour planes (must be 1)", h.biPlanes);
  const bool topDown = h.biHeight < 0;
  const int64_t width = h.biWidth, height = topDown ? -h.biHeight : h.biHeight;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
    return Refuse(ERROR_INVALID_DATA, "image of %" PRId64 " x %" PRId64 " pixels (1 to %" PRId64 " a side)", h.biWidth, h.biHeight,
                  kMaxSide);

  const int bitCount = h.biBitCount;
  const DWORD compression = h.biCompression;
  if (compression == kBiJpeg || compression == kBiPng || compression == kBiAlphaBitfields)
    return Refuse(ERROR_NOT_SUPPORTED, "compression %u (embedded JPEG, PNG or alpha masks) is not read", compression);
  bool depthFits;
  switch (compression) {
    case BI_RGB:
      depthFits = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || (!core && (bitCount == 16 || bitCount == 32));
      break;
    case BI_RLE8: depthFits = bitCount == 8; break;
    case BI_RLE4: depthFits = bitCount == 4; break;
    case BI_BITFIELDS: depthFits = bitCount == 16 || bitCount == 32; break;
    default: return Refuse(ERROR_INVALID_DATA, "unknown compression %u", compression);
  }
  if (!depthFits) return Refuse(ERROR_INVALID_DATA, "%d bits per pixel with compression %u", bitCount, compression);
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  if (rle && topDown) return Refuse(ERROR_INVALID_DATA, "a top-down image cannot be RLE-compressed");

  BmpImage image;
  image.width = static_cast<LONG>(width);
  image.height = static_cast<LONG>(height);
  image.topDown = topDown;
  image.bitCount = bitCount;

  // A plain info header is followed by the three masks; the longer headers hold them.
  uint64_t tableAt = header + h.biSize;
  if (compression == BI_BITFIELDS) {
    const uint64_t masksAt = header + kInfoHeaderSize;
    if (h.biSize == kInfoHeaderSize) {
      if (!in.Has(masksAt, 12)) return Refuse(ERROR_INVALID_DATA, "bit-field masks pass the end of the file");
      tableAt += 12;
    }
    image.redMask = in.U32(masksAt);
    image.greenMask = in.U32(masksAt + 4);
    image.blueMask = in.U32(masksAt + 8);
    if (!ValidMask(image.redMask, bitCount) || !ValidMask(image.greenMask, bitCount) || !ValidMask(image.blueMask, bitCount) ||
        (image.redMask & image.greenMask) != 0 || (image.redMask & image.blueMask) != 0 || (image.greenMask & image.blueMask) != 0)
      return Refuse(ERROR_INVALID_DATA, "bit-field masks 0x%X 0x%X 0x%X are not three separate runs of bits within %d bits",
                    image.redMask, image.greenMask, image.blueMask, bitCount);
  }

  uint64_t headersEnd = tableAt;
  if (bitCount <= 8) {
    const uint32_t full = 1u << bitCount;
    if (h.biClrUsed > full)
      return Refuse(ERROR_INVALID_DATA, "colour table of %u entries for %d bits per pixel", h.biClrUsed, bitCount);
    const uint32_t entries = h.biClrUsed != 0 ? h.biClrUsed : full;
    const uint64_t entrySize = core ? 3 : 4;  // RGBTRIPLE or RGBQUAD: blue, green, red
    if (!in.Has(tableAt, entries * entrySize))
      return Refuse(ERROR_INVALID_DATA, "colour table of %u entries passes the file's %zu bytes", entries, in.size());
    image.palette.assign(full, 0);
    for (uint32_t i = 0; i < entries; ++i) {
      const uint64_t e = tableAt + i * entrySize;
      image.palette[i] = RGB(in.U8(e + 2), in.U8(e + 1), in.U8(e));
    }
    headersEnd = tableAt + entries * entrySize;
  }
  if (bfOffBits < headersEnd || bfOffBits > in.size())
    return Refuse(ERROR_INVALID_DATA, "pixel data offset %u is outside %" PRIu64 " to %zu", bfOffBits, headersEnd, in.size());
  if (!in.Has(bfOffBits, h.biSizeImage))
    return Refuse(ERROR_INVALID_DATA, "image size %u at offset %u passes the file's %zu bytes", h.biSizeImage, bfOffBits, in.size());

  image.rowBytes = static_cast<size_t>((uint64_t(width) * uint64_t(bitCount) + 31) / 32 * 4);
  const uint64_t total = uint64_t(image.rowBytes) * uint64_t(height);
  if (total > limits.maxPixelBytes)
    return Refuse(ERROR_NOT_ENOUGH_MEMORY, "image of %" PRId64 " x %" PRId64 " at %d bits needs %" PRIu64 " bytes, over the limit of %" PRIu64,
                  width, height, bitCount, total, limits.maxPixelBytes);

  if (rle) {
    image.pixels.assign(static_cast<size_t>(total), 0);
    const uint64_t end = h.biSizeImage != 0 ? uint64_t(bfOffBits) + h.biSizeImage : in.size();
    BmpReadResult decoded = DecodeRle(in, bfOffBits, end, image);
    if (!decoded.ok()) return decoded;
  } else {
    if (!in.Has(bfOffBits, total))
      return Refuse(ERROR_INVALID_DATA, "pixel data of %" PRIu64 " bytes at offset %u passes the file's %zu bytes", total, bfOffBits,
                    in.size());
    image.pixels.resize(static_cast<size_t>(total));
    for (int64_t row = 0; row < height; ++row) {
      const int64_t to = topDown ? row : height - 1 - row;
      std::span<const std::byte> from = in.Bytes(bfOffBits + uint64_t(row) * image.rowBytes, image.rowBytes);
      if (from.empty()) break;
      std::memcpy(image.pixels.data() + size_t(to) * image.rowBytes, from.data(), image.rowBytes);
    }
  }
  if (!in.ok()) return Refuse(ERROR_INVALID_DATA, "a field lies past the end of the file");
  BmpReadResult r;
  r.image = std::move(image);
  return r;
}

}  // namespace platform::gdi
