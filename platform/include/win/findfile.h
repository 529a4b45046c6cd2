// The Windows folder, directory searches (GetWindowsDirectoryW, FindFirstFileW and friends) and
// values of INI and INF files.
#pragma once

#include "win/base.h"

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD ERROR_NO_MORE_FILES = 18;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAW) == 592);

extern "C" {
// "<platform root>/windows", created when missing; its "Fonts" folder shows the machine's font
// files. The length copied (without the NUL), or the size needed (with it) when `size` is short.
PLATFORM_API UINT WINAPI GetWindowsDirectoryW(LPWSTR buffer, UINT size);
// Entries of a folder whose names match the last part of `pattern` ('*' and '?', any case), in
// name order; "/" and "\\" both separate folders. INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND
// when nothing matches, ERROR_PATH_NOT_FOUND when the folder is missing.
PLATFORM_API HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
PLATFORM_API BOOL WINAPI FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
PLATFORM_API BOOL WINAPI FindClose(HANDLE find);
// The value of `key` in [section] of the file (UTF-8, or UTF-16 with its byte-order mark); section
// and key compare without case, quotes around a key or a whole value are dropped, ';' starts a
// comment. The default when absent. Returns the characters copied without the NUL (size - 1 when
// the value was cut).
PLATFORM_API DWORD WINAPI GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue,
                                                   LPWSTR out, DWORD size, LPCWSTR fileName);
}
