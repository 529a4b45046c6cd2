// An interface library whose property sheets have known controls, for rt7700-preferences: a page
// with an edit, check boxes (one disabled), a combo box, a button that asks a question and one
// that opens a modal dialog; a page with an owner-drawn preview in the chosen colour; and a
// printer properties page that writes printer data. Applying writes copies, collation and colour
// into pdmOut; more than 99 copies is refused with a message.
#include <cstring>
#include <string>

#include "platform/resource_table.h"
#include "win/compstui.h"
#include "win/dialogs.h"
#include "win/modules.h"
#include "win/printer_ui.h"
#include "win/spooler.h"

void PaintFakePreview(HDC dc, int width, int height, COLORREF left, COLORREF right);

namespace {

constexpr char kGeneral[] = R"(dialog 100 0 size=200,140
control 1001 STATIC text="Copies" rect=5,5,40,10
control 1002 EDIT style=ES_NUMBER rect=50,5,40,12
control 1003 BUTTON style=BS_AUTOCHECKBOX text="Collate" rect=5,20,80,10
control 1004 BUTTON style=BS_AUTOCHECKBOX|WS_DISABLED text="Locked" rect=5,32,80,10
control 1005 STATIC text="Colour" rect=5,45,40,10
control 1006 COMBOBOX rect=50,45,80,60
control 1007 BUTTON text="Ask" rect=5,60,40,14
control 1008 STATIC rect=50,60,40,10
control 1009 BUTTON text="Name..." rect=5,76,40,14
control 1010 STATIC rect=50,76,80,10
)";
constexpr char kPreview[] = R"(dialog 101 0 size=200,140
control 1101 STATIC text="Preview" rect=5,5,60,10
control 1102 STATIC style=SS_OWNERDRAW rect=10,20,80,40
)";
constexpr char kNameDialog[] = R"(dialog 200 0 size=120,60
control 2001 EDIT rect=5,5,100,12
control 1 BUTTON style=BS_DEFPUSHBUTTON text="OK" rect=5,30,40,14
control 2 BUTTON text="Cancel" rect=50,30,40,14
)";
constexpr char kDevice[] = R"(dialog 300 0 size=200,100
control 3001 BUTTON style=BS_AUTOCHECKBOX text="Quiet mode" rect=5,5,80,10
)";

const platform::ResourceEntry kEntries[] = {
    {RT_DIALOG_ID, 100, kGeneral, sizeof kGeneral - 1},
    {RT_DIALOG_ID, 101, kPreview, sizeof kPreview - 1},
    {RT_DIALOG_ID, 200, kNameDialog, sizeof kNameDialog - 1},
    {RT_DIALOG_ID, 300, kDevice, sizeof kDevice - 1},
};

HINSTANCE g_module = nullptr;

struct Sheet {
  DOCUMENTPROPERTYHEADER document{};
  DEVICEPROPERTYHEADER device{};
  bool deviceSheet = false;
  PFNCOMPROPSHEET pfn = nullptr;
  HANDLE host = nullptr;
  HWND general = nullptr;
  int colour = 0;  // 0 red, 1 green, 2 blue
};

const COLORREF kColours[] = {0x0000FF, 0x00FF00, 0xFF0000};
const char16_t* const kColourNames[] = {u"Red", u"Green", u"Blue"};

Sheet* Of(HWND page) { return reinterpret_cast<Sheet*>(GetWindowLongPtrW(page, DWLP_USER)); }

void Changed(HWND page) { SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0); }

INT_PTR WINAPI NameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    if (LOWORD(wParam) == IDOK) {
      auto* name = reinterpret_cast<WCHAR*>(GetWindowLongPtrW(dialog, DWLP_USER));
      GetDlgItemTextW(dialog, 2001, name, 64);
    }
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

void WriteResult(Sheet* s, HWND page) {
  BOOL read = FALSE;
  UINT copies = GetDlgItemInt(page, 1002, &read, FALSE);
  const DOCUMENTPROPERTYHEADER& h = s->document;
  if (h.pdmOut != nullptr && h.cbOut >= sizeof(DEVMODEW)) {
    DEVMODEW d{};
    if (h.pdmIn != nullptr) std::memcpy(&d, h.pdmIn, sizeof d);
    d.dmSize = sizeof d;
    d.dmDriverExtra = 0;
    d.dmSpecVersion = 0x0401;
    if (h.pszPrinterName != nullptr) {
      for (size_t i = 0; i < 31 && h.pszPrinterName[i] != 0; ++i) d.dmDeviceName[i] = h.pszPrinterName[i];
    }
    d.dmFields |= DM_COPIES | DM_COLLATE | DM_COLOR;
    if (read) d.dmCopies = static_cast<short>(copies);
    d.dmCollate = IsDlgButtonChecked(page, 1003) == BST_CHECKED ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    d.dmColor = static_cast<short>(s->colour + 1);
    std::memcpy(h.pdmOut, &d, sizeof d);
  }
  s->pfn(s->host, CPSFUNC_SET_RESULT, 0, CPSUI_OK);
}

INT_PTR WINAPI GeneralProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* s = reinterpret_cast<Sheet*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
      SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(s));
      s->general = page;
      for (const char16_t* name : kColourNames) SendDlgItemMessageW(page, 1006, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
      SendDlgItemMessageW(page, 1006, CB_SETCURSEL, 0, 0);
      int copies = s->document.pdmIn != nullptr ? s->document.pdmIn->dmCopies : 1;
      SetDlgItemInt(page, 1002, static_cast<UINT>(copies), FALSE);
      return TRUE;
    }
    case WM_COMMAND: {
      Sheet* s = Of(page);
      if (s == nullptr) return FALSE;
      WORD id = LOWORD(wParam), code = HIWORD(wParam);
      if (id == 1007 && code == BN_CLICKED) {
        int answer = MessageBoxW(page, reinterpret_cast<LPCWSTR>(u"Keep the change?"), reinterpret_cast<LPCWSTR>(u"Fake"),
                                 MB_YESNO | MB_ICONQUESTION);
        SetDlgItemTextW(page, 1008, reinterpret_cast<LPCWSTR>(answer == IDYES ? u"yes" : u"no"));
      } else if (id == 1009 && code == BN_CLICKED) {
        WCHAR name[64] = {};
        if (DialogBoxParamW(g_module, MAKEINTRESOURCEW(200), page, NameProc, reinterpret_cast<LPARAM>(name)) == IDOK)
          SetDlgItemTextW(page, 1010, name);
      } else if (id == 1006 && code == CBN_SELCHANGE) {
        s->colour = static_cast<int>(SendDlgItemMessageW(page, 1006, CB_GETCURSEL, 0, 0));
        Changed(page);
      } else if ((id == 1002 && code == EN_CHANGE) || (id == 1003 && code == BN_CLICKED)) {
        Changed(page);
      }
      return TRUE;
    }
    case WM_NOTIFY: {
      Sheet* s = Of(page);
      if (s == nullptr || reinterpret_cast<NMHDR*>(lParam)->code != PSN_APPLY) return FALSE;
      BOOL read = FALSE;
      if (GetDlgItemInt(page, 1002, &read, FALSE) > 99) {
        MessageBoxW(page, reinterpret_cast<LPCWSTR>(u"Copies must be 1 to 99."), reinterpret_cast<LPCWSTR>(u"Fake"), MB_OK);
        SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_INVALID);
        return TRUE;
      }
      WriteResult(s, page);
      SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    }
    default: return FALSE;
  }
}

INT_PTR WINAPI PreviewProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
    return TRUE;
  }
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == PSN_SETACTIVE) {
    InvalidateRect(GetDlgItem(page, 1102), nullptr, TRUE);
    return FALSE;
  }
  if (message == WM_DRAWITEM) {
    Sheet* s = Of(page);
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (s == nullptr || item->CtlID != 1102) return FALSE;
    PaintFakePreview(item->hDC, item->rcItem.right - item->rcItem.left, item->rcItem.bottom - item->rcItem.top,
                     kColours[s->colour], 0xFFFFFF);
    return TRUE;
  }
  return FALSE;
}

INT_PTR WINAPI DeviceProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == 3001) {
    Changed(page);
    return TRUE;
  }
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
    Sheet* s = Of(page);
    DWORD quiet = IsDlgButtonChecked(page, 3001) == BST_CHECKED ? 1 : 0;
    SetPrinterDataW(s->device.hPrinter, reinterpret_cast<LPCWSTR>(u"QuietMode"), REG_DWORD,
                    reinterpret_cast<const BYTE*>(&quiet), sizeof quiet);
    SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
    return TRUE;
  }
  return FALSE;
}

LONG AddPage(PROPSHEETUI_INFO* info, Sheet* s, int id, const char16_t* title, DLGPROC proc) {
  PROPSHEETPAGEW p{};
  p.dwSize = sizeof p;
  p.dwFlags = PSP_USETITLE;
  p.hInstance = g_module;
  p.pszTemplate = MAKEINTRESOURCEW(id);
  p.pszTitle = reinterpret_cast<LPCWSTR>(title);
  p.pfnDlgProc = proc;
  p.lParam = reinterpret_cast<LPARAM>(s);
  return info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW, reinterpret_cast<LPARAM>(&p), 0) > 0 ? 1 : -1;
}

LONG Sheets(PROPSHEETUI_INFO* info, LPARAM lParam, bool device) {
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
      auto* s = new Sheet;
      s->deviceSheet = device;
      if (device) s->device = *reinterpret_cast<DEVICEPROPERTYHEADER*>(info->lParamInit);
      else s->document = *reinterpret_cast<DOCUMENTPROPERTYHEADER*>(info->lParamInit);
      s->pfn = info->pfnComPropSheet;
      s->host = info->hComPropSheet;
      info->UserData = reinterpret_cast<ULONG_PTR>(s);
      if (device) return AddPage(info, s, 300, u"Device", DeviceProc);
      if (AddPage(info, s, 100, u"General", GeneralProc) < 0) return -1;
      return AddPage(info, s, 101, u"Preview", PreviewProc);
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
      auto* header = reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(lParam);
      header->pTitle = const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(u"Fake sheet"));
      header->hInst = g_module;
      return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
      info->Result = static_cast<ULONG_PTR>(reinterpret_cast<SETRESULT_INFO*>(lParam)->Result);
      return 1;
    case PROPSHEETUI_REASON_DESTROY:
      delete reinterpret_cast<Sheet*>(info->UserData);
      info->UserData = 0;
      return 1;
    default: return -1;
  }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) extern const platform::ResourceTable rt7700_resource_table;
const platform::ResourceTable rt7700_resource_table = {
    platform::kResourceTableMagic, sizeof kEntries / sizeof kEntries[0], kEntries};

__attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

__attribute__((visibility("default"))) LONG DrvDocumentPropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam) {
  if (info == nullptr) {  // without a sheet: the devmode's size
    auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(lParam);
    if (header != nullptr) header->cbOut = sizeof(DEVMODEW);
    return sizeof(DEVMODEW);
  }
  return Sheets(info, lParam, false);
}

__attribute__((visibility("default"))) LONG DrvDevicePropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam) {
  return info == nullptr ? -1 : Sheets(info, lParam, true);
}
}
