// How drawing reaches the driver: the path and blit hooks with engine objects built for the call,
// and the engine's fallback chain when a hook is missing or refuses.
#pragma once

#include "dc_state.h"

namespace platform::gdi {

// The mix of a binary raster operation (foreground and background alike) and the ROP4 of the
// pattern fill that does the same to the page.
MIX MixOf(int rop2);
ROP4 Rop4OfMix(MIX mix);
// The binary raster operation of a ROP3 that ignores the source (0 when it does not).
int Rop2OfRop3(BYTE rop3);

// The engine brush of this device for a GDI brush, bound to the driver's DrvRealizeBrush; null
// when the brush cannot be made.
engine::EngineBrush* EngineBrushFor(const DrawingTarget& t, BrushObject& brush);

// The pen as the stroke hooks see it.
engine::LineAttrs LineAttrsOf(const PenObject& pen);

// Everything below returns false only when every way to draw failed. Null brushes and pens are
// the caller's to skip.
bool FillPathOnDevice(const DrawingTarget& t, const DevicePath& path, BrushObject& brush, int fillMode, MIX mix);
bool StrokePathOnDevice(const DrawingTarget& t, const DevicePath& path, const PenObject& pen, MIX mix);
// One call when the driver takes both; else the fill, then the stroke over it.
bool StrokeAndFillPathOnDevice(const DrawingTarget& t, const DevicePath& path, const PenObject& pen,
                               BrushObject& brush, int fillMode, MIX mix);
// A pattern (or pattern-free) fill of device pixels `rect` (right and bottom exclusive) through
// DrvBitBlt; `brush` may be null for operations that do not use it.
bool BlitRectOnDevice(const DrawingTarget& t, const RECTL& rect, BrushObject* brush, ROP4 rop4);

}  // namespace platform::gdi
