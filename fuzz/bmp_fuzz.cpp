// The BMP reader over arbitrary bytes: it must never read past its input, and whatever it
// accepts must hold exactly the rows and colour table its header promises.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "gdi/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::gdi::BmpLimits limits;
  limits.maxPixelBytes = uint64_t{16} << 20;  // keeps each run small; the limit itself is tested
  const platform::gdi::BmpReadResult r =
      platform::gdi::ReadBmp(std::as_bytes(std::span(data, size)), limits);
  if (!r.ok()) {
    if (r.message.empty() || !r.image.pixels.empty()) std::abort();
    return 0;
  }
  const platform::gdi::BmpImage& image = r.image;
  if (image.width <= 0 || image.height <= 0) std::abort();
  const uint64_t rowBytes = (uint64_t(image.width) * uint64_t(image.bitCount) + 31) / 32 * 4;
  if (image.rowBytes != rowBytes || image.pixels.size() != rowBytes * uint64_t(image.height)) std::abort();
  if (image.pixels.size() > limits.maxPixelBytes) std::abort();
  const bool indexed = image.bitCount <= 8;
  if (indexed != !image.palette.empty()) std::abort();
  if (indexed && image.palette.size() != (size_t{1} << image.bitCount)) std::abort();
  return 0;
}
