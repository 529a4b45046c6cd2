// BMP files as untrusted bytes: the file header, the core, info, V4 and V5 headers, colour
// tables, bit-field masks and the RLE4/RLE8 encodings, decoded into plain rows or refused with
// what is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "win/base.h"

namespace platform::gdi {

struct BmpImage {
  LONG width = 0, height = 0;  // both positive
  bool topDown = false;        // the file's row order
  int bitCount = 0;            // 1, 4, 8, 16, 24 or 32; RLE files decode to 4 or 8
  // Up to 8 bpp: 2^bitCount COLORREFs, black where the file's table is shorter.
  std::vector<COLORREF> palette;
  // 16 and 32 bpp: the file's masks, or all zero for 5-5-5 and 8-8-8.
  DWORD redMask = 0, greenMask = 0, blueMask = 0;
  size_t rowBytes = 0;          // each row padded to 4 bytes, as in a DIB
  std::vector<uint8_t> pixels;  // rows top first
};

struct BmpLimits {
  // Decoded rows larger than this are refused (an RLE file of a few bytes may claim any size).
  uint64_t maxPixelBytes = uint64_t{256} << 20;
};

struct BmpReadResult {
  // ERROR_SUCCESS; ERROR_INVALID_DATA for a malformed file or one whose sizes, offsets or runs
  // lie; ERROR_NOT_SUPPORTED for a valid kind this reader does not decode (embedded JPEG or PNG,
  // OS/2 headers); ERROR_NOT_ENOUGH_MEMORY for pixels over the limit.
  DWORD error = 0;
  std::string message;  // what is wrong, for a trace line
  BmpImage image;
  bool ok() const { return error == 0; }
};

PLATFORM_API BmpReadResult ReadBmp(std::span<const std::byte> file, const BmpLimits& limits = {});

}  // namespace platform::gdi
