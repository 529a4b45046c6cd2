// Bitmaps behind GDI handles and memory device contexts. A bitmap's pixels are an engine bitmap,
// locked for the bitmap's life, so a blit hands the driver its SURFOBJ as it is.
#pragma once

#include <memory>
#include <optional>

#include "dc_state.h"
#include "platform/engine_bitmaps.h"
#include "platform/memory_dc.h"

namespace platform::gdi {

struct BitmapObject {
  HSURF hsurf = nullptr;
  SURFOBJ* surface = nullptr;
  engine::PixelLayout layout;
  int bitCount = 0;
  bool dibSection = false;

  BitmapObject() = default;
  BitmapObject(const BitmapObject&) = delete;
  BitmapObject& operator=(const BitmapObject&) = delete;
  ~BitmapObject();
  LONG width() const { return surface->sizlBitmap.cx; }
  LONG height() const { return surface->sizlBitmap.cy; }
};

// A bitmap of `bitCount` bits per pixel (1, 4, 8, 16, 24, 32) with zeroed pixels; rows bottom
// first in memory unless `topDown`. Nothing for other depths or an absurd size.
std::shared_ptr<BitmapObject> NewBitmap(LONG width, LONG height, int bitCount, bool topDown,
                                        engine::PixelLayout layout);
std::shared_ptr<BitmapObject> FindBitmap(HGDIOBJ handle);
HBITMAP AddBitmap(std::shared_ptr<BitmapObject> bitmap);

// A bitmap of a BITMAPINFO and its bits (BI_RGB or BI_BITFIELDS): rows top first in the bitmap
// whatever the DIB's order. `rows` limits the rows the bits hold (SetDIBitsToDevice's bands).
// Nothing, with ERROR_INVALID_PARAMETER, for a description the bits cannot hold.
std::shared_ptr<BitmapObject> BitmapFromDib(const BITMAPINFO* info, const void* bits, UINT usage,
                                            std::optional<LONG> rows = std::nullopt);

struct MemoryDc {
  DcGraphics graphics;
  std::shared_ptr<BitmapObject> bitmap;
  HGDIOBJ bitmapHandle = nullptr;
  MemoryDcDevice device;
};

std::shared_ptr<MemoryDc> FindMemoryDc(HDC hdc);
// SelectObject and DeleteDC for memory DCs; false when `hdc` is not one.
bool SelectIntoMemoryDc(HDC hdc, HGDIOBJ object, HGDIOBJ* previous);
bool DeleteMemoryDc(HDC hdc);

}  // namespace platform::gdi
