// The four compiled-in watermarks; record 0 ("[No Watermark]") is the default selection.
#pragma once

#include "devmode/stored_devmode.h"

namespace devmode {

constexpr int kBuiltInWatermarkCount = 4;
WatermarkRecord BuiltInWatermark(int index);

}  // namespace devmode
