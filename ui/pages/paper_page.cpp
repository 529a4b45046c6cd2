// The paper and image page: paper source, media type, copies, two-sided printing and the image settings.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "entry/language.h"
#include "pages/page_support.h"
#include "pages/pages.h"
#include "pages/paper_rules.h"
#include "win/dialogs.h"
#include "win/printer_ui.h"

namespace ui {
namespace {

enum : int {
  kSource = 6211,
  kMedia = 6213,
  kCopies = 6215,
  kCopiesSpin = 6216,
  kCollate = 6217,
  kTwoSided = 6219,
  kDensity = 6221,
  kResolution = 6223,
  kDefaults = 6224,
};

constexpr LONG kMinCopies = 1, kMaxCopies = 999;

constexpr pages::Choice kSources[] = {{4017, DMBIN_AUTO}, {4019, DMBIN_UPPER}, {4018, DMBIN_MANUAL}};
constexpr pages::Choice kMediaTypes[] = {{6250, 1},   {6251, 264}, {6252, 257}, {6253, 259},
                                         {6254, 263}, {6255, 2},   {6256, 258}};
constexpr pages::Choice kTwoSidedChoices[] = {
    {6257, DMDUP_SIMPLEX}, {6258, DMDUP_VERTICAL}, {6259, DMDUP_HORIZONTAL}};
constexpr pages::Choice kDensities[] = {{165, 0}, {415, 1}, {166, 2}};
constexpr pages::Choice kResolutions[] = {{6260, 600}, {6261, 1200}};

constexpr HelpContext kHelp[] = {
    {kSource, 6211},   {kMedia, 6213},   {kCopies, 6215},      {kCopiesSpin, 6215}, {kCollate, 6217},
    {kTwoSided, 6219}, {kDensity, 6221}, {kResolution, 6223},  {kDefaults, 6224},
};

constexpr int kControls[] = {kSource, kMedia,   kCopies,     kCopiesSpin, kCollate,
                             kTwoSided, kDensity, kResolution, kDefaults};

LONG Field(SheetState* state, DWORD field) {
  LONG v = 0;
  GetPublicField(state, field, &v);
  return v;
}

uint16_t Private16(SheetState* state, const char* name) {
  uint16_t v = 0;
  GetPrivateField(state, name, &v, sizeof v);
  return v;
}

void SetPrivate16(SheetState* state, const char* name, uint16_t v) { SetPrivateField(state, name, &v, sizeof v); }

bool Listed(std::span<const pages::Choice> choices, LONG value) {
  return std::any_of(choices.begin(), choices.end(), [value](const pages::Choice& c) { return c.value == value; });
}

// Values the page cannot show are put back to what the driver starts from, so that what the
// user sees is what prints.
void RepairSettings(SheetState* state) {
  if (!Listed(kMediaTypes, Field(state, DM_MEDIATYPE))) SetPublicField(state, DM_MEDIATYPE, 1);
  if (!Listed(kResolutions, Field(state, DM_PRINTQUALITY))) SetPublicField(state, DM_PRINTQUALITY, 600);
  if (Private16(state, "Thickness") > 2) SetPrivate16(state, "Thickness", 1);
  if (Field(state, DM_COLLATE) > 1) SetPublicField(state, DM_COLLATE, 1);
}

void ShowSettings(HWND dialog, SheetState* state) {
  RepairSettings(state);
  pages::SelectChoice(dialog, kSource, Field(state, DM_DEFAULTSOURCE));
  pages::SelectChoice(dialog, kMedia, Field(state, DM_MEDIATYPE));
  const LONG duplex = Field(state, DM_DUPLEX);
  pages::SelectChoice(dialog, kTwoSided, duplex == 5 ? DMDUP_VERTICAL : duplex);
  pages::SelectChoice(dialog, kDensity, Private16(state, "Thickness"));
  pages::SelectChoice(dialog, kResolution, Field(state, DM_PRINTQUALITY));
  const LONG copies = Field(state, DM_COPIES);
  SendDlgItemMessageW(dialog, kCopiesSpin, UDM_SETPOS32, 0, copies);
  SetDlgItemInt(dialog, kCopies, static_cast<UINT>(copies), FALSE);
  CheckDlgButton(dialog, kCollate, Field(state, DM_COLLATE) == 1 ? BST_CHECKED : BST_UNCHECKED);
  if (state->readOnly != 0) return;
  EnableWindow(GetDlgItem(dialog, kCollate), copies > 1);
  // Toner saving (layout page) prints at the lightest density.
  EnableWindow(GetDlgItem(dialog, kDensity), Private16(state, "TonerSavingMode") == 0);
}

void Init(HWND dialog, SheetState* state) {
  HMODULE module = state->languageModule;
  pages::FillChoices(dialog, kSource, module, kSources);
  pages::FillChoices(dialog, kMedia, module, kMediaTypes);
  pages::FillChoices(dialog, kTwoSided, module, kTwoSidedChoices);
  pages::FillChoices(dialog, kDensity, module, kDensities);
  pages::FillChoices(dialog, kResolution, module, kResolutions);
  SendDlgItemMessageW(dialog, kCopies, EM_LIMITTEXT, 3, 0);
  SendDlgItemMessageW(dialog, kCopiesSpin, UDM_SETRANGE32, kMinCopies, kMaxCopies);
  ShowSettings(dialog, state);
  if (state->readOnly != 0) {
    for (int id : kControls) EnableWindow(GetDlgItem(dialog, id), FALSE);
  }
}

// The copies the box holds, clamped to the printer's range (an empty or unreadable box: 1).
LONG TypedCopies(HWND dialog) {
  BOOL ok = FALSE;
  UINT v = GetDlgItemInt(dialog, kCopies, &ok, FALSE);
  if (!ok) return kMinCopies;
  return std::clamp<LONG>(static_cast<LONG>(std::min<UINT>(v, kMaxCopies + 1)), kMinCopies, kMaxCopies);
}

void WriteCopies(HWND dialog, SheetState* state, LONG copies) {
  if (copies != Field(state, DM_COPIES)) {
    SetPublicField(state, DM_COPIES, copies);
    pages::MarkChanged(dialog);
  }
  if (state->readOnly == 0) EnableWindow(GetDlgItem(dialog, kCollate), copies > 1);
}

// While the user types, a number in range is taken at once; leaving the box settles the rest.
void CopiesTyped(HWND dialog, SheetState* state) {
  BOOL ok = FALSE;
  UINT v = GetDlgItemInt(dialog, kCopies, &ok, FALSE);
  if (ok && v >= static_cast<UINT>(kMinCopies) && v <= static_cast<UINT>(kMaxCopies)) {
    WriteCopies(dialog, state, static_cast<LONG>(v));
  }
}

void CopiesSettled(HWND dialog, SheetState* state) {
  LONG copies = TypedCopies(dialog);
  BOOL ok = FALSE;
  if (GetDlgItemInt(dialog, kCopies, &ok, FALSE) != static_cast<UINT>(copies) || !ok) {
    SetDlgItemInt(dialog, kCopies, static_cast<UINT>(copies), FALSE);
  }
  WriteCopies(dialog, state, copies);
}

void TwoSidedChosen(HWND dialog, SheetState* state) {
  const LONG current = Field(state, DM_DUPLEX);
  const LONG chosen = pages::SelectedChoice(dialog, kTwoSided, current);
  if (chosen == current) return;
  if (pages::TwoSidedDuplex(chosen)) {
    if (UINT refusal = 0; !pages::TwoSidedAllowed(state, &refusal)) {
      pages::ShowConflict(dialog, state, refusal);
      pages::MakeOneSided(state);
      pages::SelectChoice(dialog, kTwoSided, DMDUP_SIMPLEX);
      if (current != DMDUP_SIMPLEX) pages::MarkChanged(dialog);
      return;
    }
  }
  SetPublicField(state, DM_DUPLEX, chosen);
  if (chosen == DMDUP_SIMPLEX) pages::MakeOneSided(state);
  pages::MarkChanged(dialog);
}

void MediaChosen(HWND dialog, SheetState* state) {
  const LONG media = pages::SelectedChoice(dialog, kMedia, Field(state, DM_MEDIATYPE));
  if (media == Field(state, DM_MEDIATYPE)) return;
  SetPublicField(state, DM_MEDIATYPE, media);
  if (pages::TwoSidedDuplex(Field(state, DM_DUPLEX)) && !pages::TwoSidedMedia(media)) {
    pages::MakeOneSided(state);
    pages::SelectChoice(dialog, kTwoSided, DMDUP_SIMPLEX);
    pages::ShowConflict(dialog, state, pages::kMsgMediaOneSided);
  }
  pages::MarkChanged(dialog);
}

void ChoiceChanged(HWND dialog, SheetState* state, int id) {
  if (id == kTwoSided) return TwoSidedChosen(dialog, state);
  if (id == kMedia) return MediaChosen(dialog, state);
  if (id == kSource) {
    LONG source = pages::SelectedChoice(dialog, kSource, Field(state, DM_DEFAULTSOURCE));
    if (source == Field(state, DM_DEFAULTSOURCE)) return;
    SetPublicField(state, DM_DEFAULTSOURCE, source);
  } else if (id == kDensity) {
    LONG density = pages::SelectedChoice(dialog, kDensity, Private16(state, "Thickness"));
    if (density == Private16(state, "Thickness")) return;
    SetPrivate16(state, "Thickness", static_cast<uint16_t>(density));
  } else if (id == kResolution) {
    LONG dpi = pages::SelectedChoice(dialog, kResolution, Field(state, DM_PRINTQUALITY));
    if (dpi == Field(state, DM_PRINTQUALITY)) return;
    // The printer's lines stay 600 dpi apart; 1200 refines the dots along them.
    SetPublicField(state, DM_PRINTQUALITY, dpi);
    SetPublicField(state, DM_YRESOLUTION, 600);
  } else {
    return;
  }
  pages::MarkChanged(dialog);
}

void RestoreDefaults(HWND dialog, SheetState* state) {
  devmode::StoredDevmode initial{};
  if (!InitialSheetSettings(&initial)) return;
  SetPublicField(state, DM_DEFAULTSOURCE, initial.pub.dmDefaultSource);
  SetPublicField(state, DM_MEDIATYPE, static_cast<LONG>(initial.pub.dmMediaType));
  SetPublicField(state, DM_COPIES, initial.pub.dmCopies);
  SetPublicField(state, DM_COLLATE, initial.pub.dmCollate);
  SetPublicField(state, DM_DUPLEX, initial.pub.dmDuplex);
  SetPrivate16(state, "Duplex", initial.priv.Duplex);
  SetPublicField(state, DM_PRINTQUALITY, initial.pub.dmPrintQuality);
  SetPublicField(state, DM_YRESOLUTION, initial.pub.dmYResolution);
  // Toner saving keeps the lightest density it chose.
  if (Private16(state, "TonerSavingMode") == 0) SetPrivate16(state, "Thickness", initial.priv.Thickness);
  ShowSettings(dialog, state);
  pages::MarkChanged(dialog);
}

void Command(HWND dialog, SheetState* state, int id, WORD code) {
  if (code == CBN_SELCHANGE) return ChoiceChanged(dialog, state, id);
  if (id == kCopies && code == EN_CHANGE) return CopiesTyped(dialog, state);
  if (id == kCopies && code == EN_KILLFOCUS) return CopiesSettled(dialog, state);
  if (code != BN_CLICKED) return;
  if (id == kCollate) {
    LONG collate = IsDlgButtonChecked(dialog, kCollate) == BST_CHECKED ? 1 : 0;
    if (collate == Field(state, DM_COLLATE)) return;
    SetPublicField(state, DM_COLLATE, collate);
    pages::MarkChanged(dialog);
  } else if (id == kDefaults) {
    RestoreDefaults(dialog, state);
  }
}

}  // namespace

LONG_PTR WINAPI PaperImagePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  SheetState* state = message == WM_INITDIALOG ? nullptr : pages::PageState(dialog);
  if (message == WM_NOTIFY && lParam != 0 && state != nullptr && GetDlgItem(dialog, kCopies) != nullptr) {
    const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
    // Leaving the page or applying settles a half-typed copy count first.
    if (code == PSN_KILLACTIVE || code == PSN_APPLY) CopiesSettled(dialog, state);
    if (code == PSN_SETACTIVE) ShowSettings(dialog, state);
  }
  LONG_PTR handled = pages::DefaultPageMessage(dialog, message, lParam);
  state = pages::PageState(dialog);
  if (state == nullptr || !state->devmode || GetDlgItem(dialog, kCopies) == nullptr) return handled;
  switch (message) {
    case WM_INITDIALOG:
      Init(dialog, state);
      return TRUE;
    case WM_COMMAND:
      Command(dialog, state, LOWORD(static_cast<DWORD>(wParam)), HIWORD(static_cast<DWORD>(wParam)));
      return TRUE;
    case WM_HELP:
      if (const auto* info = reinterpret_cast<const HELPINFO*>(lParam)) ShowContextHelp(dialog, info->iCtrlId, kHelp);
      return TRUE;
    default:
      return handled;
  }
}

}  // namespace ui
