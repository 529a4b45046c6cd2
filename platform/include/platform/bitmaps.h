// What a bitmap handle of a module resource holds (for the platform's drawing calls and tests).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "win/base.h"
#include "win/modules.h"

namespace platform {

struct BitmapView {
  BITMAPINFOHEADER header;
  std::span<const uint8_t> bits;  // bottom-up rows, each padded to 4 bytes
};

// Null or unknown handles give nothing.
PLATFORM_API std::optional<BitmapView> ViewBitmap(HBITMAP bitmap);

}  // namespace platform
