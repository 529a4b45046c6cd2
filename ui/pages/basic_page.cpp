// The basic page: paper size, orientation and favourites.
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "devmode/caller_merge.h"
#include "entry/device_capabilities.h"
#include "entry/language.h"
#include "entry/property_sheets.h"
#include "pages/custom_paper_editor.h"
#include "pages/page_support.h"
#include "pages/pages.h"
#include "pages/paper_rules.h"
#include "platform/utf16.h"
#include "store/settings_editing.h"
#include "win/dialogs.h"
#include "win/printer_ui.h"

namespace ui {
namespace {

enum : int {
  kFavorites = 1110,  // editable: the user types a new favourite's name here
  kSaveFavorite = 1111,
  kDeleteFavorite = 1112,
  kPaperList = 6011,
  kCustomPaper = 6012,
  kPortrait = 6014,
  kLandscape = 6015,
  kDefaults = 6017,
};

constexpr UINT kDefaultFavoriteName = 202;
constexpr UINT kMsgFavoriteTooLong = 6066;
constexpr UINT kMsgFavoriteNotSaved = 6067;
constexpr UINT kMsgFavoriteUnknown = 6068;

constexpr HelpContext kHelp[] = {
    {kPaperList, 6011},    {kCustomPaper, 6012},  {kPortrait, 6014},       {kLandscape, 6015},
    {kFavorites, 1110}, {kSaveFavorite, 1111}, {kDeleteFavorite, 1112}, {kDefaults, 6017},
};

constexpr int kControls[] = {kPaperList, kCustomPaper, kPortrait, kLandscape,
                             kFavorites, kSaveFavorite, kDeleteFavorite, kDefaults};

// The user's custom papers as the page listed them, kept for the thread's sheet so the editor
// can start from the paper that is selected.
class BasicPageController : public PageController {
 public:
  std::vector<devmode::CustomPaperRecord> papers;

  const devmode::CustomPaperRecord* Find(int id) const {
    for (const auto& p : papers) {
      if (static_cast<int>(p.paperId) == id) return &p;
    }
    return nullptr;
  }
};

BasicPageController& Controller() {
  auto& slot = ThreadPageControllers().at(ControllerSlot::CustomPaperEditor);
  if (!slot) slot = std::make_unique<BasicPageController>();
  return static_cast<BasicPageController&>(*slot);
}

LONG Field(SheetState* state, DWORD field) {
  LONG v = 0;
  GetPublicField(state, field, &v);
  return v;
}

std::u16string ComboText(HWND dialog, int id) {
  WCHAR text[kFavoriteBoxChars + 1] = {};
  UINT n = GetDlgItemTextW(dialog, id, text, static_cast<int>(std::size(text)));
  return std::u16string(text, n);
}

// The entry whose text is exactly `text` (the box's own search ignores case; stored names do not).
int FindExact(HWND dialog, int id, std::u16string_view text) {
  LRESULT count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0 || static_cast<size_t>(length) != text.size()) continue;
    std::u16string item(static_cast<size_t>(length) + 1, u'\0');
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<size_t>(length));
    if (item == text) return static_cast<int>(i);
  }
  return -1;
}

void FillPapers(HWND dialog, SheetState* state) {
  HMODULE module = state->languageModule;
  std::vector<pages::Choice> choices;
  for (const auto& p : StandardPapers()) choices.push_back({p.nameId, p.paper});
  pages::FillChoices(dialog, kPaperList, module, choices);
  BasicPageController& c = Controller();
  c.papers = CustomPaperStore().Records();
  for (size_t i = 0; i < c.papers.size(); ++i) {
    const auto& p = c.papers[i];
    std::u16string text = CustomPaperDisplayName(platform::WideField(p.name, std::size(p.name)), static_cast<int>(i),
                                                 p.width, p.height);
    LRESULT index = SendDlgItemMessageW(dialog, kPaperList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0) SendDlgItemMessageW(dialog, kPaperList, CB_SETITEMDATA, static_cast<WPARAM>(index), p.paperId);
  }
}

void FillFavorites(HWND dialog) {
  SendDlgItemMessageW(dialog, kFavorites, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageW(dialog, kFavorites, CB_LIMITTEXT, kFavoriteBoxChars, 0);
  auto items = FavoriteStore().Items();
  if (!items) return;
  for (const auto& item : *items) {
    SendDlgItemMessageW(dialog, kFavorites, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.name.c_str()));
  }
}

// The controls as the working devmode has them.
void ShowSettings(HWND dialog, SheetState* state) {
  pages::SelectChoice(dialog, kPaperList, Field(state, DM_PAPERSIZE));
  CheckRadioButton(dialog, kPortrait, kLandscape, Field(state, DM_ORIENTATION) == DMORIENT_LANDSCAPE ? kLandscape : kPortrait);
  WCHAR name[256] = {};
  GetPrivateField(state, "FavoriteName", name, sizeof name);
  std::u16string text(platform::WideField(name, std::size(name)));
  int index = FindExact(dialog, kFavorites, text);
  if (index >= 0) {
    SendDlgItemMessageW(dialog, kFavorites, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  } else {
    SetDlgItemTextW(dialog, kFavorites, text.c_str());
  }
}

// A paper and the sizes that go with it; two-sided printing ends when the paper cannot take it.
void WritePaper(HWND dialog, SheetState* state, int paper) {
  devmode::PageGeometry size{};
  const BasicPageController& c = Controller();
  auto lookup = [&c](int id, devmode::CustomPaperRecord* out) {
    const devmode::CustomPaperRecord* p = c.Find(id);
    if (p != nullptr) *out = *p;
    return p != nullptr;
  };
  if (!devmode::LookupPaperSize(paper, true, lookup, &size)) return;
  SetPublicField(state, DM_PAPERSIZE, paper);
  SetPublicField(state, DM_PAPERWIDTH, devmode::PixelsToTenthMm(size.width));
  SetPublicField(state, DM_PAPERLENGTH, devmode::PixelsToTenthMm(size.height));
  if (pages::TwoSidedDuplex(Field(state, DM_DUPLEX)) && !pages::TwoSidedPaperSize(paper)) {
    pages::MakeOneSided(state);
    pages::ShowConflict(dialog, state, pages::kMsgPaperOneSided);
  }
}

// The locale's default paper, for a devmode whose paper the page does not offer (a custom paper
// deleted since it was chosen).
void RepairPaper(HWND dialog, SheetState* state) {
  if (pages::SelectChoice(dialog, kPaperList, Field(state, DM_PAPERSIZE)) >= 0) return;
  devmode::StoredDevmode initial{};
  const int fallback = InitialSheetSettings(&initial) ? initial.pub.dmPaperSize : DMPAPER_A4;
  WritePaper(dialog, state, fallback);
}

void Init(HWND dialog, SheetState* state) {
  FavoriteStore favorites;
  // The first favourite holds the settings the driver starts from; it cannot be deleted.
  if (favorites.EnsureSettingsSkeleton() && favorites.Count() == 0) {
    auto initial = std::make_unique<devmode::StoredDevmode>();
    if (InitialSheetSettings(initial.get())) {
      std::u16string name = pages::ModuleText(state->languageModule, kDefaultFavoriteName);
      SaveFavorite(favorites, dialog, state->languageModule, name, *initial);
    }
  }
  FillPapers(dialog, state);
  FillFavorites(dialog);
  RepairPaper(dialog, state);
  ShowSettings(dialog, state);
  if (state->readOnly != 0) {
    for (int id : kControls) EnableWindow(GetDlgItem(dialog, id), FALSE);
  }
}

void ApplyFavorite(HWND dialog, SheetState* state) {
  LRESULT index = SendDlgItemMessageW(dialog, kFavorites, CB_GETCURSEL, 0, 0);
  if (index < 0) return;
  LRESULT length = SendDlgItemMessageW(dialog, kFavorites, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return;
  std::u16string name(static_cast<size_t>(length) + 1, u'\0');
  SendDlgItemMessageW(dialog, kFavorites, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name.data()));
  name.resize(static_cast<size_t>(length));
  devmode::StoredDevmode& working = *state->devmode;
  const auto kept = std::make_unique<devmode::StoredDevmode>(working);
  if (!FavoriteStore().LoadInto(name, working)) {
    pages::ShowConflict(dialog, state, kMsgFavoriteUnknown);
    FillFavorites(dialog);
    ShowSettings(dialog, state);
    return;
  }
  // A favourite may come from an older driver or another printer: keep this printer's name and
  // bring every field back into its range.
  std::memcpy(working.pub.dmDeviceName, kept->pub.dmDeviceName, sizeof working.pub.dmDeviceName);
  working.pub.dmSize = kept->pub.dmSize;
  working.pub.dmDriverExtra = kept->pub.dmDriverExtra;
  working.pub.dmSpecVersion = kept->pub.dmSpecVersion;
  working.pub.dmDriverVersion = kept->pub.dmDriverVersion;
  working.pub.dmFields = kept->pub.dmFields;
  devmode::ValidatePrivateBlock(&working.priv, pages::ModuleText(state->languageModule, kDefaultFavoriteName));
  for (DWORD f : {DM_ORIENTATION, DM_COPIES, DM_COLLATE, DM_MEDIATYPE}) Field(state, f);
  std::memset(working.priv.CustomPaperSize, 0, sizeof working.priv.CustomPaperSize);
  if (pages::TwoSidedDuplex(Field(state, DM_DUPLEX)) && !pages::TwoSidedAllowed(state)) pages::MakeOneSided(state);
  FillPapers(dialog, state);
  RepairPaper(dialog, state);
  ShowSettings(dialog, state);
  pages::MarkChanged(dialog);
}

void SaveFavoriteNow(HWND dialog, SheetState* state) {
  std::u16string text = ComboText(dialog, kFavorites);
  FavoriteStore store;
  EditOutcome outcome = SaveFavorite(store, dialog, state->languageModule, text, *state->devmode);
  if (outcome == EditOutcome::NameTooLong) pages::ShowConflict(dialog, state, kMsgFavoriteTooLong);
  if (outcome == EditOutcome::Failed) pages::ShowConflict(dialog, state, kMsgFavoriteNotSaved);
  if (outcome != EditOutcome::Saved && outcome != EditOutcome::Replaced) return;
  std::u16string name = TrimName(text.substr(0, kFavoriteBoxChars));
  if (int old = FindExact(dialog, kFavorites, name); old >= 0) {
    SendDlgItemMessageW(dialog, kFavorites, CB_DELETESTRING, static_cast<WPARAM>(old), 0);
  }
  LRESULT index = SendDlgItemMessageW(dialog, kFavorites, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  if (index >= 0) SendDlgItemMessageW(dialog, kFavorites, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  pages::MarkChanged(dialog);
}

void DeleteFavoriteNow(HWND dialog, SheetState* state) {
  std::u16string text = ComboText(dialog, kFavorites);
  FavoriteStore store;
  EditOutcome outcome = DeleteFavorite(store, dialog, text);
  if (outcome == EditOutcome::NotFound) pages::ShowConflict(dialog, state, kMsgFavoriteUnknown);
  if (outcome != EditOutcome::Deleted) return;
  const std::u16string name = TrimName(text.substr(0, kFavoriteBoxChars));
  if (int old = FindExact(dialog, kFavorites, name); old >= 0) {
    SendDlgItemMessageW(dialog, kFavorites, CB_DELETESTRING, static_cast<WPARAM>(old), 0);
  }
  ShowSettings(dialog, state);
  // The settings in use may carry the deleted name; the box does not offer it again.
  if (ComboText(dialog, kFavorites) == name) SetDlgItemTextW(dialog, kFavorites, u"");
  pages::MarkChanged(dialog);
}

void EditCustomPaper(HWND dialog, SheetState* state) {
  const devmode::CustomPaperRecord* selected = Controller().Find(Field(state, DM_PAPERSIZE));
  std::optional<devmode::CustomPaperRecord> start;
  if (selected != nullptr) start = *selected;
  uint32_t id = pages::RunCustomPaperEditor(dialog, state, start ? &*start : nullptr);
  // The list is read again even when nothing was saved: the store may have changed meanwhile.
  FillPapers(dialog, state);
  if (id != 0) {
    WritePaper(dialog, state, static_cast<int>(id));
    pages::MarkChanged(dialog);
  }
  RepairPaper(dialog, state);
  ShowSettings(dialog, state);
}

void RestoreDefaults(HWND dialog, SheetState* state) {
  devmode::StoredDevmode initial{};
  if (!InitialSheetSettings(&initial)) return;
  SetPublicField(state, DM_ORIENTATION, initial.pub.dmOrientation);
  WritePaper(dialog, state, initial.pub.dmPaperSize);
  ShowSettings(dialog, state);
  pages::MarkChanged(dialog);
}

void Command(HWND dialog, SheetState* state, int id, WORD code) {
  if (id == kPaperList && code == CBN_SELCHANGE) {
    LONG paper = pages::SelectedChoice(dialog, kPaperList, Field(state, DM_PAPERSIZE));
    if (paper == Field(state, DM_PAPERSIZE)) return;
    WritePaper(dialog, state, paper);
    pages::MarkChanged(dialog);
  } else if ((id == kPortrait || id == kLandscape) && code == BN_CLICKED) {
    LONG orientation = id == kLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    if (orientation == Field(state, DM_ORIENTATION)) return;
    SetPublicField(state, DM_ORIENTATION, orientation);
    pages::MarkChanged(dialog);
  } else if (id == kFavorites && code == CBN_SELCHANGE) {
    ApplyFavorite(dialog, state);
  } else if (code == BN_CLICKED) {
    if (id == kSaveFavorite) SaveFavoriteNow(dialog, state);
    if (id == kDeleteFavorite) DeleteFavoriteNow(dialog, state);
    if (id == kCustomPaper) EditCustomPaper(dialog, state);
    if (id == kDefaults) RestoreDefaults(dialog, state);
  }
}

}  // namespace

LONG_PTR WINAPI BasicPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  LONG_PTR handled = pages::DefaultPageMessage(dialog, message, lParam);
  SheetState* state = pages::PageState(dialog);
  // Without its controls (a page that is not a platform dialog, or a module whose template is
  // empty) the page only keeps the sheet state.
  if (state == nullptr || !state->devmode || GetDlgItem(dialog, kPaperList) == nullptr) return handled;
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
    case WM_NOTIFY:
      // Another page may have changed the orientation or applied settings meanwhile.
      if (lParam != 0 && reinterpret_cast<const NMHDR*>(lParam)->code == PSN_SETACTIVE) {
        FillPapers(dialog, state);
        RepairPaper(dialog, state);
        ShowSettings(dialog, state);
      }
      return handled;
    default:
      return handled;
  }
}

}  // namespace ui
