// The printer interface DLL entry points (the platform's printer interface DDI). Records whose
// handling is not built yet are declared incomplete here and completed with their handling.
#pragma once

#include "win/base.h"
#include "win/devmode.h"
#include "win/dialogs.h"

struct PROPSHEETUI_INFO;
struct DEVQUERYPRINT_INFO;

// The XPS document writer's property collection (prcomoem.h).
enum EPrintPropertyType {
  kPropertyTypeString = 1,
  kPropertyTypeInt32,
  kPropertyTypeInt64,
  kPropertyTypeByte,
  kPropertyTypeTime,
  kPropertyTypeDevMode,
  kPropertyTypeSD,
  kPropertyTypeNotificationReply,
  kPropertyTypeNotificationOptions,
  kPropertyTypeBuffer,
};
struct PrintPropertyValue {
  EPrintPropertyType ePropertyType;
  union {
    BYTE propertyByte;
    PWSTR propertyString;
    LONG propertyInt32;
    LONGLONG propertyInt64;
    struct {
      DWORD cbBuf;
      LPVOID pBuf;
    } propertyBlob;
  } value;
};
struct PrintNamedProperty {
  WCHAR* propertyName;
  PrintPropertyValue propertyValue;
};
struct PrintPropertiesCollection {
  ULONG numberOfProperties;
  PrintNamedProperty* propertiesCollection;
};
static_assert(sizeof(PrintPropertyValue) == 24);
static_assert(sizeof(PrintNamedProperty) == 32);
static_assert(sizeof(PrintPropertiesCollection) == 16);
using PRINT_PROPERTIES_COLLECTION = PrintPropertiesCollection;
using PPROPSHEETUI_INFO = PROPSHEETUI_INFO*;
using PDEVQUERYPRINT_INFO = DEVQUERYPRINT_INFO*;

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// DrvPrinterEvent and DrvDriverEvent (winddiui.h).
constexpr INT PRINTER_EVENT_ADD_CONNECTION = 1;
constexpr INT PRINTER_EVENT_DELETE_CONNECTION = 2;
constexpr INT PRINTER_EVENT_INITIALIZE = 3;
constexpr INT PRINTER_EVENT_DELETE = 4;
constexpr INT PRINTER_EVENT_CACHE_REFRESH = 5;
constexpr INT PRINTER_EVENT_CACHE_DELETE = 6;
constexpr DWORD DRIVER_EVENT_INITIALIZE = 1;
constexpr DWORD DRIVER_EVENT_DELETE = 2;
using PFN_DrvPrinterEvent = BOOL(WINAPI*)(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam);

constexpr INT DOCUMENTEVENT_FAILURE = -1;
constexpr INT DOCUMENTEVENT_UNSUPPORTED = 0;
constexpr INT DOCUMENTEVENT_SUCCESS = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);

// DevQueryPrintEx: whether a queued job's devmode can be printed, and the text saying why not.
struct DEVQUERYPRINT_INFO {
  WORD cbSize;
  WORD Level;
  HANDLE hPrinter;
  DEVMODEW* pDevMode;
  LPWSTR pszErrorStr;
  DWORD cchErrorStr;
  DWORD cchNeeded;
};
static_assert(sizeof(DEVQUERYPRINT_INFO) == 40);
static_assert(offsetof(DEVQUERYPRINT_INFO, hPrinter) == 8);
static_assert(offsetof(DEVQUERYPRINT_INFO, pszErrorStr) == 24);
static_assert(offsetof(DEVQUERYPRINT_INFO, cchErrorStr) == 32);
static_assert(offsetof(DEVQUERYPRINT_INFO, cchNeeded) == 36);

// DrvUpgradePrinter level 1.
struct DRIVER_UPGRADE_INFO_1W {
  LPWSTR pPrinterName;
  LPWSTR pOldDriverDirectory;
};

// DrvConvertDevMode modes.
constexpr DWORD CDM_CONVERT = 0x01;
constexpr DWORD CDM_CONVERT351 = 0x02;
constexpr DWORD CDM_DRIVER_DEFAULT = 0x04;

// DrvDeviceCapabilities / DeviceCapabilitiesW indexes.
constexpr WORD DC_FIELDS = 1;
constexpr WORD DC_PAPERS = 2;
constexpr WORD DC_PAPERSIZE = 3;
constexpr WORD DC_MINEXTENT = 4;
constexpr WORD DC_MAXEXTENT = 5;
constexpr WORD DC_BINS = 6;
constexpr WORD DC_DUPLEX = 7;
constexpr WORD DC_SIZE = 8;
constexpr WORD DC_EXTRA = 9;
constexpr WORD DC_VERSION = 10;
constexpr WORD DC_DRIVER = 11;
constexpr WORD DC_BINNAMES = 12;
constexpr WORD DC_ENUMRESOLUTIONS = 13;
constexpr WORD DC_FILEDEPENDENCIES = 14;
constexpr WORD DC_TRUETYPE = 15;
constexpr WORD DC_PAPERNAMES = 16;
constexpr WORD DC_ORIENTATION = 17;
constexpr WORD DC_COPIES = 18;
constexpr WORD DC_BINADJUST = 19;
constexpr WORD DC_EMF_COMPLIANT = 20;
constexpr WORD DC_DATATYPE_PRODUCED = 21;
constexpr WORD DC_COLLATE = 22;
constexpr WORD DC_MANUFACTURER = 23;
constexpr WORD DC_MODEL = 24;
constexpr WORD DC_PERSONALITY = 25;
constexpr WORD DC_PRINTRATE = 26;
constexpr WORD DC_PRINTRATEUNIT = 27;
constexpr WORD DC_PRINTERMEM = 28;
constexpr WORD DC_MEDIAREADY = 29;
constexpr WORD DC_STAPLE = 30;
constexpr WORD DC_PRINTRATEPPM = 31;
constexpr WORD DC_COLORDEVICE = 32;
constexpr WORD DC_NUP = 33;
constexpr WORD DC_MEDIATYPENAMES = 34;
constexpr WORD DC_MEDIATYPES = 35;

// DC_TRUETYPE bits.
constexpr DWORD DCTT_BITMAP = 0x1;
constexpr DWORD DCTT_DOWNLOAD = 0x2;
constexpr DWORD DCTT_SUBDEV = 0x4;

// ---- Property sheets: the common property-sheet UI's calls (compstui.h) and pages (prsht.h) ----

using PFNCOMPROPSHEET = LONG_PTR(WINAPI*)(HANDLE hComPropSheet, UINT function, LPARAM lParam1,
                                          LPARAM lParam2);
using PFNPROPSHEETUI = LONG(WINAPI*)(PPROPSHEETUI_INFO info, LPARAM lParam);

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
static_assert(offsetof(PROPSHEETUI_INFO, lParamInit) == 24);

constexpr WORD PROPSHEETUI_INFO_VERSION = 0x0100;
constexpr WORD PSUIINFO_UNICODE = 0x0001;
constexpr WORD PROPSHEETUI_REASON_INIT = 0;
constexpr WORD PROPSHEETUI_REASON_GET_INFO_HEADER = 1;
constexpr WORD PROPSHEETUI_REASON_DESTROY = 2;
constexpr WORD PROPSHEETUI_REASON_SET_RESULT = 3;
constexpr WORD PROPSHEETUI_REASON_GET_ICON = 4;

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
using PPROPSHEETUI_INFO_HEADER = PROPSHEETUI_INFO_HEADER*;
constexpr WORD PSUIHDRF_NOAPPLYNOW = 0x0002;
constexpr WORD PSUIHDRF_PROPTITLE = 0x0004;
constexpr WORD PSUIHDRF_USEHICON = 0x0008;
constexpr WORD PSUIHDRF_DEFTITLE = 0x0010;
constexpr WORD PSUIHDRF_EXACT_PTITLE = 0x0020;

struct SETRESULT_INFO {
  WORD cbSize;
  WORD wReserved;
  HANDLE hSetResult;
  LRESULT Result;
};
static_assert(sizeof(SETRESULT_INFO) == 24);
using PSETRESULT_INFO = SETRESULT_INFO*;

constexpr UINT CPSFUNC_ADD_HPROPSHEETPAGE = 0;
constexpr UINT CPSFUNC_ADD_PROPSHEETPAGEW = 1;
constexpr UINT CPSFUNC_GET_PAGECOUNT = 8;
constexpr UINT CPSFUNC_SET_RESULT = 9;
constexpr LONG CPSUI_CANCEL = 0;
constexpr LONG CPSUI_OK = 1;
constexpr LONG CPSUI_RESTARTWINDOWS = 2;
constexpr LONG CPSUI_REBOOTSYSTEM = 3;

// The document and device sheets' lParamInit (winddiui.h).
constexpr DWORD DM_NOPERMISSION = 0x0020;
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

// Pages (prsht.h).
struct PROPSHEETPAGEW;
using LPFNPSPCALLBACKW = UINT(WINAPI*)(HWND hwnd, UINT message, PROPSHEETPAGEW* page);
struct PROPSHEETPAGEW {
  DWORD dwSize;
  DWORD dwFlags;
  HINSTANCE hInstance;
  union {
    LPCWSTR pszTemplate;
    const void* pResource;
  };
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
  union {
    HBITMAP hbmHeader;
    LPCWSTR pszbmHeader;
  };
};
static_assert(sizeof(PROPSHEETPAGEW) == 104);
static_assert(offsetof(PROPSHEETPAGEW, pfnDlgProc) == 40);
static_assert(offsetof(PROPSHEETPAGEW, hActCtx) == 88);
using LPPROPSHEETPAGEW = PROPSHEETPAGEW*;
constexpr DWORD PROPSHEETPAGEW_V1_SIZE = offsetof(PROPSHEETPAGEW, pszHeaderTitle);
constexpr DWORD PSP_DEFAULT = 0x0000;
constexpr DWORD PSP_DLGINDIRECT = 0x0001;
constexpr DWORD PSP_USEHICON = 0x0002;
constexpr DWORD PSP_USEICONID = 0x0004;
constexpr DWORD PSP_USETITLE = 0x0008;
constexpr DWORD PSP_RTLREADING = 0x0010;
constexpr DWORD PSP_HASHELP = 0x0020;
constexpr DWORD PSP_USECALLBACK = 0x0080;
constexpr DWORD PSP_USEFUSIONCONTEXT = 0x4000;
constexpr UINT PSPCB_ADDREF = 0;
constexpr UINT PSPCB_RELEASE = 1;
constexpr UINT PSPCB_CREATE = 2;

struct PSHNOTIFY {
  NMHDR hdr;
  LPARAM lParam;
};
static_assert(sizeof(PSHNOTIFY) == 32);
constexpr UINT PSN_FIRST = static_cast<UINT>(-200);
constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
constexpr UINT PSN_APPLY = PSN_FIRST - 2;
constexpr UINT PSN_RESET = PSN_FIRST - 3;
constexpr UINT PSN_HELP = PSN_FIRST - 5;
constexpr UINT PSN_QUERYCANCEL = PSN_FIRST - 9;
constexpr LONG_PTR PSNRET_NOERROR = 0;
constexpr LONG_PTR PSNRET_INVALID = 1;
constexpr LONG_PTR PSNRET_INVALID_NOCHANGEPAGE = 2;
constexpr UINT PSM_SETCURSEL = WM_USER + 101;
constexpr UINT PSM_CHANGED = WM_USER + 104;
constexpr UINT PSM_CANCELTOCLOSE = WM_USER + 107;
constexpr UINT PSM_QUERYSIBLINGS = WM_USER + 108;
constexpr UINT PSM_UNCHANGED = WM_USER + 109;
constexpr UINT PSM_GETCURRENTPAGEHWND = WM_USER + 118;
