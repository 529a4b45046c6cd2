#include "pages/page_support.h"

#include "entry/language.h"
#include "entry/property_sheets.h"
#include "win/dialogs.h"
#include "win/printer_ui.h"

namespace ui::pages {

LONG_PTR DefaultPageMessage(HWND page, UINT message, LPARAM lParam) {
  const SheetWindowCalls& window = CurrentSheetWindowCalls();
  if (message == WM_INITDIALOG) {
    const auto* p = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    if (p != nullptr && window.setWindowLongPtr != nullptr) window.setWindowLongPtr(page, DWLP_USER, p->lParam);
    return TRUE;
  }
  if (message != WM_NOTIFY || lParam == 0) return FALSE;
  const auto* notification = reinterpret_cast<const NMHDR*>(lParam);
  SheetState* state = PageState(page);
  if (state == nullptr) return FALSE;
  if (notification->code == PSN_APPLY) {
    ApplySheetResult(page, state);
    return TRUE;
  }
  if (notification->code == PSN_RESET) {
    state->applied = 0;
    return TRUE;
  }
  return FALSE;
}

SheetState* PageState(HWND page) {
  const SheetWindowCalls& window = CurrentSheetWindowCalls();
  if (window.getWindowLongPtr == nullptr) return nullptr;
  return reinterpret_cast<SheetState*>(window.getWindowLongPtr(page, DWLP_USER));
}

namespace {
void TellSheet(HWND page, UINT message) {
  const SheetWindowCalls& window = CurrentSheetWindowCalls();
  if (window.getParent == nullptr || window.sendMessage == nullptr) return;
  window.sendMessage(window.getParent(page), message, reinterpret_cast<WPARAM>(page), 0);
}
}  // namespace

void MarkChanged(HWND page) { TellSheet(page, PSM_CHANGED); }
void MarkUnchanged(HWND page) { TellSheet(page, PSM_UNCHANGED); }

std::u16string ModuleText(HMODULE module, UINT id) {
  WCHAR text[1024] = {};
  int length = LoadResourceString(module, id, text, static_cast<int>(std::size(text)));
  return std::u16string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

void SetLabels(HWND dialog, HMODULE module, std::span<const std::pair<int, UINT>> labels) {
  for (const auto& [control, string] : labels) {
    if (GetDlgItem(dialog, control) == nullptr) continue;
    SetDlgItemTextW(dialog, control, ModuleText(module, string).c_str());
  }
}

void FillChoices(HWND dialog, int comboId, HMODULE module, std::span<const Choice> choices) {
  SendDlgItemMessageW(dialog, comboId, CB_RESETCONTENT, 0, 0);
  for (const Choice& c : choices) {
    std::u16string text = ModuleText(module, c.stringId);
    LRESULT index = SendDlgItemMessageW(dialog, comboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0) SendDlgItemMessageW(dialog, comboId, CB_SETITEMDATA, static_cast<WPARAM>(index), c.value);
  }
}

int SelectChoice(HWND dialog, int comboId, LONG value) {
  LRESULT count = SendDlgItemMessageW(dialog, comboId, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendDlgItemMessageW(dialog, comboId, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == value) {
      SendDlgItemMessageW(dialog, comboId, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return static_cast<int>(i);
    }
  }
  return -1;
}

LONG SelectedChoice(HWND dialog, int comboId, LONG fallback) {
  LRESULT index = SendDlgItemMessageW(dialog, comboId, CB_GETCURSEL, 0, 0);
  if (index < 0) return fallback;
  return static_cast<LONG>(SendDlgItemMessageW(dialog, comboId, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

}  // namespace ui::pages
