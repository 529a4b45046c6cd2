// What the font substitution dialog asks of GDI: the screen's font families and resolution, and
// drawing one face line. Kept apart because GDI's header and the sheet headers do not mix.
#pragma once

#include <string>
#include <vector>

#include "pages/font_substitution_table.h"
#include "win/dialogs.h"

namespace ui::fonts {

// One enumeration of the screen's font families, each family once.
std::vector<FontFamily> EnumerateScreenFontFamilies();

// A 12-point line at the screen's vertical resolution.
int ScreenLineHeight();

// The face name 2 pixels in, the resident font's name from `column` on, in the system colours
// of the item's state.
void DrawFaceLine(const DRAWITEMSTRUCT& item, const std::u16string& face, const std::u16string& resident, int column);

}  // namespace ui::fonts
