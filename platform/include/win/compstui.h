// What the interface library's sheet entry points use beyond the property-sheet records of
// win/printer_ui.h: the devmode request modes and the rarer common-UI calls.
#pragma once

#include "win/base.h"
#include "win/devmode.h"
#include "win/printer_ui.h"

using HPROPSHEETPAGE = struct _PSP*;

// fMode of DocumentPropertySheets / DocumentProperties.
constexpr DWORD DM_UPDATE = 0x01;
constexpr DWORD DM_COPY = 0x02;
constexpr DWORD DM_PROMPT = 0x04;
constexpr DWORD DM_MODIFY = 0x08;
constexpr DWORD DM_IN_BUFFER = DM_MODIFY;
constexpr DWORD DM_OUT_BUFFER = DM_COPY;

constexpr WORD PSUIHDRF_OBSOLETE = 0x0001;
constexpr UINT CPSFUNC_DELETE_HCOMPROPSHEET = 6;
constexpr UINT CPSFUNC_SET_HSTARTPAGE = 7;
constexpr DWORD PSP_USEREFPARENT = 0x0040;
constexpr DWORD ICC_ALL_CLASSES = 0x3FFF;  // every ICC_ class bit up to ICC_LINK_CLASS
