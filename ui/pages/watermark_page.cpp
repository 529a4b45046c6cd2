// The watermark page: the saved watermark list, the two editors, first-page-only, the overlay
// name, the two carried flags, the link and the preview of the chosen watermark.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devmode/builtin_watermarks.h"
#include "entry/language.h"
#include "entry/property_sheets.h"
#include "pages/font_substitution_dialog.h"
#include "pages/page_support.h"
#include "pages/pages.h"
#include "pages/watermark_editors.h"
#include "platform/utf16.h"
#include "pages/watermark_paint.h"
#include "store/settings_editing.h"
#include "win/dialogs.h"
#include "win/error.h"
#include "win/printer_ui.h"
#include "win/spooler.h"

namespace ui {

namespace {

using devmode::WatermarkRecord;
using namespace pages;

// Controls of template 645. The list's id is shared with the other pages' code and tools.
constexpr int kList = 1500;
constexpr int kGroup = 6540;
constexpr int kNewText = 6541;
constexpr int kNewImage = 6542;
constexpr int kEdit = 6543;
constexpr int kDelete = 6544;
constexpr int kDefaults = 6545;
constexpr int kFirstPageOnly = 6546;
constexpr int kPortraitPreview = 6547;
constexpr int kLandscapePreview = 6548;
constexpr int kOverlayName = 6549;
constexpr int kFlagOn = 6550;
constexpr int kFlagOff = 6551;
constexpr int kFlagOption = 6552;
constexpr int kLink = 6554;

constexpr UINT kCheckImageMessage = 0x500;
constexpr UINT kLinkAddress = 6526;
constexpr DWORD kPageHelpTopic = 513;
constexpr size_t kOverlayNameChars = 127;
constexpr int kBuiltInTemplate = 3;  // "<New>", where a new watermark starts

constexpr std::pair<int, UINT> kLabels[] = {
    {kGroup, 6500},         {kNewText, 6501},  {kNewImage, 6506}, {kEdit, 6507},   {kDelete, 6508},
    {kDefaults, 6509},      {kFirstPageOnly, 6510}, {kFlagOn, 6521},  {kFlagOff, 6522}, {kFlagOption, 6523},
    {kLink, 6525},
};

constexpr HelpContext kHelp[] = {
    {kList, 514},     {kNewText, 515},       {kNewImage, 516},         {kEdit, 517},        {kDelete, 518},
    {kDefaults, 519}, {kFirstPageOnly, 520}, {kPortraitPreview, 521}, {kOverlayName, 522},
};

// The page's per-thread data: which preview is shown, whether images may be added, the list in
// its shown order, and the record chosen since the page became active.
class WatermarkPageController : public PageController {
 public:
  void CommitInto(SheetState& state) override {
    if (!pending || !state.devmode) return;
    state.devmode->priv.WatermarkData = *pending;
    pending.reset();
  }

  bool imagesAllowed = true;
  bool landscape = false;
  std::vector<WatermarkRecord> listed;
  std::optional<WatermarkRecord> pending;
};

WatermarkPageController& Controller() {
  auto& slot = ThreadPageControllers().at(ControllerSlot::DecorationEditor);
  if (!slot) slot = std::make_unique<WatermarkPageController>();
  return static_cast<WatermarkPageController&>(*slot);
}

std::u16string NameOf(const WatermarkRecord& r) { return std::u16string(platform::WideField(r.Name, std::size(r.Name))); }

WatermarkRecord BuiltIn(int index) {
  WatermarkRecord r = devmode::BuiltInWatermark(index);
  r.WatermarkIndex = static_cast<uint16_t>(index < kBuiltInListed ? index : 0);
  return r;
}

WatermarkRecord CurrentRecord(SheetState* s) {
  WatermarkRecord r{};
  if (GetPrivateField(s, "WatermarkData", &r, sizeof r) != S_OK) {
    r = BuiltIn(0);
    SetPrivateField(s, "WatermarkData", &r, sizeof r);
  }
  return r;
}

void SetCurrentRecord(SheetState* s, const WatermarkRecord& r) {
  SetPrivateField(s, "WatermarkData", &r, sizeof r);
  Controller().pending = r;
}

uint16_t ReadFlag(SheetState* s, const char* name) {
  uint16_t v = 0;
  return GetPrivateField(s, name, &v, sizeof v) == S_OK ? v : 0;
}
void WriteFlag(SheetState* s, const char* name, uint16_t v) { SetPrivateField(s, name, &v, sizeof v); }

void Enable(HWND page, int id, bool on) {
  if (HWND control = GetDlgItem(page, id)) EnableWindow(control, on ? TRUE : FALSE);
}

void RedrawPreview(HWND page) {
  HWND preview = GetDlgItem(page, Controller().landscape ? kLandscapePreview : kPortraitPreview);
  if (preview != nullptr) InvalidateRect(preview, nullptr, FALSE);
}

// The store's records by index, seeded with the built-ins when empty; the store is rewritten in
// that order when it was kept otherwise. At most 16 are listed.
std::vector<WatermarkRecord> SortedStore() {
  WatermarkStore store;
  bool readable = false;
  std::vector<WatermarkRecord> stored = StoredWatermarks(store, &readable);
  if (!readable) return {BuiltIn(0), BuiltIn(1), BuiltIn(2)};
  if (stored.empty()) {
    SeedWatermarkStore(store);
    stored = StoredWatermarks(store);
    if (stored.empty()) return {BuiltIn(0), BuiltIn(1), BuiltIn(2)};
  }
  std::vector<WatermarkRecord> sorted = stored;
  std::stable_sort(sorted.begin(), sorted.end(), [](const WatermarkRecord& a, const WatermarkRecord& b) {
    return a.WatermarkIndex < b.WatermarkIndex;
  });
  bool reordered = false;
  for (size_t i = 0; i < sorted.size(); ++i) reordered = reordered || NameOf(sorted[i]) != NameOf(stored[i]);
  if (reordered) {
    for (const auto& r : stored) (void)store.Remove(NameOf(r));
    for (const auto& r : sorted) (void)store.Save(NameOf(r), RecordBytes(r));
  }
  if (sorted.size() > static_cast<size_t>(kStoreCapacity)) sorted.resize(kStoreCapacity);
  return sorted;
}

// Fills the list and selects the current record's entry (entry 0, and the devmode's record
// reset, when it has none). The selected position.
int FillList(HWND page, SheetState* s) {
  WatermarkPageController& c = Controller();
  c.listed = SortedStore();
  SendDlgItemMessageW(page, kList, LB_RESETCONTENT, 0, 0);
  for (const auto& r : c.listed) {
    std::u16string name = NameOf(r);
    LRESULT at = SendDlgItemMessageW(page, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (at >= 0) SendDlgItemMessageW(page, kList, LB_SETITEMDATA, static_cast<WPARAM>(at), r.WatermarkIndex);
  }
  WatermarkRecord current = CurrentRecord(s);
  int selected = -1;
  for (size_t i = 0; i < c.listed.size() && selected < 0; ++i) {
    if (c.listed[i].WatermarkIndex == current.WatermarkIndex && NameOf(c.listed[i]) == NameOf(current))
      selected = static_cast<int>(i);
  }
  if (selected < 0) {
    selected = 0;
    WatermarkRecord none = BuiltIn(0);
    SetPrivateField(s, "WatermarkData", &none, sizeof none);
  }
  SendDlgItemMessageW(page, kList, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  return selected;
}

// Layout (private offset 288) set: no watermark can be chosen. Otherwise the buttons follow the
// selected record's index.
void ApplyEnablingRules(HWND page, SheetState* s) {
  const WatermarkPageController& c = Controller();
  bool layout = s->devmode->priv.reserved288 != 0;
  if (layout) {
    SendDlgItemMessageW(page, kList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    for (int id : {kGroup, kList, kNewText, kNewImage, kEdit, kDelete, kFirstPageOnly}) Enable(page, id, false);
    CheckDlgButton(page, kFirstPageOnly, BST_UNCHECKED);
    return;
  }
  uint16_t index = CurrentRecord(s).WatermarkIndex;
  for (int id : {kGroup, kList, kNewText}) Enable(page, id, true);
  Enable(page, kNewImage, c.imagesAllowed);
  Enable(page, kEdit, index >= kBuiltInListed);
  Enable(page, kDelete, index >= kBuiltInListed);
  if (index == 0) CheckDlgButton(page, kFirstPageOnly, BST_UNCHECKED);
  Enable(page, kFirstPageOnly, index > 0);
}

// Images may be added for a local printer, or when the printer cannot be asked.
bool ImagesAllowed(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  if (needed < sizeof(PRINTER_INFO_2W)) return true;
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return true;
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  return info->pServerName == nullptr || info->pServerName[0] == 0;
}

void ShowFlags(HWND page, SheetState* s) {
  const auto& priv = s->devmode->priv;
  CheckRadioButton(page, kFlagOn, kFlagOff, priv.interfaceFlagA != 0 ? kFlagOn : kFlagOff);
  CheckDlgButton(page, kFlagOption, priv.interfaceFlagB != 0 ? BST_CHECKED : BST_UNCHECKED);
  Enable(page, kFlagOption, priv.interfaceFlagA != 0);
}

void ShowOverlayName(HWND page, SheetState* s) {
  const auto& priv = s->devmode->priv;
  std::u16string name(platform::WideField(priv.OverlayFileName, std::size(priv.OverlayFileName)));
  size_t dot = name.rfind(u'.');
  if (dot != std::u16string::npos) name.resize(dot);
  if (name.size() > kOverlayNameChars) name.resize(kOverlayNameChars);
  SetDlgItemTextW(page, kOverlayName, name.c_str());
}

void Initialise(HWND page, SheetState* s) {
  WatermarkPageController& c = Controller();
  c.pending.reset();
  SetLabels(page, s->languageModule, kLabels);
  c.landscape = s->devmode->pub.dmOrientation == DMORIENT_LANDSCAPE;
  if (HWND p = GetDlgItem(page, kPortraitPreview)) ShowWindow(p, c.landscape ? SW_HIDE : SW_SHOW);
  if (HWND l = GetDlgItem(page, kLandscapePreview)) ShowWindow(l, c.landscape ? SW_SHOW : SW_HIDE);
  (void)CurrentRecord(s);
  FillList(page, s);
  CheckDlgButton(page, kFirstPageOnly, ReadFlag(s, "FirstPageOnly") != 0 ? BST_CHECKED : BST_UNCHECKED);
  c.imagesAllowed = ImagesAllowed(s->printer);
  ApplyEnablingRules(page, s);
  ShowOverlayName(page, s);
  ShowFlags(page, s);
  WatermarkRecord current = CurrentRecord(s);
  if (current.WatermarkKind == 2 &&
      CheckWatermarkImageFile(platform::WideField(current.ImagePath, std::size(current.ImagePath))) == 0)
    PostMessageW(page, kCheckImageMessage, 0, 0);
  RedrawPreview(page);
}

int SelectedPosition(HWND page) {
  return static_cast<int>(SendDlgItemMessageW(page, kList, LB_GETCURSEL, 0, 0));
}

void SelectionChanged(HWND page, SheetState* s) {
  int at = SelectedPosition(page);
  if (at < 0) return;
  WCHAR text[kListNameChars] = {};
  if (SendDlgItemMessageW(page, kList, LB_GETTEXTLEN, static_cast<WPARAM>(at), 0) >= static_cast<LRESULT>(std::size(text)))
    return;
  SendDlgItemMessageW(page, kList, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text));
  std::u16string name(platform::WideField(text, std::size(text)));
  for (const auto& r : Controller().listed) {
    if (NameOf(r) != name) continue;
    SetCurrentRecord(s, r);
    break;
  }
  ApplyEnablingRules(page, s);
  RedrawPreview(page);
  MarkChanged(page);
}

// After an editor's OK: the list again, with the editor's record (now the devmode's) selected.
void EditorDone(HWND page, SheetState* s) {
  Controller().pending = CurrentRecord(s);
  FillList(page, s);
  ApplyEnablingRules(page, s);
  RedrawPreview(page);
  MarkChanged(page);
}

void EditSelected(HWND page, SheetState* s) {
  int at = SelectedPosition(page);
  const auto& listed = Controller().listed;
  if (at <= 0 || static_cast<size_t>(at) >= listed.size()) return;
  WatermarkEditRequest request{s, listed[static_cast<size_t>(at)], false};
  INT_PTR result = request.record.WatermarkKind == 1 ? RunTextWatermarkEditor(page, request)
                                                     : RunImageWatermarkEditor(page, request);
  if (result == IDOK) EditorDone(page, s);
}

void NewWatermark(HWND page, SheetState* s, bool image) {
  WatermarkStore store;
  if (StoredWatermarks(store).size() >= static_cast<size_t>(kStoreCapacity)) {
    ShowModuleMessage(page, s->languageModule, kMsgWatermarksFull, kCaptionDriver, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (image && !Controller().imagesAllowed) return;
  WatermarkEditRequest request{s, BuiltIn(kBuiltInTemplate), true};
  if (image) {
    request.record.WatermarkKind = 2;
    request.record.Scale = 100;  // the template's 0 would draw no image
    request.record.Reserved802 = 0;
  }
  INT_PTR result = image ? RunImageWatermarkEditor(page, request) : RunTextWatermarkEditor(page, request);
  if (result == IDOK) EditorDone(page, s);
}

void DeleteSelected(HWND page, SheetState* s) {
  int at = SelectedPosition(page);
  WatermarkPageController& c = Controller();
  if (at < kBuiltInListed || static_cast<size_t>(at) >= c.listed.size()) return;
  WatermarkStore store;
  (void)store.Remove(NameOf(c.listed[static_cast<size_t>(at)]));
  SendDlgItemMessageW(page, kList, LB_DELETESTRING, static_cast<WPARAM>(at), 0);
  c.listed.erase(c.listed.begin() + at);
  SendDlgItemMessageW(page, kList, LB_SETCURSEL, 0, 0);
  SetCurrentRecord(s, c.listed.front());
  SetFocus(GetDlgItem(page, kNewText));
  ApplyEnablingRules(page, s);
  RedrawPreview(page);
  MarkChanged(page);
}

void Defaults(HWND page, SheetState* s) {
  WriteFlag(s, "FirstPageOnly", 0);
  SetCurrentRecord(s, BuiltIn(0));
  WriteFlag(s, "OverlayFlag", 0);
  s->devmode->priv.interfaceFlagA = 1;
  s->devmode->priv.interfaceFlagB = 0;
  SendDlgItemMessageW(page, kList, LB_SETCURSEL, 0, 0);
  CheckDlgButton(page, kFirstPageOnly, BST_UNCHECKED);
  ShowFlags(page, s);
  ApplyEnablingRules(page, s);
  RedrawPreview(page);
  MarkChanged(page);
}

void Command(HWND page, SheetState* s, int id, WORD code) {
  auto& priv = s->devmode->priv;
  switch (id) {
    case kList:
      if (code == LBN_SELCHANGE) SelectionChanged(page, s);
      if (code == LBN_DBLCLK && SelectedPosition(page) >= kBuiltInListed) EditSelected(page, s);
      return;
    case kEdit:
      if (code == BN_CLICKED) EditSelected(page, s);
      return;
    case kNewText:
    case kNewImage:
      if (code == BN_CLICKED) NewWatermark(page, s, id == kNewImage);
      return;
    case kDelete:
      if (code == BN_CLICKED) DeleteSelected(page, s);
      return;
    case kDefaults:
      if (code == BN_CLICKED) Defaults(page, s);
      return;
    case kFirstPageOnly:
      if (code == BN_CLICKED) {
        uint16_t on = IsDlgButtonChecked(page, kFirstPageOnly) == BST_CHECKED ? 1 : 0;
        if (on != ReadFlag(s, "FirstPageOnly")) WriteFlag(s, "FirstPageOnly", on);
        MarkChanged(page);
      }
      return;
    case kFlagOn:
    case kFlagOff:
      if (code != BN_CLICKED) return;
      priv.interfaceFlagA = id == kFlagOn ? 1 : 0;
      if (id == kFlagOff) priv.interfaceFlagB = 0;
      ShowFlags(page, s);
      MarkChanged(page);
      return;
    case kFlagOption:
      if (code == BN_CLICKED) {
        priv.interfaceFlagB = IsDlgButtonChecked(page, kFlagOption) == BST_CHECKED ? 1 : 0;
        MarkChanged(page);
      }
      return;
    case kLink:
      if (code == BN_CLICKED) {
        std::u16string address = ModuleText(s->languageModule, kLinkAddress);
        ShellExecuteW(page, u"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      }
      return;
    default:
      return;
  }
}

LONG_PTR Notify(HWND page, SheetState* s, const NMHDR& n, LPARAM lParam) {
  switch (n.code) {
    case PSN_SETACTIVE:
      Initialise(page, s);
      return FALSE;
    case PSN_KILLACTIVE:
      if (PageControllerSet* set = FindThreadPageControllers()) {
        if (auto* c = static_cast<WatermarkPageController*>(set->get(ControllerSlot::DecorationEditor))) c->pending.reset();
      }
      return FALSE;
    case PSN_APPLY:
      (void)CurrentRecord(s);
      ApplySheetResult(page, s);
      return TRUE;
    case PSN_HELP: {
      constexpr HelpContext kPage[] = {{0, kPageHelpTopic}};
      ShowContextHelp(page, 0, kPage);
      return TRUE;
    }
    case PSN_QUERYCANCEL:
      ReleaseFontFamilyCache();
      return FALSE;
    default:
      return DefaultPageMessage(page, WM_NOTIFY, lParam);
  }
}

}  // namespace

LONG_PTR WINAPI WatermarkPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return DefaultPageMessage(dialog, message, lParam);
  SheetState* s = PageState(dialog);
  if (s == nullptr || !s->devmode) return FALSE;
  switch (message) {
    case WM_NOTIFY:
      if (lParam == 0) return FALSE;
      return Notify(dialog, s, *reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_COMMAND:
      Command(dialog, s, LOWORD(static_cast<DWORD>(wParam)), HIWORD(static_cast<DWORD>(wParam)));
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item == nullptr ||
          (static_cast<int>(item->CtlID) != kPortraitPreview && static_cast<int>(item->CtlID) != kLandscapePreview))
        return FALSE;
      PaintWatermarkItem(lParam, CurrentRecord(s));
      return TRUE;
    }
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
      if (info != nullptr) ShowContextHelp(dialog, info->iCtrlId, kHelp);
      return TRUE;
    }
    case kCheckImageMessage:
      // The image may have become readable only now: paint it again.
      RedrawPreview(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace ui
