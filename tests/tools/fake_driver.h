// What the fake printer driver and the fake interface library record, shared with the tests that
// load them. The test reaches the state through the libraries' exported accessors.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "win/winddi.h"

namespace fakes {

// One record of a PATHOBJ as PATHOBJ_bEnum gave it: PD_* flags and 28.4 points.
struct PathRecord {
  FLONG flags = 0;
  std::vector<POINTFIX> points;
};

// What a drawing hook received, enumerated inside the hook while the objects were alive.
struct DrawCall {
  std::string hook;  // "StrokePath", "FillPath", "StrokeAndFillPath", "BitBlt"
  bool accepted = false;
  std::vector<PathRecord> path;
  RECTFX pathBounds{};
  BYTE clipComplexity = 0xFF;  // 0xFF: no CLIPOBJ
  RECTL clipBounds{};
  std::vector<RECTL> clipRects;  // enumerated right-down for non-trivial clips
  ULONG brushColor = 0;          // iSolidColor (the stroke brush for StrokeAndFillPath)
  ULONG fillBrushColor = 0;      // StrokeAndFillPath's fill brush
  LONG realizedHatch = -1;       // DrvRealizeBrush's hatch for a pattern brush the hook asked for
  SIZEL realizedSize{};          // its pattern surface: size, format, the first byte of the top
  ULONG realizedFormat = 0;      // row, and the colour its translation gives pixel value 1
  BYTE realizedTopRow = 0;
  ULONG realizedColour1 = 0;
  bool hasLineAttrs = false;
  LINEATTRS lineAttrs{};  // pstyle points into `style`
  std::vector<FLOAT_LONG> style;
  bool hasXform = false;
  XFORML xform{};
  MIX mix = 0;
  FLONG fillOptions = 0;
  ROP4 rop4 = 0;
  RECTL target{};
  // Blits: the source bitmap, where it is read, and the colour its translation gives the pixel
  // there; the mask; stretching mode, transparent key, gradient counts and mode.
  bool hasSource = false;
  ULONG sourceFormat = 0;
  SIZEL sourceSize{};
  POINTL sourcePoint{};
  RECTL sourceRect{};
  ULONG firstColour = 0;
  FLONG xlateFlags = 0;
  bool hasMask = false;
  ULONG mode = 0;
  ULONG transparentKey = 0;
  ULONG vertices = 0;
  ULONG meshes = 0;
  // DrvTextOut: the string and font objects as the hook saw them.
  std::vector<GLYPHPOS> glyphs;  // enumerated; pgdf not kept
  bool positionsGiven = false;   // STROBJ.pgp was set
  FLONG accel = 0;
  ULONG charInc = 0;
  RECTL background{};
  std::u16string text;           // pwszOrg, cGlyphs characters
  ULONG fontUniq = 0;
  FLONG fontType = 0;
  std::u16string family;         // from FONTOBJ_pifi
  LONG unitsPerEm = 0;
  BYTE charSet = 0;
  XFORML fontXform{};
  bool hasOpaque = false;
  RECTL opaque{};
  ULONG opaqueColor = 0;
  std::vector<RECTL> extras;     // up to the all-zero end
  ULONG fontFileSize = 0;
};

// The drawing hooks the fake associates with its surface.
constexpr FLONG kDrawingHooks = HOOK_BITBLT | HOOK_STROKEPATH | HOOK_FILLPATH | HOOK_STROKEANDFILLPATH | HOOK_TEXTOUT;
// And the image hooks a raster printer driver adds.
constexpr FLONG kImageHooks = HOOK_COPYBITS | HOOK_STRETCHBLT | HOOK_TRANSPARENTBLT | HOOK_GRADIENTFILL;

// Every hook call, one line each ("StartPage 1"), and the hooks told to fail.
struct DriverState {
  std::vector<std::string> calls;
  std::set<std::string> failing;  // hook names ("StartPage") that return failure
  std::vector<std::string> surfaceErrors;  // a hook got a SURFOBJ that does not match its PDEV
  bool logProgram = false;  // DrvStartDoc also logs the printing program's file name
  std::vector<DrawCall> draws;
  FLONG hooks = kDrawingHooks;  // what DrvEnableSurface passes to EngAssociateSurface
  // Refuse what the printer's own driver refuses: geometric strokes and fills under a complex clip.
  bool refuseLikePrinter = true;
  bool refuseText = false;  // DrvTextOut returns FALSE (after recording)
  // Not empty: the decoration escapes are answered as the rendering library answers them, 0x5001
  // with these bytes (into exactly their size), 0x5004 with the pages sent since StartDoc.
  std::vector<uint8_t> decorationBlock;
};

struct InterfaceState {
  std::vector<int> events;
  std::set<int> refused;  // events answered with DOCUMENTEVENT_FAILURE
};

// Escape code the fake interface library sends for each event it receives (base + event).
constexpr int kEventEscapeBase = 0x7E00;

using DriverStateFn = DriverState* (*)();
using InterfaceStateFn = InterfaceState* (*)();

}  // namespace fakes
