// Drawing into a memory device context's bitmap. Shapes are rasterised with cairo into a coverage
// mask and combined with the bitmap's pixels: R2_COPYPEN blends the brush by coverage, the other
// binary raster operations (which cairo lacks) combine pixel values bit by bit where the shape
// covers a pixel. Straight-edged shapes and every bitwise mix are rasterised without antialiasing,
// a pixel inside when its centre is, so they land on GDI's pixels exactly; curves under
// R2_COPYPEN are antialiased. Cosmetic lines take GDI's own pixels (those of the printer's clipped
// line runs), each once, so an XOR line drawn twice leaves nothing.
#pragma once

#include <optional>

#include "dc_state.h"

namespace platform::gdi {

// The drawing target of a memory DC; nothing when `hdc` is none (the last error untouched).
std::optional<DrawingTarget> MemoryDrawingTarget(HDC hdc);
// GetDeviceCaps of a memory DC; nothing when `hdc` is none.
std::optional<int> MemoryDcCaps(HDC hdc, int index);

// Each returns false only when the call cannot be drawn at all (an unusable pattern brush, a stroke
// that cannot be widened), with the last error set.
bool FillPathInMemory(const DrawingTarget& t, const DevicePath& path, BrushObject& brush, int fillMode, int rop2);
bool StrokePathInMemory(const DrawingTarget& t, const DevicePath& path, const PenObject& pen, int rop2);
// Device pixels `rect` (right and bottom exclusive, either order) combined with the brush by a
// ROP3 that ignores the source; `brush` may be null when the operation ignores the pattern.
bool BlitRectInMemory(const DrawingTarget& t, const RECTL& rect, BrushObject* brush, BYTE rop3);

}  // namespace platform::gdi
