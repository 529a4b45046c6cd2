// What every page does with its dialog: find its sheet state, tell the sheet about changes, and
// fill and read choice lists whose texts are strings of the language module.
#pragma once

#include <span>
#include <string>
#include <utility>

#include "entry/sheet_state.h"
#include "win/base.h"

namespace ui::pages {

// What a page does with the messages it leaves alone: WM_INITDIALOG remembers the sheet state
// (the PROPSHEETPAGE's lParam, in DWLP_USER), PSN_APPLY applies the sheet, PSN_RESET forgets an
// earlier apply. TRUE when the message was handled.
LONG_PTR DefaultPageMessage(HWND page, UINT message, LPARAM lParam);

// The sheet state WM_INITDIALOG remembered; null before it.
SheetState* PageState(HWND page);

// PSM_CHANGED / PSM_UNCHANGED to the sheet, for this page.
void MarkChanged(HWND page);
void MarkUnchanged(HWND page);

// String `id` of the module ("id:<n> missing!" when it has none).
std::u16string ModuleText(HMODULE module, UINT id);

// Labels from the module: (control id, string id); a control the template lacks is skipped.
void SetLabels(HWND dialog, HMODULE module, std::span<const std::pair<int, UINT>> labels);

struct Choice {
  UINT stringId;
  LONG value;  // kept as the item's data
};
// Empties the combo box, then adds each choice's text with its value as item data.
void FillChoices(HWND dialog, int comboId, HMODULE module, std::span<const Choice> choices);
// Selects the first item whose data is `value`; its index, or -1 (selection unchanged).
int SelectChoice(HWND dialog, int comboId, LONG value);
// The selected item's data, or `fallback` when nothing is selected.
LONG SelectedChoice(HWND dialog, int comboId, LONG fallback);

}  // namespace ui::pages
