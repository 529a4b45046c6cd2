// The font substitution dialog. The face list is built once per opening (unless a table was
// saved before), the font families once per sheet; nothing is written until OK.
#include "pages/font_substitution_dialog.h"

#include <memory>
#include <string>
#include <vector>

#include "devmode/trace.h"
#include "entry/language.h"
#include "entry/property_sheets.h"
#include "pages/font_name_table.h"
#include "pages/font_substitution_gdi.h"
#include "pages/font_substitution_table.h"
#include "pages/page_support.h"
#include "platform/utf16.h"
#include "win/findfile.h"
#include "win/modules.h"

namespace ui {

namespace {

constexpr int kFaceList = 6901;
constexpr int kChoice = 6902;
constexpr int kChoiceLabel = 6904;
constexpr int kDefaults = 6905;
constexpr int kHelpButton = 6906;
constexpr UINT kDownloadText = 137;
constexpr int kCornerSize = 20;
constexpr int kCornerClicks = 3;

constexpr HelpContext kHelpTopic[] = {{kHelpButton, 6100}};
constexpr HelpContext kContextHelp[] = {
    {kFaceList, 6101}, {kChoice, 6102}, {kDefaults, 6103}, {IDOK, 6104}, {IDCANCEL, 6105},
};

class FontFamilyCache : public PageController {
 public:
  std::vector<fonts::FontFamily> families;
};

const std::vector<fonts::FontFamily>& ScreenFontFamilies() {
  auto& slot = ThreadPageControllers().at(ControllerSlot::FontFamilies);
  if (slot == nullptr) {
    auto cache = std::make_unique<FontFamilyCache>();
    cache->families = fonts::EnumerateScreenFontFamilies();
    slot = std::move(cache);
  }
  return static_cast<FontFamilyCache*>(slot.get())->families;
}

// Full names from every file of the Windows folder's "Fonts" folder, in the order found.
std::vector<std::u16string> FontFileNames() {
  std::vector<std::u16string> names;
  WCHAR windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return names;
  const std::u16string folder = std::u16string(platform::WideField(windows, MAX_PATH)) + u"/Fonts";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + u"/*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::u16string file(platform::WideField(found.cFileName, MAX_PATH));
    for (auto& name : fonts::ReadFullNamesOfFile(folder + u"/" + file)) names.push_back(std::move(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

fonts::SubstitutionTable FreshTable() {
  fonts::SubstitutionTable table;
  for (auto& face : fonts::BuildFaceList(ScreenFontFamilies(), FontFileNames())) table.push_back({std::move(face), 0});
  fonts::ApplyAutomaticMapping(table);
  return table;
}

struct DialogData {
  HMODULE module = nullptr;
  fonts::SubstitutionTable table;
  size_t current = 0;
  int cornerClicks = 0;
  int secondColumn = 0;  // from the face list's left edge
  bool written = false;
};

DialogData* Data(HWND dialog) { return reinterpret_cast<DialogData*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

std::u16string ResidentText(const DialogData& d, uint16_t number) {
  const char16_t* name = fonts::ResidentFontName(number);
  return name != nullptr ? std::u16string(name) : pages::ModuleText(d.module, kDownloadText);
}

void ShowCurrentChoice(HWND dialog, const DialogData& d) {
  if (d.current < d.table.size()) pages::SelectChoice(dialog, kChoice, d.table[d.current].number);
}

void SelectFirstFace(HWND dialog, DialogData& d) {
  d.current = 0;
  SendDlgItemMessageW(dialog, kFaceList, LB_SETCURSEL, 0, 0);
  ShowCurrentChoice(dialog, d);
}

void Initialise(HWND dialog, DialogData& d) {
  if (!fonts::ReadSubstitutionFile(d.table) || d.table.empty()) d.table = FreshTable();
  for (size_t i = 0; i < d.table.size(); ++i) {
    const LRESULT at = SendDlgItemMessageW(dialog, kFaceList, LB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(d.table[i].face.c_str()));
    if (at >= 0) SendDlgItemMessageW(dialog, kFaceList, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
  }
  SendDlgItemMessageW(dialog, kChoice, CB_RESETCONTENT, 0, 0);
  for (int n = 0; n <= fonts::kResidentFontCount; ++n) {
    const std::u16string text = ResidentText(d, static_cast<uint16_t>(n));
    const LRESULT at = SendDlgItemMessageW(dialog, kChoice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (at >= 0) SendDlgItemMessageW(dialog, kChoice, CB_SETITEMDATA, static_cast<WPARAM>(at), n);
  }
  SelectFirstFace(dialog, d);
  RECT list{}, label{};
  if (GetWindowRect(GetDlgItem(dialog, kFaceList), &list) && GetWindowRect(GetDlgItem(dialog, kChoiceLabel), &label))
    d.secondColumn = label.left - list.left;
}

void DrawFace(const DialogData& d, const DRAWITEMSTRUCT& item) {
  if (item.CtlID != static_cast<UINT>(kFaceList) || item.itemData >= d.table.size()) return;
  const fonts::SubstitutionRecord& record = d.table[item.itemData];
  fonts::DrawFaceLine(item, record.face, ResidentText(d, record.number), d.secondColumn);
}

void CornerClick(HWND dialog, DialogData& d, LPARAM at) {
  const int x = static_cast<int16_t>(at & 0xFFFF), y = static_cast<int16_t>((at >> 16) & 0xFFFF);
  RECT client{};
  GetClientRect(dialog, &client);
  const bool inCorner = x >= client.left && x < client.left + kCornerSize && y < client.bottom &&
                        y >= client.bottom - kCornerSize;
  if (!inCorner) {
    d.cornerClicks = 0;
    return;
  }
  if (++d.cornerClicks < kCornerClicks) return;
  d.cornerClicks = 0;
  if (d.table.empty()) return;
  for (auto& record : d.table) record.number = d.table.front().number;
  ShowCurrentChoice(dialog, d);
  InvalidateRect(GetDlgItem(dialog, kFaceList), nullptr, TRUE);
}

bool Command(HWND dialog, DialogData& d, int id, WORD code) {
  switch (id) {
    case kFaceList:
      if (code == LBN_SELCHANGE) {
        const LRESULT sel = SendDlgItemMessageW(dialog, kFaceList, LB_GETCURSEL, 0, 0);
        const LRESULT position = sel >= 0 ? SendDlgItemMessageW(dialog, kFaceList, LB_GETITEMDATA, sel, 0) : -1;
        if (position >= 0 && static_cast<size_t>(position) < d.table.size()) {
          d.current = static_cast<size_t>(position);
          ShowCurrentChoice(dialog, d);
        }
      }
      return true;
    case kChoice:
      if (code == CBN_SELCHANGE && d.current < d.table.size()) {
        const LONG number = pages::SelectedChoice(dialog, kChoice, -1);
        if (number >= 0 && number <= fonts::kResidentFontCount) {
          d.table[d.current].number = static_cast<uint16_t>(number);
          InvalidateRect(GetDlgItem(dialog, kFaceList), nullptr, TRUE);
        }
      }
      return true;
    case kDefaults:
      for (auto& record : d.table) record.number = 0;
      fonts::ApplyAutomaticMapping(d.table);
      SelectFirstFace(dialog, d);
      InvalidateRect(GetDlgItem(dialog, kFaceList), nullptr, TRUE);
      SetFocus(GetDlgItem(dialog, kDefaults));
      return true;
    case kHelpButton:
      ShowContextHelp(dialog, kHelpButton, kHelpTopic);
      return true;
    case IDOK:
      d.written = fonts::WriteSubstitutionFile(d.table);
      if (!d.written) devmode::DebugTrace("font substitution: the table could not be written\n");
      EndDialog(dialog, IDOK);
      return true;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return true;
    default:
      return false;
  }
}

INT_PTR WINAPI FontSubstitutionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MEASUREITEM) {
    // Sent before WM_INITDIALOG: a 12-point line at the screen's resolution.
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    const int height = fonts::ScreenLineHeight();
    if (measure != nullptr && height > 0 && height != 16) measure->itemHeight = static_cast<UINT>(height);
    return TRUE;
  }
  if (message == WM_INITDIALOG) {
    auto* d = reinterpret_cast<DialogData*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    if (d != nullptr) Initialise(dialog, *d);
    return TRUE;
  }
  DialogData* d = Data(dialog);
  if (d == nullptr) return FALSE;
  switch (message) {
    case WM_DRAWITEM:
      if (lParam != 0) DrawFace(*d, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      return Command(dialog, *d, static_cast<int>(wParam & 0xFFFF), static_cast<WORD>(wParam >> 16)) ? TRUE : FALSE;
    case WM_LBUTTONDOWN:
      CornerClick(dialog, *d, lParam);
      return TRUE;
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
      if (info != nullptr) ShowContextHelp(dialog, info->iCtrlId, kContextHelp);
      return TRUE;
    }
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR RunFontSubstitutionDialog(HWND owner, SheetState* state) {
  HMODULE module = state != nullptr && state->languageModule != nullptr ? state->languageModule : SheetLanguageModule();
  if (module == nullptr) return 0;
  DialogData data;
  data.module = module;
  const INT_PTR result = DialogBoxParamW(module, MAKEINTRESOURCEW(kFontSubstitutionDialog), owner,
                                         &FontSubstitutionProc, reinterpret_cast<LPARAM>(&data));
  return result == IDOK && data.written ? 1 : 0;
}

void ReleaseFontFamilyCache() {
  if (PageControllerSet* set = FindThreadPageControllers()) set->at(ControllerSlot::FontFamilies).reset();
}

}  // namespace ui
