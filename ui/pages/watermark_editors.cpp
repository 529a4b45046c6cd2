// The text and image watermark editors: modal dialogs over the watermark page that edit a copy
// of one record, save it in the watermark store and make it the working devmode's record.
#include "pages/watermark_editors.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "devmode/builtin_watermarks.h"
#include "devmode/trace.h"
#include "entry/language.h"
#include "pages/page_support.h"
#include "platform/utf16.h"
#include "pages/watermark_paint.h"
#include "store/settings_editing.h"
#include "win/dialogs.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/modules.h"
#include "win/text.h"

namespace ui::pages {

using devmode::WatermarkRecord;

namespace {

constexpr size_t kNameChars = 32;              // what a record keeps of a name
constexpr int kTextNameBoxChars = 34;
constexpr int kTextNameAnsiBytes = 64;
constexpr int kTextBoxChars = 28;
constexpr int kAngleBoxChars = 3;
constexpr int kImageNameBoxChars = 16;
constexpr int kImageFileBoxChars = 260;
constexpr size_t kImagePathChars = 259;
constexpr int kMinAngle = -90, kMaxAngle = 90;
constexpr uint16_t kCentre = 5;
constexpr int64_t kLargestImageFile = 31457280;  // bytes; one more is too large
constexpr UINT kBitmapFilesText = 6505;
constexpr UINT kMessageStyle = MB_OK | MB_ICONEXCLAMATION;

std::u16string Field(const WCHAR* field, size_t capacity) { return std::u16string(platform::WideField(field, capacity)); }
std::u16string NameOf(const WatermarkRecord& r) { return Field(r.Name, std::size(r.Name)); }

std::u16string DialogText(HWND dialog, int id) {
  WCHAR text[kImageFileBoxChars + 8] = {};
  GetDlgItemTextW(dialog, id, text, static_cast<int>(std::size(text)));
  return Field(text, std::size(text));
}

void SetText(HWND dialog, int id, const std::u16string& text) { SetDlgItemTextW(dialog, id, text.c_str()); }

void Redraw(HWND dialog, int id) {
  if (HWND control = GetDlgItem(dialog, id)) InvalidateRect(control, nullptr, FALSE);
}

bool IsBuiltInName(const std::u16string& name) {
  for (int i = 0; i < kBuiltInListed; ++i) {
    WatermarkRecord r = devmode::BuiltInWatermark(i);
    if (NameOf(r) == name) return true;
  }
  return false;
}

// Positions other than the centre, in the order the position box lists them (strings 6511-6519).
constexpr Choice kPositions[] = {
    {6511, 1}, {6512, 2}, {6513, 3}, {6514, 4}, {6516, 6}, {6517, 7}, {6518, 8}, {6519, 9},
};

// What both editors keep while they run.
struct EditorState {
  WatermarkEditRequest* request = nullptr;
  WatermarkRecord record{};
  std::u16string originalName;  // empty for a new watermark
  std::vector<WatermarkRecord> stored;  // the store as the editor opened
  std::u16string lastName;      // the last name the name box accepted
  bool nameTouched = false;     // the user typed a name: stop proposing one
  bool quiet = false;           // the editor itself is setting a box
};

EditorState* StateOf(HWND dialog) { return reinterpret_cast<EditorState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

HMODULE Module(const EditorState& e) { return e.request->state->languageModule; }

int Message(HWND dialog, const EditorState& e, UINT text, UINT style = kMessageStyle) {
  return ShowModuleMessage(dialog, Module(e), text, kCaptionDriver, style);
}

// Another stored watermark with this name (not the one being edited).
bool NameTakenByOther(const std::vector<WatermarkRecord>& stored, const std::u16string& name,
                      const std::u16string& editedName) {
  if (!editedName.empty() && name == editedName) return false;
  return std::any_of(stored.begin(), stored.end(), [&](const WatermarkRecord& r) { return NameOf(r) == name; });
}

// The OK checks on a name: empty, reserved or a built-in's name; a name another watermark has
// needs the user's yes. False (focus back in the box) when the editor must stay open.
bool NameAccepted(HWND dialog, EditorState& e, int box, const std::u16string& name) {
  if (name.empty() || name == ModuleText(Module(e), kNoWatermarkName) || IsBuiltInName(name)) {
    Message(dialog, e, kMsgWatermarkNameEmpty);
    SetFocus(GetDlgItem(dialog, box));
    return false;
  }
  WatermarkStore store;
  if (NameTakenByOther(StoredWatermarks(store), name, e.originalName) &&
      Message(dialog, e, kMsgReplaceExisting, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
    SetFocus(GetDlgItem(dialog, box));
    return false;
  }
  return true;
}

// Stores the record (a new one under a new index), drops the entry it was stored under before
// a rename, and makes it the devmode's record.
bool SaveRecord(EditorState& e, const std::u16string& name) {
  WatermarkStore store;
  std::vector<WatermarkRecord> stored = StoredWatermarks(store);
  platform::CopyWideField(e.record.Name, std::size(e.record.Name), std::u16string_view(name).substr(0, kNameChars));
  if (e.request->isNew) {
    uint16_t index = NewWatermarkIndex(stored);
    if (index == 0) return false;
    e.record.WatermarkIndex = index;
  }
  if (!store.Save(name, RecordBytes(e.record))) {
    devmode::DebugTrace("watermark editor: the store refused the record\n");
    return false;
  }
  if (!e.request->isNew && !e.originalName.empty() && e.originalName != name) {
    if (!store.Remove(e.originalName)) devmode::DebugTrace("watermark editor: the old entry stayed\n");
  }
  e.request->record = e.record;
  return SetPrivateField(e.request->state, "WatermarkData", &e.record, sizeof e.record) == S_OK;
}

bool PaintPreview(HWND dialog, LPARAM lParam, int previewId) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  EditorState* e = StateOf(dialog);
  if (item == nullptr || e == nullptr || static_cast<int>(item->CtlID) != previewId) return false;
  PaintWatermarkItem(lParam, e->record);
  return true;
}

// ---- Text editor ----

std::u16string ProposedName(const std::vector<WatermarkRecord>& stored, const std::u16string& text,
                            const std::u16string& editedName) {
  std::u16string base = text.substr(0, kNameChars);
  if (!NameTakenByOther(stored, base, editedName) && !IsBuiltInName(base)) return base;
  for (int n = 1; n < 100; ++n) {
    std::string suffix = "~" + std::to_string(n);
    std::u16string candidate = text.substr(0, kNameChars - suffix.size()) + platform::Widen(suffix);
    if (!NameTakenByOther(stored, candidate, editedName) && !IsBuiltInName(candidate)) return candidate;
  }
  return base;
}

int AnsiBytes(const std::u16string& text) {
  if (text.empty()) return 0;
  return WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
}

void FillFonts(HWND dialog, const std::u16string& current) {
  std::vector<std::u16string> families = InstalledFontFamilies();
  if (!current.empty() && std::find(families.begin(), families.end(), current) == families.end())
    families.push_back(current);
  std::sort(families.begin(), families.end());
  SendDlgItemMessageW(dialog, kTextFont, CB_RESETCONTENT, 0, 0);
  for (const auto& f : families)
    SendDlgItemMessageW(dialog, kTextFont, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.c_str()));
  SetText(dialog, kTextFont, current);  // selects the matching entry
}

void ShowPosition(HWND dialog, EditorState& e) {
  bool centre = e.record.Position == kCentre || e.record.Position == 0;
  CheckRadioButton(dialog, kTextCentre, kTextOtherPosition, centre ? kTextCentre : kTextOtherPosition);
  if (!centre) SelectChoice(dialog, kTextPosition, e.record.Position);
  EnableWindow(GetDlgItem(dialog, kTextPosition), centre ? FALSE : TRUE);
}

void InitTextEditor(HWND dialog, EditorState& e) {
  e.quiet = true;
  SetWindowTextW(dialog, ModuleText(Module(e), e.request->isNew ? kCaptionNewText : kCaptionEditText).c_str());
  SendDlgItemMessageW(dialog, kTextName, EM_LIMITTEXT, kTextNameBoxChars, 0);
  SendDlgItemMessageW(dialog, kTextText, EM_LIMITTEXT, kTextBoxChars, 0);
  SendDlgItemMessageW(dialog, kTextAngle, EM_LIMITTEXT, kAngleBoxChars, 0);
  e.lastName = NameOf(e.record);
  SetText(dialog, kTextName, e.lastName);
  SetText(dialog, kTextText, Field(e.record.Text, std::size(e.record.Text)).substr(0, kTextBoxChars));
  SendDlgItemMessageW(dialog, kTextAngleSpin, UDM_SETRANGE32, static_cast<WPARAM>(kMinAngle), kMaxAngle);
  e.record.Angle = static_cast<int16_t>(std::clamp<int>(e.record.Angle, kMinAngle, kMaxAngle));
  SendDlgItemMessageW(dialog, kTextAngleSpin, UDM_SETPOS32, 0, e.record.Angle);
  SetDlgItemInt(dialog, kTextAngle, static_cast<UINT>(static_cast<int>(e.record.Angle)), TRUE);
  FillChoices(dialog, kTextPosition, Module(e), kPositions);
  ShowPosition(dialog, e);
  CheckDlgButton(dialog, kTextBold, e.record.Bold != 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, kTextItalic, e.record.Italic != 0 ? BST_CHECKED : BST_UNCHECKED);
  FillFonts(dialog, Field(e.record.Typeface, std::size(e.record.Typeface)));
  e.nameTouched = !e.request->isNew;
  e.quiet = false;
}

void NameChanged(HWND dialog, EditorState& e) {
  std::u16string name = DialogText(dialog, kTextName);
  if (AnsiBytes(name) > kTextNameAnsiBytes) {
    e.quiet = true;
    SetText(dialog, kTextName, e.lastName);
    e.quiet = false;
    return;
  }
  e.lastName = name;
  e.nameTouched = true;
}

void TextChanged(HWND dialog, EditorState& e) {
  std::u16string text = DialogText(dialog, kTextText);
  platform::CopyWideField(e.record.Text, std::size(e.record.Text), text);
  if (!e.nameTouched && !text.empty()) {
    e.lastName = ProposedName(e.stored, text, e.originalName);
    e.quiet = true;
    SetText(dialog, kTextName, e.lastName);
    e.quiet = false;
  }
  Redraw(dialog, kTextPreview);
}

void ChooseColour(HWND dialog, EditorState& e) {
  COLORREF custom[16];
  std::fill(std::begin(custom), std::end(custom), 0x00FFFFFFu);
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = dialog;
  choose.rgbResult = e.record.Colour;
  choose.lpCustColors = custom;
  choose.Flags = CC_FULLOPEN | CC_RGBINIT;
  if (!ChooseColorW(&choose)) return;
  e.record.Colour = choose.rgbResult & 0x00FFFFFFu;
  Redraw(dialog, kTextPreview);
}

void FinishTextEditor(HWND dialog, EditorState& e) {
  std::u16string name = TrimName(DialogText(dialog, kTextName));
  if (!NameAccepted(dialog, e, kTextName, name)) return;
  std::u16string text = DialogText(dialog, kTextText);
  if (text.empty()) text = u"<New>";
  platform::CopyWideField(e.record.Text, std::size(e.record.Text), text);
  BOOL translated = FALSE;
  int angle = static_cast<int>(GetDlgItemInt(dialog, kTextAngle, &translated, TRUE));
  if (translated) e.record.Angle = static_cast<int16_t>(std::clamp(angle, kMinAngle, kMaxAngle));
  e.record.WatermarkKind = 1;
  e.record.Reserved802 = 1;
  EndDialog(dialog, SaveRecord(e, name) ? IDOK : IDCANCEL);
}

void TextCommand(HWND dialog, EditorState& e, int id, WORD code) {
  switch (id) {
    case kTextName:
      if (code == EN_CHANGE && !e.quiet) NameChanged(dialog, e);
      break;
    case kTextText:
      if (code == EN_CHANGE && !e.quiet) TextChanged(dialog, e);
      break;
    case kTextAngle:
      if (code == EN_CHANGE && !e.quiet) {
        BOOL translated = FALSE;
        int angle = static_cast<int>(GetDlgItemInt(dialog, kTextAngle, &translated, TRUE));
        if (translated && angle >= kMinAngle && angle <= kMaxAngle) {
          e.record.Angle = static_cast<int16_t>(angle);
          Redraw(dialog, kTextPreview);
        }
      }
      break;
    case kTextCentre:
    case kTextOtherPosition:
      if (code != BN_CLICKED) break;
      if (id == kTextCentre) {
        e.record.Position = kCentre;
      } else if (e.record.Position == kCentre || e.record.Position == 0) {
        e.record.Position = static_cast<uint16_t>(SelectedChoice(dialog, kTextPosition, kPositions[0].value));
      }
      ShowPosition(dialog, e);
      Redraw(dialog, kTextPreview);
      break;
    case kTextPosition:
      if (code == CBN_SELCHANGE) {
        e.record.Position = static_cast<uint16_t>(SelectedChoice(dialog, kTextPosition, e.record.Position));
        Redraw(dialog, kTextPreview);
      }
      break;
    case kTextBold:
    case kTextItalic:
      if (code == BN_CLICKED) {
        uint16_t on = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
        (id == kTextBold ? e.record.Bold : e.record.Italic) = on;
        Redraw(dialog, kTextPreview);
      }
      break;
    case kTextColour:
      if (code == BN_CLICKED) ChooseColour(dialog, e);
      break;
    case kTextFont:
      if (code == CBN_SELCHANGE) {
        platform::CopyWideField(e.record.Typeface, std::size(e.record.Typeface), DialogText(dialog, kTextFont));
        Redraw(dialog, kTextPreview);
      }
      break;
    case IDOK:
      FinishTextEditor(dialog, e);
      break;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      break;
    default:
      break;
  }
}

INT_PTR WINAPI TextEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* e = reinterpret_cast<EditorState*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    if (e != nullptr) InitTextEditor(dialog, *e);
    return TRUE;
  }
  if (message == WM_DRAWITEM) return PaintPreview(dialog, lParam, kTextPreview) ? TRUE : FALSE;
  EditorState* e = StateOf(dialog);
  if (message != WM_COMMAND || e == nullptr) return FALSE;
  TextCommand(dialog, *e, LOWORD(static_cast<DWORD>(wParam)), HIWORD(static_cast<DWORD>(wParam)));
  return TRUE;
}

// ---- Image editor ----

void InitImageEditor(HWND dialog, EditorState& e) {
  e.quiet = true;
  SetWindowTextW(dialog, ModuleText(Module(e), e.request->isNew ? kCaptionNewImage : kCaptionEditImage).c_str());
  SendDlgItemMessageW(dialog, kImageName, EM_LIMITTEXT, kImageNameBoxChars, 0);
  SendDlgItemMessageW(dialog, kImageFile, EM_LIMITTEXT, kImageFileBoxChars, 0);
  SetText(dialog, kImageName, NameOf(e.record).substr(0, kImageNameBoxChars));
  SetText(dialog, kImageFile, Field(e.record.ImagePath, std::size(e.record.ImagePath)));
  CheckDlgButton(dialog, kImageTransparent, e.record.Transparent != 0 ? BST_CHECKED : BST_UNCHECKED);
  e.quiet = false;
}

void BrowseImage(HWND dialog, EditorState& e) {
  WCHAR file[kImageFileBoxChars] = {};
  std::u16string filter = ModuleText(Module(e), kBitmapFilesText);
  filter.push_back(u'\0');
  filter += u"*.bmp";
  filter.push_back(u'\0');
  filter.push_back(u'\0');
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = dialog;
  open.lpstrFilter = filter.c_str();
  open.lpstrFile = file;
  open.nMaxFile = static_cast<DWORD>(std::size(file));
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&open)) SetText(dialog, kImageFile, Field(file, std::size(file)));
}

void FinishImageEditor(HWND dialog, EditorState& e) {
  devmode::StoredDevmode* working = e.request->state->devmode.get();
  if (working != nullptr && working->priv.MultipleUp == kPosterLayout) {
    Message(dialog, e, kMsgImageWithPoster);
    EndDialog(dialog, IDCANCEL);
    return;
  }
  std::u16string name = TrimName(DialogText(dialog, kImageName));
  if (!NameAccepted(dialog, e, kImageName, name)) return;
  std::u16string path = TrimName(DialogText(dialog, kImageFile));
  if (!WatermarkImagePathAccepted(path) || !WatermarkImageFileReadable(path)) {
    Message(dialog, e, kMsgWatermarkBadImage);
    SetFocus(GetDlgItem(dialog, kImageFile));
    return;
  }
  e.record.WatermarkKind = 2;
  std::memset(e.record.ImagePath, 0, sizeof e.record.ImagePath);
  platform::CopyWideField(e.record.ImagePath, std::size(e.record.ImagePath),
                          std::u16string_view(path).substr(0, kImagePathChars));
  e.record.Transparent = IsDlgButtonChecked(dialog, kImageTransparent) == BST_CHECKED ? 1 : 0;
  if (e.request->isNew && e.record.Scale < 2) e.record.Scale = 100;  // the template's 0 would draw nothing
  EndDialog(dialog, SaveRecord(e, name) ? IDOK : IDCANCEL);
}

INT_PTR WINAPI ImageEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* e = reinterpret_cast<EditorState*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    if (e != nullptr) InitImageEditor(dialog, *e);
    return TRUE;
  }
  if (message == WM_DRAWITEM) return PaintPreview(dialog, lParam, kImagePreview) ? TRUE : FALSE;
  EditorState* e = StateOf(dialog);
  if (message != WM_COMMAND || e == nullptr) return FALSE;
  int id = LOWORD(static_cast<DWORD>(wParam));
  WORD code = HIWORD(static_cast<DWORD>(wParam));
  if (id == kImageFile && code == EN_CHANGE && !e->quiet) {
    std::memset(e->record.ImagePath, 0, sizeof e->record.ImagePath);
    platform::CopyWideField(e->record.ImagePath, std::size(e->record.ImagePath),
                            std::u16string_view(TrimName(DialogText(dialog, kImageFile))).substr(0, kImagePathChars));
    e->record.WatermarkKind = 2;
    Redraw(dialog, kImagePreview);
  } else if (id == kImageTransparent && code == BN_CLICKED) {
    e->record.Transparent = IsDlgButtonChecked(dialog, kImageTransparent) == BST_CHECKED ? 1 : 0;
    Redraw(dialog, kImagePreview);
  } else if (id == kImageBrowse && code == BN_CLICKED) {
    BrowseImage(dialog, *e);
  } else if (id == IDOK) {
    FinishImageEditor(dialog, *e);
  } else if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
  }
  return TRUE;
}

INT_PTR RunEditor(HWND owner, WatermarkEditRequest& request, int templateId, DLGPROC proc) {
  if (request.state == nullptr || request.state->languageModule == nullptr) return -1;
  EditorState e;
  e.request = &request;
  e.record = request.record;
  if (!request.isNew) e.originalName = NameOf(request.record);
  WatermarkStore store;
  e.stored = StoredWatermarks(store);
  return DialogBoxParamW(request.state->languageModule, MAKEINTRESOURCEW(static_cast<WORD>(templateId)), owner, proc,
                         reinterpret_cast<LPARAM>(&e));
}

// Opens a file for reading; INVALID_HANDLE_VALUE when it cannot be.
HANDLE OpenForReading(std::u16string_view path) {
  if (path.empty()) return INVALID_HANDLE_VALUE;
  std::u16string name(path);
  return CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

int64_t FileSize(HANDLE file) {
  LONG high = 0;
  DWORD low = SetFilePointer(file, 0, &high, FILE_END);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return -1;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  return (static_cast<int64_t>(high) << 32) | low;
}

// The first two bytes of a file; how many could be read (0 also on a read error).
DWORD FirstBytes(HANDLE file, char (&head)[2]) {
  DWORD read = 0;
  if (!ReadFile(file, head, sizeof head, &read, nullptr)) return 0;
  return read;
}

}  // namespace

std::vector<WatermarkRecord> StoredWatermarks(WatermarkStore& store, bool* readable) {
  std::vector<WatermarkRecord> out;
  // A first run has no file yet; the skeleton gives the collection to read and save into.
  if (!store.EnsureSettingsSkeleton()) devmode::DebugTrace("watermark list: no settings skeleton\n");
  auto items = store.Items();
  if (readable != nullptr) *readable = items.has_value();
  if (!items) return out;
  for (const auto& item : *items) {
    if (item.data.size() != sizeof(WatermarkRecord)) continue;
    WatermarkRecord r;
    std::memcpy(&r, item.data.data(), sizeof r);
    out.push_back(r);
  }
  return out;
}

void SeedWatermarkStore(WatermarkStore& store) {
  for (int i = 0; i < kBuiltInListed; ++i) {
    WatermarkRecord r = devmode::BuiltInWatermark(i);
    r.WatermarkIndex = static_cast<uint16_t>(i);
    if (!store.Save(NameOf(r), RecordBytes(r))) devmode::DebugTrace("watermark list: seeding failed\n");
  }
}

uint16_t NewWatermarkIndex(const std::vector<WatermarkRecord>& stored) {
  int largest = kBuiltInListed - 1;
  for (const auto& r : stored) largest = std::max<int>(largest, r.WatermarkIndex);
  if (largest < kMaxWatermarkIndex) return static_cast<uint16_t>(largest + 1);
  for (uint16_t i = kBuiltInListed; i <= kMaxWatermarkIndex; ++i) {
    if (std::none_of(stored.begin(), stored.end(), [i](const WatermarkRecord& r) { return r.WatermarkIndex == i; }))
      return i;
  }
  return 0;
}

int CheckWatermarkImageFile(std::u16string_view path) {
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return 0;
  int64_t size = FileSize(file);
  int result;
  if (size > kLargestImageFile) {
    result = 2;
  } else if (size == 0) {
    result = 1;
  } else {
    char head[2] = {};
    DWORD read = FirstBytes(file, head);
    result = read == 0 ? 0 : (read == 2 && head[0] == 'B' && head[1] == 'M') ? 0 : 1;
  }
  CloseHandle(file);
  return result;
}

bool WatermarkImagePathAccepted(std::u16string_view raw) {
  std::u16string path = TrimName(raw);
  for (char16_t& c : path) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
  size_t bmp = path.find(u".BMP");
  if (bmp != std::u16string::npos && bmp + 4 != path.size()) return false;
  if (!path.empty() && path[0] == u'/') return true;  // an absolute path of the host
  return path.size() >= 3 && path[0] >= u'A' && path[0] <= u'Z' && path[1] == u':' &&
         (path[2] == u'\\' || path[2] == u'/' || (path.size() >= 4 && path[3] == u'/'));
}

bool WatermarkImageFileReadable(std::u16string_view path) {
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  char head[2] = {};
  bool ok = FirstBytes(file, head) == 2 && head[0] == 'B' && head[1] == 'M';
  CloseHandle(file);
  return ok;
}

INT_PTR RunTextWatermarkEditor(HWND owner, WatermarkEditRequest& request) {
  return RunEditor(owner, request, kTextEditorDialog, &TextEditorProc);
}

INT_PTR RunImageWatermarkEditor(HWND owner, WatermarkEditRequest& request) {
  return RunEditor(owner, request, kImageEditorDialog, &ImageEditorProc);
}

}  // namespace ui::pages
