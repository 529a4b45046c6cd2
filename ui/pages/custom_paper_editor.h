// The custom-paper editor: a modal dialog in which the user names a paper size and gives its
// width and height in millimetres or inches, or deletes a paper; it keeps the papers in the
// user's settings store.
#pragma once

#include <cstdint>

#include "devmode/stored_devmode.h"
#include "entry/sheet_state.h"
#include "win/base.h"

namespace ui::pages {

constexpr int kCustomPaperDialog = 6100;

// Runs the editor over `owner`, starting from `start` when given (the paper the user is
// editing). The id of the paper saved, or 0 when the user left without saving (papers may have
// been deleted meanwhile).
uint32_t RunCustomPaperEditor(HWND owner, SheetState* state, const devmode::CustomPaperRecord* start);

}  // namespace ui::pages
