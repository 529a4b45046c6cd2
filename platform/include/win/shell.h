// Folders and names of the user and the driver: application data, user name, driver directory.
#pragma once

#include "win/base.h"

constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_FLAG_CREATE = 0x8000;
constexpr DWORD SHGFP_TYPE_CURRENT = 0;

extern "C" {
// The application-data folder ($XDG_CONFIG_HOME, else ~/.config); with CSIDL_FLAG_CREATE it is
// created when missing. path holds MAX_PATH characters.
PLATFORM_API HRESULT WINAPI SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
// *size: in, the buffer's characters; out, the characters written including the NUL (or needed).
PLATFORM_API BOOL WINAPI GetUserNameW(LPWSTR buffer, LPDWORD size);
// Level 1: the folder the printer drivers and their help files are installed in.
PLATFORM_API BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR server, LPWSTR environment, DWORD level,
                                                    LPBYTE driverDirectory, DWORD cbBuf, LPDWORD needed);
}
