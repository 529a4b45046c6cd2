// The common property-sheet UI as a printer interface library meets it: the PROPSHEETUI calls,
// the pages it adds, the headers the spooler passes, and the dialog messages its pages answer.
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/devmode.h"
#include "win/printer_ui.h"

using HPROPSHEETPAGE = struct _PSP*;

using PFNCOMPROPSHEET = LONG_PTR(WINAPI*)(HANDLE hComPropSheet, UINT function, LPARAM lParam1, LPARAM lParam2);

struct PROPSHEETUI_INFO {
  WORD cbSize;
  WORD Version;
  WORD Flags;
  WORD Reason;
  HANDLE hComPropSheet;
  PFNCOMPROPSHEET pfnComPropSheet;
  LPARAM lParamInit;
  ULONG_PTR UserData;
  ULONG_PTR Result;
};
static_assert(sizeof(PROPSHEETUI_INFO) == 48);
static_assert(offsetof(PROPSHEETUI_INFO, hComPropSheet) == 8);
static_assert(offsetof(PROPSHEETUI_INFO, UserData) == 32);

struct PROPSHEETUI_INFO_HEADER {
  WORD cbSize;
  WORD Flags;
  LPWSTR pTitle;
  HWND hWndParent;
  HINSTANCE hInst;
  union {
    HICON hIcon;
    ULONG_PTR IconID;
  };
};
static_assert(sizeof(PROPSHEETUI_INFO_HEADER) == 40);

struct SETRESULT_INFO {
  WORD cbSize;
  WORD wReserved;
  HANDLE hSetResult;
  LRESULT Result;
};
static_assert(sizeof(SETRESULT_INFO) == 24);

struct DOCUMENTPROPERTYHEADER {
  WORD cbSize;
  WORD Reserved;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
  DEVMODEW* pdmIn;
  DEVMODEW* pdmOut;
  DWORD cbOut;
  DWORD fMode;
};
static_assert(sizeof(DOCUMENTPROPERTYHEADER) == 48);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, cbOut) == 40);

struct DEVICEPROPERTYHEADER {
  WORD cbSize;
  WORD Flags;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
};
static_assert(sizeof(DEVICEPROPERTYHEADER) == 24);

constexpr WORD DPS_NOPERMISSION = 0x0001;

// fMode of DocumentPropertySheets / DocumentProperties.
constexpr DWORD DM_UPDATE = 0x01;
constexpr DWORD DM_COPY = 0x02;
constexpr DWORD DM_PROMPT = 0x04;
constexpr DWORD DM_MODIFY = 0x08;
constexpr DWORD DM_NOPERMISSION = 0x20;
constexpr DWORD DM_IN_BUFFER = DM_MODIFY;
constexpr DWORD DM_OUT_BUFFER = DM_COPY;

constexpr WORD PROPSHEETUI_REASON_INIT = 0;
constexpr WORD PROPSHEETUI_REASON_GET_INFO_HEADER = 1;
constexpr WORD PROPSHEETUI_REASON_DESTROY = 2;
constexpr WORD PROPSHEETUI_REASON_SET_RESULT = 3;
constexpr WORD PROPSHEETUI_REASON_GET_ICON = 4;

constexpr WORD PSUIHDRF_OBSOLETE = 0x0001;
constexpr WORD PSUIHDRF_NOAPPLYNOW = 0x0002;
constexpr WORD PSUIHDRF_PROPTITLE = 0x0004;
constexpr WORD PSUIHDRF_USEHICON = 0x0008;
constexpr WORD PSUIHDRF_DEFTITLE = 0x0010;
constexpr WORD PSUIHDRF_EXACT_PTITLE = 0x0020;

constexpr UINT CPSFUNC_ADD_HPROPSHEETPAGE = 0;
constexpr UINT CPSFUNC_ADD_PROPSHEETPAGEW = 1;
constexpr UINT CPSFUNC_DELETE_HCOMPROPSHEET = 6;
constexpr UINT CPSFUNC_SET_HSTARTPAGE = 7;
constexpr UINT CPSFUNC_GET_PAGECOUNT = 8;
constexpr UINT CPSFUNC_SET_RESULT = 9;

constexpr LPARAM CPSUI_CANCEL = 0;
constexpr LPARAM CPSUI_OK = 1;

// Property-sheet pages (prsht.h), x64 layout without the wizard header bitmap.
struct PROPSHEETPAGEW;
using DLGPROC = LONG_PTR(WINAPI*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
using LPFNPSPCALLBACKW = UINT(WINAPI*)(HWND window, UINT message, PROPSHEETPAGEW* page);

struct PROPSHEETPAGEW {
  DWORD dwSize;
  DWORD dwFlags;
  HINSTANCE hInstance;
  LPCWSTR pszTemplate;
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszTitle;
  DLGPROC pfnDlgProc;
  LPARAM lParam;
  LPFNPSPCALLBACKW pfnCallback;
  UINT* pcRefParent;
  LPCWSTR pszHeaderTitle;
  LPCWSTR pszHeaderSubTitle;
  HANDLE hActCtx;
};
static_assert(sizeof(PROPSHEETPAGEW) == 96);
static_assert(offsetof(PROPSHEETPAGEW, pfnDlgProc) == 40);
static_assert(offsetof(PROPSHEETPAGEW, hActCtx) == 88);

constexpr DWORD PSP_DEFAULT = 0x0000;
constexpr DWORD PSP_DLGINDIRECT = 0x0001;
constexpr DWORD PSP_USEHICON = 0x0002;
constexpr DWORD PSP_USEICONID = 0x0004;
constexpr DWORD PSP_USETITLE = 0x0008;
constexpr DWORD PSP_RTLREADING = 0x0010;
constexpr DWORD PSP_HASHELP = 0x0020;
constexpr DWORD PSP_USEREFPARENT = 0x0040;
constexpr DWORD PSP_USECALLBACK = 0x0080;
constexpr DWORD PSP_USEFUSIONCONTEXT = 0x4000;

constexpr UINT PSPCB_ADDREF = 0;
constexpr UINT PSPCB_RELEASE = 1;
constexpr UINT PSPCB_CREATE = 2;

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
static_assert(sizeof(NMHDR) == 24);

constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_USER = 0x0400;

constexpr UINT PSN_FIRST = 0u - 200u;
constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
constexpr UINT PSN_APPLY = PSN_FIRST - 2;
constexpr UINT PSN_RESET = PSN_FIRST - 3;

constexpr LONG_PTR PSNRET_NOERROR = 0;
constexpr LONG_PTR PSNRET_INVALID = 1;

constexpr UINT PSM_CHANGED = WM_USER + 104;
constexpr UINT PSM_UNCHANGED = WM_USER + 109;

// SetWindowLongPtrW indexes of a dialog (x64).
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = 8;
constexpr int DWLP_USER = 16;

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
constexpr DWORD ICC_ALL_CLASSES = 0x3FFF;  // every ICC_ class bit up to ICC_LINK_CLASS
