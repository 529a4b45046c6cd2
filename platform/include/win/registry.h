// The registry: keys and typed values; the value types REG_* are declared with the spooler.
#pragma once

#include "win/base.h"
#include "win/spooler.h"

using REGSAM = DWORD;
using PHKEY = HKEY*;
using LSTATUS = LONG;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003u));

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

extern "C" {
// Results are error codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ...), not the last error.
PLATFORM_API LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
PLATFORM_API LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                                            DWORD options, REGSAM desired, const void* security, PHKEY result,
                                            LPDWORD disposition);
// With data null only *cbData (and *type) are filled; a too small buffer gives ERROR_MORE_DATA.
PLATFORM_API LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                             LPBYTE data, LPDWORD cbData);
PLATFORM_API LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                                           const BYTE* data, DWORD cbData);
PLATFORM_API LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName);
PLATFORM_API LSTATUS WINAPI RegCloseKey(HKEY key);
}
