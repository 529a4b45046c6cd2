// GDI for applications: printer device contexts, document and page control, escapes and device
// capabilities, with the published names and values.
#pragma once

#include "win/base.h"
#include "win/devmode.h"

struct DOCINFOW {
  int cbSize;
  LPCWSTR lpszDocName;
  LPCWSTR lpszOutput;
  LPCWSTR lpszDatatype;
  DWORD fwType;
};

// Results of StartDocW, StartPage, EndPage, EndDoc and AbortDoc on failure.
constexpr int SP_ERROR = -1;
constexpr int SP_APPABORT = -2;
constexpr int SP_USERABORT = -3;
constexpr int SP_OUTOFDISK = -4;
constexpr int SP_OUTOFMEMORY = -5;

// GetDeviceCaps indices.
constexpr int DRIVERVERSION = 0;
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int TEXTCAPS = 34;
constexpr int RASTERCAPS = 38;
constexpr int ASPECTX = 40;
constexpr int ASPECTY = 42;
constexpr int ASPECTXY = 44;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;
constexpr int SHADEBLENDCAPS = 120;

// Document events the GDI layer sends to the printer's interface library (DrvDocumentEvent).
constexpr int DOCUMENTEVENT_CREATEDCPRE = 1;
constexpr int DOCUMENTEVENT_CREATEDCPOST = 2;
constexpr int DOCUMENTEVENT_RESETDCPRE = 3;
constexpr int DOCUMENTEVENT_RESETDCPOST = 4;
constexpr int DOCUMENTEVENT_STARTDOC = 5;
constexpr int DOCUMENTEVENT_STARTPAGE = 6;
constexpr int DOCUMENTEVENT_ENDPAGE = 7;
constexpr int DOCUMENTEVENT_ENDDOC = 8;
constexpr int DOCUMENTEVENT_ABORTDOC = 9;
constexpr int DOCUMENTEVENT_DELETEDC = 10;
constexpr int DOCUMENTEVENT_ESCAPE = 11;
constexpr int DOCUMENTEVENT_ENDDOCPOST = 12;
constexpr int DOCUMENTEVENT_STARTDOCPOST = 13;

constexpr int DOCUMENTEVENT_FAILURE = -1;
constexpr int DOCUMENTEVENT_UNSUPPORTED = 0;
constexpr int DOCUMENTEVENT_SUCCESS = 1;

// The interface library's export, as GDI calls it.
using PFN_DrvDocumentEvent = int (*)(HANDLE hPrinter, HDC hdc, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                                     PVOID pvOut);

extern "C" {
// A device context for the printer named `device` (`driver` may be null or "WINSPOOL"; `port` is
// ignored). The devmode is the caller's, else the printer's default. Null on failure.
PLATFORM_API HDC WINAPI CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* devmode);
// Starts a job; returns its id (above 0) or SP_ERROR.
PLATFORM_API int WINAPI StartDocW(HDC hdc, const DOCINFOW* docInfo);
PLATFORM_API int WINAPI StartPage(HDC hdc);
PLATFORM_API int WINAPI EndPage(HDC hdc);
PLATFORM_API int WINAPI EndDoc(HDC hdc);
PLATFORM_API int WINAPI AbortDoc(HDC hdc);
// Between pages only: the device takes the new devmode and keeps the document. Returns hdc or null.
PLATFORM_API HDC WINAPI ResetDCW(HDC hdc, const DEVMODEW* devmode);
// The driver's result: above 0 success, 0 not supported; below 0 when the call is refused.
PLATFORM_API int WINAPI ExtEscape(HDC hdc, int escape, int cjInput, LPCSTR inData, int cjOutput, LPSTR outData);
PLATFORM_API int WINAPI GetDeviceCaps(HDC hdc, int index);
PLATFORM_API BOOL WINAPI DeleteDC(HDC hdc);
}
