#include "pages/custom_paper_editor.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "devmode/trace.h"
#include "entry/language.h"
#include "platform/utf16.h"
#include "store/settings_editing.h"
#include "win/dialogs.h"
#include "win/modules.h"

namespace ui::pages {
namespace {

enum : int {
  kName = 6102,
  kWidth = 6104,
  kHeight = 6106,
  kMillimetres = 6108,
  kInches = 6109,
  kLimits = 6110,
  kDelete = 6111,
};

constexpr UINT kTextLimitsMm = 6057;
constexpr UINT kTextLimitsIn = 6058;
constexpr UINT kMsgNameEmpty = 6061;
constexpr UINT kMsgNameTooLong = 6062;
constexpr UINT kMsgSizeMm = 6063;
constexpr UINT kMsgSizeIn = 6064;
constexpr UINT kMsgNotSaved = 6065;
constexpr UINT kMsgNoSuchPaper = 6069;

constexpr uint32_t kUnitMm = 1, kUnitIn = 2;
constexpr double kPerInch = 600.0, kMmPerInch = 25.4;

struct Editor {
  SheetState* state;
  const devmode::CustomPaperRecord* start;
  uint32_t unit = kUnitMm;
};

HMODULE Module(const Editor& e) { return e.state != nullptr ? e.state->languageModule : nullptr; }

std::u16string ItemText(HWND dialog, int id) {
  WCHAR text[128] = {};
  UINT n = GetDlgItemTextW(dialog, id, text, static_cast<int>(std::size(text)));
  return std::u16string(text, n);
}

// A size as the user typed it: digits with at most one decimal point or comma.
bool ParseSize(std::u16string_view text, double* out) {
  std::string ascii;
  bool separator = false;
  for (char16_t c : text) {
    if (c == u' ') continue;
    if (c == u'.' || c == u',') {
      if (separator) return false;
      separator = true;
      ascii += '.';
    } else if (c >= u'0' && c <= u'9') {
      ascii += static_cast<char>(c);
    } else {
      return false;
    }
  }
  if (ascii.empty() || ascii == ".") return false;
  *out = std::strtod(ascii.c_str(), nullptr);
  return std::isfinite(*out);
}

// Pixels (1/600 inch) shown in `unit`, with the decimal sign of the interface language.
std::u16string FormatSize(double pixels, uint32_t unit) {
  char text[32];
  if (unit == kUnitIn) {
    std::snprintf(text, sizeof text, "%.2f", pixels / kPerInch);
  } else {
    std::snprintf(text, sizeof text, "%.1f", pixels * kMmPerInch / kPerInch);
  }
  std::string s = text;
  if (s.size() > 2 && s.ends_with(".0")) s.resize(s.size() - 2);
  if (DecimalComma()) {
    for (char& c : s) {
      if (c == '.') c = ',';
    }
  }
  return platform::Widen(s);
}

double ToPixels(double value, uint32_t unit) { return unit == kUnitIn ? value * kPerInch : value * kPerInch / kMmPerInch; }

void ShowLimits(HWND dialog, const Editor& e) {
  WCHAR text[256] = {};
  LoadResourceString(Module(e), e.unit == kUnitIn ? kTextLimitsIn : kTextLimitsMm, text, static_cast<int>(std::size(text)));
  SetDlgItemTextW(dialog, kLimits, text);
}

// Switching the unit converts what the boxes hold, so the size stays the same paper.
void ChangeUnit(HWND dialog, Editor& e, uint32_t unit) {
  if (unit == e.unit) return;
  for (int box : {kWidth, kHeight}) {
    double v = 0;
    if (ParseSize(ItemText(dialog, box), &v)) SetDlgItemTextW(dialog, box, FormatSize(ToPixels(v, e.unit), unit).c_str());
  }
  e.unit = unit;
  ShowLimits(dialog, e);
}

void ShowPaper(HWND dialog, Editor& e, const devmode::CustomPaperRecord& paper) {
  e.unit = paper.unit == kUnitIn ? kUnitIn : kUnitMm;
  SetDlgItemTextW(dialog, kWidth, FormatSize(paper.widthExact, e.unit).c_str());
  SetDlgItemTextW(dialog, kHeight, FormatSize(paper.heightExact, e.unit).c_str());
  CheckRadioButton(dialog, kMillimetres, kInches, e.unit == kUnitIn ? kInches : kMillimetres);
  ShowLimits(dialog, e);
}

std::u16string NameOf(const devmode::CustomPaperRecord& paper) {
  return std::u16string(platform::WideField(paper.name, std::size(paper.name)));
}

// The name box lists the stored papers; choosing one shows its size.
void FillNames(HWND dialog) {
  SendDlgItemMessageW(dialog, kName, CB_RESETCONTENT, 0, 0);
  for (const auto& paper : CustomPaperStore().Records()) {
    SendDlgItemMessageW(dialog, kName, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(NameOf(paper).c_str()));
  }
}

void Init(HWND dialog, Editor& e) {
  FillNames(dialog);
  CheckRadioButton(dialog, kMillimetres, kInches, kMillimetres);
  ShowLimits(dialog, e);
  if (e.start != nullptr) {
    SetDlgItemTextW(dialog, kName, NameOf(*e.start).c_str());
    ShowPaper(dialog, e, *e.start);
  }
}

void NameChosen(HWND dialog, Editor& e) {
  LRESULT index = SendDlgItemMessageW(dialog, kName, CB_GETCURSEL, 0, 0);
  if (index < 0) return;
  auto papers = CustomPaperStore().Records();
  if (static_cast<size_t>(index) < papers.size()) ShowPaper(dialog, e, papers[static_cast<size_t>(index)]);
}

// Removes the paper the name box names; the box then starts a new paper.
void Delete(HWND dialog, const Editor& e) {
  std::u16string name = TrimName(ItemText(dialog, kName));
  CustomPaperStore store;
  if (name.empty() || !store.Remove(name)) {
    ShowModuleMessage(dialog, Module(e), name.empty() ? kMsgNameEmpty : kMsgNoSuchPaper, kCaptionDriver,
                      MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  FillNames(dialog);
  for (int box : {kName, kWidth, kHeight}) SetDlgItemTextW(dialog, box, u"");
}

void Save(HWND dialog, Editor& e) {
  HMODULE module = Module(e);
  std::u16string name = ItemText(dialog, kName);
  double width = 0, height = 0;
  const bool parsed = ParseSize(ItemText(dialog, kWidth), &width) && ParseSize(ItemText(dialog, kHeight), &height);
  CustomPaperInput input{name, e.unit, static_cast<float>(ToPixels(parsed ? width : 0, e.unit)),
                         static_cast<float>(ToPixels(parsed ? height : 0, e.unit))};
  CustomPaperStore store;
  // A settings file that does not exist yet gets its collections; a failure shows as a failed save.
  if (!store.EnsureSettingsSkeleton()) devmode::DebugTrace("custom paper editor: no settings file\n");
  uint32_t id = 0;
  // An empty name is reported before the size, whatever the size boxes hold.
  EditOutcome outcome = TrimName(name).empty() ? EditOutcome::EmptyName : SaveCustomPaper(store, dialog, module, input, &id);
  UINT message = 0;
  switch (outcome) {
    case EditOutcome::Saved:
    case EditOutcome::Replaced:
      EndDialog(dialog, static_cast<INT_PTR>(id));
      return;
    case EditOutcome::EmptyName: message = kMsgNameEmpty; break;
    case EditOutcome::NameTooLong: message = kMsgNameTooLong; break;
    case EditOutcome::SizeOutOfRange: message = e.unit == kUnitIn ? kMsgSizeIn : kMsgSizeMm; break;
    case EditOutcome::Failed: message = kMsgNotSaved; break;
    default: break;  // the store's own message was shown, or the user declined to replace
  }
  if (message != 0) ShowModuleMessage(dialog, module, message, kCaptionDriver, MB_OK | MB_ICONEXCLAMATION);
}

INT_PTR WINAPI EditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    if (auto* e = reinterpret_cast<Editor*>(lParam)) Init(dialog, *e);
    return TRUE;
  }
  auto* e = reinterpret_cast<Editor*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (e == nullptr || message != WM_COMMAND) return FALSE;
  const WORD code = HIWORD(static_cast<DWORD>(wParam));
  if (LOWORD(static_cast<DWORD>(wParam)) == kName && code == CBN_SELCHANGE) {
    NameChosen(dialog, *e);
    return TRUE;
  }
  if (code != BN_CLICKED) return FALSE;
  switch (LOWORD(static_cast<DWORD>(wParam))) {
    case kDelete: Delete(dialog, *e); return TRUE;
    case IDOK: Save(dialog, *e); return TRUE;
    case IDCANCEL: EndDialog(dialog, 0); return TRUE;
    case kMillimetres: ChangeUnit(dialog, *e, kUnitMm); return TRUE;
    case kInches: ChangeUnit(dialog, *e, kUnitIn); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

uint32_t RunCustomPaperEditor(HWND owner, SheetState* state, const devmode::CustomPaperRecord* start) {
  if (state == nullptr || state->languageModule == nullptr) return 0;
  Editor editor{state, start, kUnitMm};
  INT_PTR result = DialogBoxParamW(state->languageModule, MAKEINTRESOURCEW(kCustomPaperDialog), owner, EditorProc,
                                   reinterpret_cast<LPARAM>(&editor));
  return result > 0 ? static_cast<uint32_t>(result) : 0;
}

}  // namespace ui::pages
