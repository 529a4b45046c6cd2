// What a memory device context tells GetDeviceCaps about the device it stands for. A memory DC
// starts as a 96-dpi screen the size of its bitmap; a preview gives it a printer page's geometry
// at the preview's resolution, so a page drawn from GetDeviceCaps lands where it would print.
#pragma once

#include "win/base.h"

namespace platform::gdi {

struct MemoryDcDevice {
  int dpiX = 96, dpiY = 96;                   // LOGPIXELSX, LOGPIXELSY
  LONG physicalWidth = 0, physicalHeight = 0;  // PHYSICALWIDTH/HEIGHT; 0: the bitmap's size
  LONG offsetX = 0, offsetY = 0;               // PHYSICALOFFSETX/Y
};

// False, with ERROR_INVALID_HANDLE, when `hdc` is no memory device context; ERROR_INVALID_PARAMETER
// for a resolution outside 1..10000 or a negative size or offset.
PLATFORM_API bool SetMemoryDcDevice(HDC hdc, const MemoryDcDevice& device);

}  // namespace platform::gdi
