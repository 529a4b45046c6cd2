// Windows base types and small records, with the published widths.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#define WINAPI
#define PLATFORM_API __attribute__((visibility("default")))
#else
#define WINAPI
#define PLATFORM_API
#endif

using BOOL = int32_t;
using BYTE = uint8_t;
using CHAR = char;
using UCHAR = unsigned char;
using WCHAR = char16_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using WORD = uint16_t;
using INT = int32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using FLOAT = float;
using FLONG = uint32_t;
using LANGID = uint16_t;
using LCID = uint32_t;
using LCTYPE = uint32_t;
using ULONG_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using DWORD_PTR = uintptr_t;
using SIZE_T = size_t;
using HRESULT = int32_t;
using COLORREF = uint32_t;
using UINT_PTR = uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using PLONG = LONG*;

using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using PBYTE = BYTE*;
using LPBYTE = BYTE*;
using PDWORD = DWORD*;
using LPDWORD = DWORD*;
using PULONG = ULONG*;
using LPBOOL = BOOL*;

using HANDLE = void*;
using HMODULE = struct HINSTANCE__*;
using HINSTANCE = HMODULE;
using HWND = struct HWND__*;
using HDC = struct HDC__*;
using HKEY = struct HKEY__*;
using HGLOBAL = void*;
using HRSRC = struct HRSRC__*;
using HBITMAP = struct HBITMAP__*;
using HICON = struct HICON__*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr DWORD MAX_PATH = 260;
constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

constexpr WORD LOWORD(DWORD v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(DWORD v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(WORD v) { return static_cast<BYTE>(v & 0xFF); }
constexpr BYTE HIBYTE(WORD v) { return static_cast<BYTE>((v >> 8) & 0xFF); }

struct POINTL {
  LONG x;
  LONG y;
};

struct SIZEL {
  LONG cx;
  LONG cy;
};

struct RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

using RECT = RECTL;
using POINT = POINTL;

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

static_assert(sizeof(SYSTEMTIME) == 16);
static_assert(sizeof(RECTL) == 16);
