// Rows of arbitrary bytes through both raster compressors and back through the test-side
// decoder, as a printer would decode them: each row must come back exactly, within its
// compressor's stated worst case, and the delta compressor must leave its seed equal to the row.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/graphics.h"
#include "support/raster_pictures.h"

namespace {

std::string_view View(const std::vector<uint8_t>& bytes, uint32_t n) {
  return {reinterpret_cast<const char*>(bytes.data()), n};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes give the row length (1 to 4096 bytes: A4 at 600 dpi is 620); the rest
  // are the rows, one after another, as a picture sends them.
  const uint32_t n = 1 + ((uint32_t(data[0]) | uint32_t(data[1]) << 8) % 4096);
  data += 2;
  size -= 2;
  std::vector<uint8_t> seed(n, 0), printerRunLength(n, 0), printerDelta(n, 0);
  for (size_t at = 0; size - at >= n; at += n) {
    const uint8_t* row = data + at;
    const std::vector<uint8_t> expected(row, row + n);

    // Exactly the stated worst case, so a write past it is a write past an allocation.
    std::vector<uint8_t> out(render::RunLengthWorstCase(n));
    const uint32_t runLength = render::CompressRunLength(row, n, out.data());
    if (runLength > render::RunLengthWorstCase(n)) std::abort();
    if (!testsupport::DecodeRasterRow(2, View(out, runLength), printerRunLength).empty()) std::abort();
    if (printerRunLength != expected) std::abort();

    out.assign(render::DeltaRowWorstCase(n), 0);
    const std::vector<uint8_t> before = seed;
    const uint32_t delta = render::CompressDeltaRow(row, seed.data(), n, out.data());
    if (delta > render::DeltaRowWorstCase(n)) std::abort();
    if (seed != expected) std::abort();
    if ((delta == 0) != (before == expected)) std::abort();
    if (!testsupport::DecodeRasterRow(3, View(out, delta), printerDelta).empty()) std::abort();
    if (printerDelta != expected) std::abort();
  }
  return 0;
}
