// The printer interface DLL entry points (the platform's printer interface DDI). Records whose
// handling is not built yet are declared incomplete here and completed with their handling.
#pragma once

#include "win/base.h"
#include "win/devmode.h"

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
