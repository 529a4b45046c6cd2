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

constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;
constexpr INT DOCUMENTEVENT_FAILURE = -1;
constexpr INT DOCUMENTEVENT_UNSUPPORTED = 0;
constexpr INT DOCUMENTEVENT_SUCCESS = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
