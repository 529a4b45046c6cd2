// Pens, brushes and regions behind GDI object handles. A device context keeps the objects it has
// selected alive through shared pointers, so deleting a selected handle never leaves it dangling.
#pragma once

#include <map>
#include <tuple>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/engine_objects.h"
#include "win/wingdi.h"

namespace platform::gdi {

struct BrushObject {
  UINT style = BS_SOLID;  // BS_SOLID, BS_NULL, BS_HATCHED or BS_PATTERN (bitmap and DIB patterns)
  COLORREF color = 0;
  ULONG hatch = 0;
  // Pattern brushes: rows top-down, `stride` bytes each, 1/4/8/16/24/32 bits per pixel.
  LONG width = 0, height = 0, stride = 0;
  int bitCount = 0;
  std::vector<BYTE> bits;
  std::vector<ULONG> palette;  // 0x00RRGGBB entries of indexed patterns
  // From a monochrome bitmap: 0 bits take the device context's text colour, 1 bits its
  // background colour, when the brush is used.
  bool monochrome = false;

  // One engine brush per enabled PDEV (by its serial): the driver's realization belongs to it.
  std::mutex lock;
  std::map<uint64_t, std::unique_ptr<engine::EngineBrush>> engineBrushes;
  // Monochrome patterns: one per PDEV and the two colours it was realized in.
  std::map<std::tuple<uint64_t, COLORREF, COLORREF>, std::unique_ptr<engine::EngineBrush>> monochromeBrushes;
};

struct PenObject {
  UINT style = PS_SOLID;  // with the type, end-cap and join bits
  bool extended = false;  // from ExtCreatePen
  bool geometric = false;
  LONG width = 0;  // logical units for geometric pens
  COLORREF color = 0;
  std::shared_ptr<BrushObject> brush;  // what geometric pens paint with; solid for the others
  std::vector<DWORD> userStyle;        // PS_USERSTYLE dash and gap lengths
  UINT kind() const { return style & PS_STYLE_MASK; }
};

// A logical font and the realizations made of it, one per device scale and resolution.
struct FontObject {
  LOGFONTW logFont{};
  std::mutex lock;
  std::map<std::string, std::shared_ptr<void>> realized;  // owned by text.cpp
};

struct RegionObject {
  engine::Region region;  // device coordinates
};

// Any object kind the table keeps (bitmaps live in gdi_bitmaps.cpp).
HGDIOBJ AddObject(DWORD type, std::shared_ptr<void> object);
std::shared_ptr<void> FindObject(HGDIOBJ handle, DWORD type);

std::shared_ptr<PenObject> FindPen(HGDIOBJ handle);
std::shared_ptr<BrushObject> FindBrush(HGDIOBJ handle);
std::shared_ptr<RegionObject> FindRegion(HGDIOBJ handle);
// OBJ_PEN, OBJ_EXTPEN, OBJ_BRUSH, OBJ_REGION, or 0 for an unknown handle.
DWORD ObjectType(HGDIOBJ handle);
HRGN NewRegion(engine::Region region);
std::shared_ptr<FontObject> FindFont(HGDIOBJ handle);
HGDIOBJ NewFont(std::shared_ptr<FontObject> font);
// The stock fonts (OEM_FIXED_FONT to DEFAULT_GUI_FONT); null for other indices.
HGDIOBJ StockFontHandle(int index);

std::shared_ptr<PenObject> StockPen(int index);
std::shared_ptr<BrushObject> StockBrush(int index);

}  // namespace platform::gdi
