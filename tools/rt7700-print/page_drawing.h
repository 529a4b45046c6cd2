// Draws a page's operations on a printer device context through the GDI calls.
#pragma once

#include <optional>
#include <string>

#include "drawing_ops.h"

namespace rt7700print {

// Between StartPage and EndPage. Logical units are hundredths of `unit`, the origin the page's
// top-left corner (the printable area's offset taken off); the device context's state is as it was
// afterwards. Returns what failed: "op 5 (ellipse): Ellipse failed (error 8)".
std::optional<std::string> DrawPage(HDC hdc, const PageDrawing& page, Unit unit);

}  // namespace rt7700print
