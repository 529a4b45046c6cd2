// The printer interface DLL entry points (the platform's printer interface DDI). Records whose
// handling is not built yet are declared incomplete here and completed with their handling.
#pragma once

#include "win/base.h"
#include "win/devmode.h"

struct PROPSHEETUI_INFO;
struct DEVQUERYPRINT_INFO;
struct PrintPropertiesCollection;
using PPROPSHEETUI_INFO = PROPSHEETUI_INFO*;
using PDEVQUERYPRINT_INFO = DEVQUERYPRINT_INFO*;

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

constexpr INT DOCUMENTEVENT_FAILURE = -1;
constexpr INT DOCUMENTEVENT_UNSUPPORTED = 0;
constexpr INT DOCUMENTEVENT_SUCCESS = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
