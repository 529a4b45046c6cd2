// The font substitution dialog (template 1056), opened from the printer properties: for every
// TrueType face on the computer, download it or print it with a resident font.
#pragma once

#include "win/dialogs.h"

namespace ui {

struct SheetState;

constexpr int kFontSubstitutionDialog = 1056;

// Runs the dialog modally over `owner`. Non-zero when the user confirmed and the table was
// written; zero when cancelled or when the dialog could not be shown.
INT_PTR RunFontSubstitutionDialog(HWND owner, SheetState* state);

// Forgets the font families this thread's sheet enumerated (the sheet was cancelled); the next
// dialog enumerates them again.
void ReleaseFontFamilyCache();

}  // namespace ui
