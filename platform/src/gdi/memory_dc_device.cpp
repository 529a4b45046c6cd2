// Memory device contexts as drawing targets: their state, their bitmap as the surface, and the
// device GetDeviceCaps describes.
#include <limits>

#include "gdi_bitmaps.h"
#include "memory_dc_render.h"
#include "win/error.h"

namespace platform::gdi {

std::optional<DrawingTarget> MemoryDrawingTarget(HDC hdc) {
  auto dc = FindMemoryDc(hdc);
  if (dc == nullptr || dc->bitmap == nullptr) return std::nullopt;
  DrawingTarget t;
  t.graphics = &dc->graphics;
  t.surface = dc->bitmap->surface;
  // No driver realizes a memory DC's brushes: one serial no PDEV takes.
  t.pdevSerial = std::numeric_limits<uint64_t>::max();
  t.dpiX = dc->device.dpiX;
  t.dpiY = dc->device.dpiY;
  t.inPage = true;
  t.memory = true;
  t.keep = std::move(dc);
  return t;
}

std::optional<int> MemoryDcCaps(HDC hdc, int index) {
  auto dc = FindMemoryDc(hdc);
  if (dc == nullptr) return std::nullopt;
  const MemoryDcDevice& d = dc->device;
  const BitmapObject& b = *dc->bitmap;
  LONG width = d.physicalWidth > 0 ? d.physicalWidth : b.width();
  LONG height = d.physicalHeight > 0 ? d.physicalHeight : b.height();
  switch (index) {
    case TECHNOLOGY: return 1;  // DT_RASDISPLAY
    case HORZRES: return b.width();
    case VERTRES: return b.height();
    case HORZSIZE: return static_cast<int>(b.width() * 254 / (10 * d.dpiX));
    case VERTSIZE: return static_cast<int>(b.height() * 254 / (10 * d.dpiY));
    case BITSPIXEL: return b.bitCount;
    case PLANES: return 1;
    case LOGPIXELSX: return d.dpiX;
    case LOGPIXELSY: return d.dpiY;
    case PHYSICALWIDTH: return width;
    case PHYSICALHEIGHT: return height;
    case PHYSICALOFFSETX: return d.offsetX;
    case PHYSICALOFFSETY: return d.offsetY;
    default: return 0;
  }
}

bool SetMemoryDcDevice(HDC hdc, const MemoryDcDevice& device) {
  auto dc = FindMemoryDc(hdc);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (device.dpiX < 1 || device.dpiX > 10000 || device.dpiY < 1 || device.dpiY > 10000 || device.physicalWidth < 0 ||
      device.physicalHeight < 0 || device.offsetX < 0 || device.offsetY < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  dc->device = device;
  return true;
}

}  // namespace platform::gdi
