// The platform's string calls used by the driver: wide lengths and copies, code-page conversion.
#pragma once

#include <cstdarg>

#include "win/base.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

extern "C" {
PLATFORM_API int WINAPI lstrlenW(LPCWSTR s);
PLATFORM_API int WINAPI lstrlenA(LPCSTR s);
// Copies at most n - 1 characters and always terminates (n > 0).
PLATFORM_API LPWSTR WINAPI lstrcpynW(LPWSTR dst, LPCWSTR src, int n);
PLATFORM_API LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int n);
PLATFORM_API int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b);
// cchWideChar / cbMultiByte of -1 means NUL-terminated input (the NUL is converted too).
// CP_ACP is Windows-1252 here; CP_UTF8 is UTF-8.
PLATFORM_API int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar,
                                            LPSTR multi, int cbMultiByte, LPCSTR defaultChar,
                                            LPBOOL usedDefaultChar);
PLATFORM_API int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multi, int cbMultiByte,
                                            LPWSTR wide, int cchWideChar);
// Formats like wsprintf: flags "-", "#", "0", a width, a precision, the size prefixes h, l and I64,
// and the conversions c, C, d, i, u, x, X, s, S; anything else after "%" is written as it stands.
// The output holds at most 1024 characters including the NUL, so `out` needs 1024 characters.
// Returns the characters stored, without the NUL.
PLATFORM_API int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args);
PLATFORM_API int wsprintfA(LPSTR out, LPCSTR format, ...);
}
