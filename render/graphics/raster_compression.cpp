// PCL raster row compression: run-length (method 2) and delta row against the seed row (method 3).
#include <cstring>

#include "graphics/graphics.h"

namespace render {
namespace {

constexpr uint32_t kLongestRun = 128;      // one count byte covers 2 to 128 repeats
constexpr uint32_t kLongestLiteral = 128;  // or 1 to 128 bytes as they are
constexpr uint32_t kLongestReplacement = 8;
constexpr uint32_t kOffsetInControl = 31;  // 31 in the control byte: offset bytes follow

uint32_t RunAt(const uint8_t* row, uint32_t at, uint32_t length) {
  uint32_t n = 1;
  while (at + n < length && n < kLongestRun && row[at + n] == row[at]) ++n;
  return n;
}

}  // namespace

// Worst case n + n / 128 + 1 bytes: a literal is cut only after 128 bytes, at the row's end, or
// before a run of three or more, which pays for the next literal's count byte.
uint32_t CompressRunLength(const uint8_t* row, uint32_t length, uint8_t* out) {
  uint32_t o = 0, i = 0;
  while (i < length) {
    const uint32_t run = RunAt(row, i, length);
    if (run >= 2) {
      out[o++] = static_cast<uint8_t>(1 - static_cast<int>(run));
      out[o++] = row[i];
      i += run;
      continue;
    }
    // A pair inside a literal costs less as two more literal bytes than as a run.
    const uint32_t start = i;
    while (i < length && i - start < kLongestLiteral) {
      if (i + 2 < length && row[i] == row[i + 1] && row[i] == row[i + 2]) break;
      ++i;
    }
    const uint32_t count = i - start;
    out[o++] = static_cast<uint8_t>(count - 1);
    std::memcpy(out + o, row + start, count);
    o += count;
  }
  return o;
}

// Worst case n + n / 8 + 1 bytes: every byte replaced, one control byte per eight; a longer
// offset costs one byte per 255 bytes skipped, fewer than it skips.
uint32_t CompressDeltaRow(const uint8_t* row, uint8_t* seed, uint32_t length, uint8_t* out) {
  uint32_t o = 0, i = 0, last = 0;  // `last`: just after the previous replacement
  while (i < length) {
    if (row[i] == seed[i]) {
      ++i;
      continue;
    }
    uint32_t count = 1;
    while (i + count < length && count < kLongestReplacement && row[i + count] != seed[i + count]) ++count;
    uint32_t offset = i - last;
    if (offset < kOffsetInControl) {
      out[o++] = static_cast<uint8_t>((count - 1) << 5 | offset);
    } else {
      out[o++] = static_cast<uint8_t>((count - 1) << 5 | kOffsetInControl);
      offset -= kOffsetInControl;
      while (offset >= 255) {
        out[o++] = 255;
        offset -= 255;
      }
      out[o++] = static_cast<uint8_t>(offset);
    }
    std::memcpy(out + o, row + i, count);
    std::memcpy(seed + i, row + i, count);
    o += count;
    i += count;
    last = i;
  }
  return o;
}

}  // namespace render
