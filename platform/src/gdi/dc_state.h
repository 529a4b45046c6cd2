// The drawing state of a device context (transforms, selected objects, modes, current position,
// clip region, path bracket) with its SaveDC stack, and how a drawing call reaches the device.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "driver_library.h"
#include "gdi_objects.h"
#include "path_builder.h"
#include "platform/engine_objects.h"
#include "transforms.h"
#include "win/winddi.h"
#include "win/wingdi.h"

namespace platform::gdi {

enum class PathBracket { kNone, kOpen, kClosed };

struct DcState {
  PageSetup page;
  int graphicsMode = GM_COMPATIBLE;
  Matrix world;
  HGDIOBJ penHandle = nullptr;
  std::shared_ptr<PenObject> pen;
  HGDIOBJ brushHandle = nullptr;
  std::shared_ptr<BrushObject> brush;
  int rop2 = R2_COPYPEN;
  int polyFillMode = ALTERNATE;
  int stretchMode = BLACKONWHITE;
  int arcDirection = AD_COUNTERCLOCKWISE;
  POINT current{0, 0};  // logical
  POINT brushOrg{0, 0};
  std::optional<engine::Region> clip;  // device pixels; none is the whole surface
  PathBracket bracket = PathBracket::kNone;
  PathBuilder path;
  // Text.
  HGDIOBJ fontHandle = nullptr;
  std::shared_ptr<FontObject> font;
  UINT textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
  COLORREF textColor = 0x000000;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  int charExtra = 0;

  DcState();
  // Logical to device: the world transform (GM_ADVANCED only), then the page's.
  Matrix ToDevice() const;
  ShapeContext Shapes() const;
};

struct DcGraphics {
  DcState state;
  std::vector<DcState> saved;  // SaveDC pushes, RestoreDC pops
};

// What a drawing call needs of a printer device context. `keep` holds the context for the call.
struct DrawingTarget {
  std::shared_ptr<void> keep;
  DcGraphics* graphics = nullptr;
  SURFOBJ* surface = nullptr;
  const DriverLibrary* driver = nullptr;
  FLONG hooks = 0;  // what the driver hooked with EngAssociateSurface
  uint64_t pdevSerial = 0;  // tells PDEVs apart though the driver reuses an address
  int dpiX = 600, dpiY = 600;
  bool inPage = false;  // drawing outside a page reaches no hook
  bool memory = false;  // a memory DC's bitmap: drawn into by the platform, no driver

  DcState& state() const { return graphics->state; }
  RECTL SurfaceBounds() const { return {0, 0, surface->sizlBitmap.cx, surface->sizlBitmap.cy}; }
};

// Null, with ERROR_INVALID_HANDLE, for a handle that is no printer or memory device context.
std::optional<DrawingTarget> FindDrawingTarget(HDC hdc);

}  // namespace platform::gdi
