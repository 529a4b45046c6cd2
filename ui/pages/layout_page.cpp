// The layout page: pages per sheet or poster, page order, borders, orientation, zoom and density.
// Every choice goes into the working devmode at once; the preview is repainted from the devmode.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "devmode/stored_devmode.h"
#include "entry/language.h"
#include "entry/property_sheets.h"
#include "pages/page_support.h"
#include "pages/pages.h"
#include "preview/layout_preview.h"
#include "win/dialogs.h"
#include "win/error.h"
#include "win/printer_ui.h"

namespace ui {
namespace {

// Control ids; the pages-per-sheet list keeps the id other pages and tools know it by.
constexpr int kPagesPerSheet = 1300;
constexpr int kOrder = 6403;
constexpr int kBorder = 6405;
constexpr int kPortrait = 6407;
constexpr int kLandscape = 6408;
constexpr int kZoom = 6410;
constexpr int kZoomSpin = 6411;
constexpr int kZoomNote = 6413;
constexpr int kDensity = 6415;
constexpr int kTonerSaving = 6416;
constexpr int kRotate180 = 6417;
constexpr int kDefaults = 6418;
constexpr int kPreview = 6419;

constexpr UINT kPageTitle = 126;
constexpr UINT kLayoutCaption = 5004;
constexpr UINT kNupNeedsFullSize = 5044;
constexpr UINT kPosterNeedsFullSize = 5045;
constexpr UINT kPosterConflict = 6420;

constexpr int kPoster = 22;
constexpr int kZoomLow = 25, kZoomHigh = 400;

constexpr pages::Choice kPagesPerSheetChoices[] = {{195, 1}, {143, 2}, {144, 4}, {167, 8}, {168, 16}, {147, kPoster}};
constexpr pages::Choice kBorderChoices[] = {{4028, 0}, {4029, 1}};
constexpr pages::Choice kOrderChoices[] = {{150, 2}, {151, 3}, {152, 4}, {153, 5}};
// With two pages per sheet the stored order is the entry's position.
constexpr pages::Choice kTwoPortrait[] = {{154, 0}, {155, 1}};
constexpr pages::Choice kTwoLandscape[] = {{156, 0}, {157, 1}};
constexpr pages::Choice kDensityChoices[] = {{165, 0}, {415, 1}, {166, 2}};

constexpr std::pair<int, UINT> kLabels[] = {
    {6401, 6401}, {6402, 6402}, {6404, 6404},           {6406, 6406},           {kPortrait, 6407}, {kLandscape, 6408},
    {6409, 6409}, {kZoomNote, 6413}, {6414, 6414}, {kTonerSaving, 6416}, {kRotate180, 6417}, {kDefaults, 6418}};

constexpr HelpContext kHelp[] = {
    {kPagesPerSheet, 6450}, {kOrder, 6451},   {kBorder, 6452},      {kPortrait, 6453},  {kLandscape, 6453},
    {kZoom, 6454},          {kZoomSpin, 6454}, {kDensity, 6455},    {kTonerSaving, 6456}, {kRotate180, 6457},
    {kDefaults, 6458},      {kPreview, 6459}};

// The inputs the user can change; the labels and the preview stay enabled.
constexpr int kInputs[] = {kPagesPerSheet, kOrder,   kBorder,      kPortrait,  kLandscape,
                           kZoom,          kZoomSpin, kDensity, kTonerSaving, kRotate180, kDefaults};

// What the page keeps per thread while its sheet is open.
class LayoutController : public PageController {
 public:
  // The zoom box's text is being set by the page, not typed.
  bool settingZoomText = false;
};

LayoutController* Controller() {
  PageControllerSet* set = FindThreadPageControllers();
  return set != nullptr ? dynamic_cast<LayoutController*>(set->get(ControllerSlot::Layout)) : nullptr;
}

int Field(SheetState* state, const char* name) {
  uint16_t value = 0;
  GetPrivateField(state, name, &value, sizeof value);
  return value;
}

void SetField(SheetState* state, const char* name, int value) {
  const auto v = static_cast<uint16_t>(value);
  SetPrivateField(state, name, &v, sizeof v);
}

LONG Public(SheetState* state, DWORD field) {
  LONG value = 0;
  GetPublicField(state, field, &value);
  return value;
}

// The zoom has no name of its own; the scale setter keeps it.
int StoredZoom(const SheetState* state) { return state->devmode->priv.zoomPercent; }
void SetZoom(SheetState* state, int zoom) { SetPublicField(state, DM_SCALE, zoom); }

bool Landscape(SheetState* state) { return Public(state, DM_ORIENTATION) == DMORIENT_LANDSCAPE; }

bool TwoSided(SheetState* state) {
  const LONG duplex = Public(state, DM_DUPLEX);
  return duplex == 2 || duplex == 3 || duplex == 5 || Field(state, "Duplex") == 5;
}

bool WatermarkSelected(SheetState* state) {
  devmode::WatermarkRecord record{};
  if (GetPrivateField(state, "WatermarkData", &record, sizeof record) != S_OK) return false;
  return record.WatermarkIndex > 0;
}

bool SingleSheet(int pagesPerSheet) { return pagesPerSheet == 1 || pagesPerSheet == kPoster; }

void Enable(HWND dialog, int id, bool enabled) {
  if (HWND control = GetDlgItem(dialog, id)) EnableWindow(control, enabled ? TRUE : FALSE);
}

void Repaint(HWND dialog) {
  if (HWND preview = GetDlgItem(dialog, kPreview)) InvalidateRect(preview, nullptr, FALSE);
}

void Changed(HWND dialog) {
  Repaint(dialog);
  pages::MarkChanged(dialog);
}

void SetZoomText(HWND dialog, int zoom) {
  LayoutController* controller = Controller();
  if (controller != nullptr) controller->settingZoomText = true;
  SetDlgItemInt(dialog, kZoom, static_cast<UINT>(zoom), FALSE);
  if (controller != nullptr) controller->settingZoomText = false;
}

// The zoom box's number; digits after the first non-digit are ignored, an empty box reads 0.
int TypedZoom(HWND dialog) {
  WCHAR text[16] = {};
  GetDlgItemTextW(dialog, kZoom, text, static_cast<int>(std::size(text)));
  int value = 0;
  for (const WCHAR* c = text; *c >= u'0' && *c <= u'9'; ++c) value = std::min(value * 10 + (*c - u'0'), 99999);
  return value;
}

void FillOrder(HWND dialog, HMODULE module, int pagesPerSheet, bool landscape) {
  if (pagesPerSheet == 2) {
    pages::FillChoices(dialog, kOrder, module, landscape ? std::span(kTwoLandscape) : std::span(kTwoPortrait));
  } else {
    pages::FillChoices(dialog, kOrder, module, kOrderChoices);
  }
}

void SelectOrder(HWND dialog, int pagesPerSheet, int order) {
  if (pagesPerSheet == 2) {
    SendDlgItemMessageW(dialog, kOrder, CB_SETCURSEL, static_cast<WPARAM>(order >= 0 && order <= 1 ? order : -1), 0);
  } else if (pages::SelectChoice(dialog, kOrder, order) < 0) {
    SendDlgItemMessageW(dialog, kOrder, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  }
}

// Which controls can be used follows from the devmode.
void EnableControls(HWND dialog, SheetState* state) {
  const bool readOnly = state->readOnly != 0;
  if (readOnly) {
    for (int id : kInputs) Enable(dialog, id, false);
    return;
  }
  for (int id : kInputs) Enable(dialog, id, true);
  const int pagesPerSheet = Field(state, "MultipleUp");
  Enable(dialog, kOrder, !SingleSheet(pagesPerSheet));
  Enable(dialog, kBorder, !SingleSheet(pagesPerSheet));
  const bool zoomable = pagesPerSheet == 1 && Field(state, "Negative") == 0;
  Enable(dialog, kZoom, zoomable);
  Enable(dialog, kZoomSpin, zoomable);
  Enable(dialog, kDensity, Field(state, "TonerSavingMode") == 0);
  if (HWND note = GetDlgItem(dialog, kZoomNote)) ShowWindow(note, pagesPerSheet != 1 ? SW_SHOW : SW_HIDE);
}

// Every control from the working devmode; nothing is written.
void ShowSettings(HWND dialog, SheetState* state) {
  HMODULE module = state->languageModule;
  const int pagesPerSheet = Field(state, "MultipleUp");
  pages::FillChoices(dialog, kPagesPerSheet, module, kPagesPerSheetChoices);
  pages::SelectChoice(dialog, kPagesPerSheet, pagesPerSheet);
  FillOrder(dialog, module, pagesPerSheet, Landscape(state));
  SelectOrder(dialog, pagesPerSheet, Field(state, "PageOrder"));
  pages::FillChoices(dialog, kBorder, module, kBorderChoices);
  pages::SelectChoice(dialog, kBorder, Field(state, "PageBorder"));
  pages::FillChoices(dialog, kDensity, module, kDensityChoices);
  pages::SelectChoice(dialog, kDensity, Field(state, "Thickness"));
  CheckDlgButton(dialog, kTonerSaving, Field(state, "TonerSavingMode") != 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, kRotate180, Field(state, "Rotate180") != 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(dialog, kPortrait, kLandscape, Landscape(state) ? kLandscape : kPortrait);
  SendDlgItemMessageW(dialog, kZoom, EM_LIMITTEXT, 3, 0);
  SendDlgItemMessageW(dialog, kZoomSpin, UDM_SETRANGE32, kZoomLow, kZoomHigh);
  SetZoomText(dialog, StoredZoom(state));
  EnableControls(dialog, state);
  Repaint(dialog);
}

void Initialise(HWND dialog, SheetState* state) {
  // Pages without our controls (a template of another version) are left to the defaults.
  if (GetDlgItem(dialog, kPagesPerSheet) == nullptr || state->devmode == nullptr) return;
  ThreadPageControllers().at(ControllerSlot::Layout) = std::make_unique<LayoutController>();
  SetWindowTextW(dialog, pages::ModuleText(state->languageModule, kPageTitle).c_str());
  pages::SetLabels(dialog, state->languageModule, kLabels);
  ShowSettings(dialog, state);
}

// The other controls after the pages per sheet changed (or were set); `reorder` writes the order
// that goes with the new value.
void FollowPagesPerSheet(HWND dialog, SheetState* state, int pagesPerSheet, bool reorder) {
  pages::SelectChoice(dialog, kPagesPerSheet, pagesPerSheet);
  FillOrder(dialog, state->languageModule, pagesPerSheet, Landscape(state));
  if (reorder && (pagesPerSheet == 4 || pagesPerSheet == 8 || pagesPerSheet == 16)) SetField(state, "PageOrder", 2);
  SelectOrder(dialog, pagesPerSheet, Field(state, "PageOrder"));
  if (SingleSheet(pagesPerSheet)) pages::SelectChoice(dialog, kBorder, 0);
  if (pagesPerSheet != 1) SetZoomText(dialog, 100);
  EnableControls(dialog, state);
}

void ChoosePagesPerSheet(HWND dialog, SheetState* state) {
  const int previous = Field(state, "MultipleUp");
  const int chosen = pages::SelectedChoice(dialog, kPagesPerSheet, previous);
  if (chosen == kPoster && TwoSided(state)) {
    ShowModuleMessage(dialog, state->languageModule, kPosterConflict, kLayoutCaption, MB_OK | MB_ICONWARNING);
    SetField(state, "MultipleUp", 1);
    SetField(state, "PageBorder", 0);
    SetField(state, "PageOrder", 0);
    FollowPagesPerSheet(dialog, state, 1, false);
    Changed(dialog);
    return;
  }
  if (chosen == kPoster && WatermarkSelected(state)) {
    ShowModuleMessage(dialog, state->languageModule, kPosterConflict, kLayoutCaption, MB_OK | MB_ICONWARNING);
    pages::SelectChoice(dialog, kPagesPerSheet, previous);
    return;
  }
  if (StoredZoom(state) != 100 && chosen != 1) {
    ShowModuleMessage(dialog, state->languageModule, chosen == kPoster ? kPosterNeedsFullSize : kNupNeedsFullSize,
                      kLayoutCaption, MB_OK | MB_ICONWARNING);
    pages::SelectChoice(dialog, kPagesPerSheet, previous);
    return;
  }
  if (chosen != previous) {
    SetField(state, "MultipleUp", chosen);
    if (SingleSheet(chosen)) SetField(state, "PageBorder", 0);
    SetField(state, "PageOrder", 0);
  }
  FollowPagesPerSheet(dialog, state, chosen, true);
  Changed(dialog);
}

void ChooseOrientation(HWND dialog, SheetState* state, int button) {
  const LONG orientation = button == kLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  if (orientation == Public(state, DM_ORIENTATION)) return;
  SetPublicField(state, DM_ORIENTATION, orientation);
  if (Field(state, "MultipleUp") == 2) {
    FillOrder(dialog, state->languageModule, 2, orientation == DMORIENT_LANDSCAPE);
    SendDlgItemMessageW(dialog, kOrder, CB_SETCURSEL, 0, 0);
    SetField(state, "PageOrder", 0);
  }
  Changed(dialog);
}

void ChooseOrder(HWND dialog, SheetState* state) {
  const int current = Field(state, "PageOrder");
  int order;
  if (Field(state, "MultipleUp") == 2) {
    const auto position = SendDlgItemMessageW(dialog, kOrder, CB_GETCURSEL, 0, 0);
    if (position < 0) return;
    order = static_cast<int>(position);
  } else {
    order = pages::SelectedChoice(dialog, kOrder, current);
  }
  if (order == current) return;
  SetField(state, "PageOrder", order);
  Changed(dialog);
}

void ChooseBorder(HWND dialog, SheetState* state) {
  const auto position = SendDlgItemMessageW(dialog, kBorder, CB_GETCURSEL, 0, 0);
  if (position < 0 || position == Field(state, "PageBorder")) return;
  SetField(state, "PageBorder", static_cast<int>(position));
  Changed(dialog);
}

void ChooseDensity(HWND dialog, SheetState* state) {
  const auto position = SendDlgItemMessageW(dialog, kDensity, CB_GETCURSEL, 0, 0);
  if (position < 0) return;
  SetField(state, "Thickness", static_cast<int>(position));
  Changed(dialog);
}

void ToggleTonerSaving(HWND dialog, SheetState* state) {
  const bool saving = Field(state, "TonerSavingMode") == 0;
  SetField(state, "TonerSavingMode", saving ? 1 : 0);
  SetField(state, "Thickness", saving ? 0 : 1);
  CheckDlgButton(dialog, kTonerSaving, saving ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageW(dialog, kDensity, CB_SETCURSEL, saving ? 0 : 1, 0);
  EnableControls(dialog, state);
  Changed(dialog);
}

void ToggleRotate180(HWND dialog, SheetState* state) {
  const bool rotate = Field(state, "Rotate180") == 0;
  SetField(state, "Rotate180", rotate ? 1 : 0);
  CheckDlgButton(dialog, kRotate180, rotate ? BST_CHECKED : BST_UNCHECKED);
  Changed(dialog);
}

// While typing, only a value the box allows is taken, so "50" on the way to "500" is not.
void ZoomTyped(HWND dialog, SheetState* state) {
  const LayoutController* controller = Controller();
  if (controller != nullptr && controller->settingZoomText) return;
  const int zoom = TypedZoom(dialog);
  if (zoom < kZoomLow || zoom > kZoomHigh || zoom == StoredZoom(state)) return;
  SetZoom(state, zoom);
  Changed(dialog);
}

void ZoomLeft(HWND dialog, SheetState* state) {
  const int zoom = std::clamp(TypedZoom(dialog), kZoomLow, kZoomHigh);
  const bool differs = zoom != StoredZoom(state);
  if (differs) SetZoom(state, zoom);
  SetZoomText(dialog, zoom);
  if (differs) Changed(dialog);
}

void RestoreDefaults(HWND dialog, SheetState* state) {
  SetField(state, "MultipleUp", 1);
  SetField(state, "PageOrder", 0);
  SetField(state, "PageBorder", 0);
  SetPublicField(state, DM_ORIENTATION, DMORIENT_PORTRAIT);
  SetZoom(state, 100);
  SetField(state, "Rotate180", 0);
  SetField(state, "Thickness", 1);
  SetField(state, "TonerSavingMode", 0);
  ShowSettings(dialog, state);
  Changed(dialog);
}

bool Command(HWND dialog, int id, WORD code) {
  SheetState* state = pages::PageState(dialog);
  if (state == nullptr || state->devmode == nullptr || Controller() == nullptr) return false;
  switch (id) {
    case kPagesPerSheet:
      if (code == CBN_SELCHANGE) ChoosePagesPerSheet(dialog, state);
      return true;
    case kOrder:
      if (code == CBN_SELCHANGE) ChooseOrder(dialog, state);
      return true;
    case kBorder:
      if (code == CBN_SELCHANGE) ChooseBorder(dialog, state);
      return true;
    case kDensity:
      if (code == CBN_SELCHANGE) ChooseDensity(dialog, state);
      return true;
    case kPortrait:
    case kLandscape:
      if (code == BN_CLICKED) ChooseOrientation(dialog, state, id);
      return true;
    case kZoom:
      if (code == EN_CHANGE) ZoomTyped(dialog, state);
      if (code == EN_KILLFOCUS) ZoomLeft(dialog, state);
      return true;
    case kTonerSaving:
      if (code == BN_CLICKED) ToggleTonerSaving(dialog, state);
      return true;
    case kRotate180:
      if (code == BN_CLICKED) ToggleRotate180(dialog, state);
      return true;
    case kDefaults:
      if (code == BN_CLICKED) RestoreDefaults(dialog, state);
      return true;
    default:
      return false;
  }
}

}  // namespace

LONG_PTR WINAPI LayoutPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const LONG_PTR handled = pages::DefaultPageMessage(dialog, message, lParam);
      if (SheetState* state = pages::PageState(dialog)) Initialise(dialog, state);
      return handled;
    }
    case WM_COMMAND:
      return Command(dialog, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      SheetState* state = pages::PageState(dialog);
      if (item == nullptr || item->CtlID != kPreview || state == nullptr || state->devmode == nullptr) return FALSE;
      preview::PaintLayoutPreview(*item, state->languageModule,
                                  preview::LayoutInputsFrom(Public(state, DM_ORIENTATION), state->devmode->priv));
      return TRUE;
    }
    case WM_HELP: {
      const auto* help = reinterpret_cast<const HELPINFO*>(lParam);
      if (help != nullptr) ShowContextHelp(dialog, help->iCtrlId, kHelp);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const NMHDR*>(lParam);
      SheetState* state = pages::PageState(dialog);
      if (n != nullptr && state != nullptr && state->devmode != nullptr && Controller() != nullptr) {
        // Other pages change the orientation, two-sided printing and the watermark.
        if (n->code == PSN_SETACTIVE) ShowSettings(dialog, state);
        // A zoom still being typed counts when the user leaves the page or applies.
        if (n->code == PSN_KILLACTIVE && IsWindowEnabled(GetDlgItem(dialog, kZoom))) ZoomLeft(dialog, state);
      }
      return pages::DefaultPageMessage(dialog, message, lParam);
    }
    default:
      return pages::DefaultPageMessage(dialog, message, lParam);
  }
}

}  // namespace ui
