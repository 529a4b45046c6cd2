// Text on a device context: a logical font realized for the context's scale and resolution, and
// a string laid out into device glyph origins with the context's alignment, spacing and
// character extra. Printer contexts hand the result to DrvTextOut; anything that renders pixels
// can draw the same glyphs from the same realization.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dc_state.h"
#include "platform/font_objects.h"

namespace platform::gdi {

// A logical font as one device context realizes it.
struct Realized {
  std::shared_ptr<engine::EngineFont> font;
  double scaleX = 1, scaleY = 1;  // device pixels per logical unit
  const IFIMETRICS* ifi = nullptr;
  double em = 0;
  std::u16string family;
};

struct Layout {
  std::vector<HGLYPH> glyphs;
  std::vector<POINTL> positions;  // device
  std::vector<double> advances;   // device pixels along the baseline
  std::vector<double> advancesY;  // ETO_PDY's spacing across it, downwards
  double endX = 0, endY = 0;      // device point after the last glyph
  double baseX = 0, baseY = 0;    // device point of the first glyph's origin
  RECTL cells{};                  // device box of the glyph cells
};

// The selected font of `s` realized for a device of the given resolution (cached in the font
// object); nothing when no face can be made.
std::optional<Realized> Realize(const DcState& s, int dpiX, int dpiY);

// Glyph origins for text drawn at the device point (x, y), aligned as `s` says; `dx` is the
// caller's spacing (pairs with ETO_PDY) or null.
Layout LayOut(const Realized& r, const DcState& s, double x, double y, std::vector<HGLYPH> glyphs, const INT* dx,
              bool pdy);

// Text metrics in device pixels.
TEXTMETRICW DeviceMetrics(const Realized& r, const LOGFONTW& lf);

// Underline and strike-out of the logical font as device figures along the laid-out baseline.
std::vector<engine::PathPoints> Decorations(const Realized& r, const LOGFONTW& lf, const Layout& l);

}  // namespace platform::gdi
