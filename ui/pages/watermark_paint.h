// What the watermark page and its editors draw and list through the graphics calls, kept apart
// from the sheet headers (the graphics and printer-interface headers do not mix).
#pragma once

#include <string>
#include <vector>

#include "devmode/stored_devmode.h"
#include "win/base.h"

namespace ui::pages {

// WM_DRAWITEM of a watermark preview control (lParam: the DRAWITEMSTRUCT) painted with `record`.
void PaintWatermarkItem(LPARAM drawItem, const devmode::WatermarkRecord& record);

// The installed font families' names, sorted, without the vertical ("@") faces.
std::vector<std::u16string> InstalledFontFamilies();

}  // namespace ui::pages
