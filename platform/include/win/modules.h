// Loadable modules and their resources (strings, dialog templates, bitmaps, icons, manifests).
#pragma once

#include "win/base.h"

constexpr DWORD ERROR_DLL_INIT_FAILED = 1114;  // a module's DllMain refused DLL_PROCESS_ATTACH

constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x00000002;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x00000004;

// Integer resource names and types travel in the pointer, as MAKEINTRESOURCE makes them.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCWSTR p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }

constexpr WORD RT_BITMAP_ID = 2;
constexpr WORD RT_DIALOG_ID = 5;
constexpr WORD RT_STRING_ID = 6;
constexpr WORD RT_GROUP_ICON_ID = 14;
constexpr WORD RT_MANIFEST_ID = 24;
inline LPCWSTR RT_BITMAP_W() { return MAKEINTRESOURCEW(RT_BITMAP_ID); }
inline LPCWSTR RT_DIALOG_W() { return MAKEINTRESOURCEW(RT_DIALOG_ID); }
inline LPCWSTR RT_STRING_W() { return MAKEINTRESOURCEW(RT_STRING_ID); }
inline LPCWSTR RT_GROUP_ICON_W() { return MAKEINTRESOURCEW(RT_GROUP_ICON_ID); }
inline LPCWSTR RT_MANIFEST_W() { return MAKEINTRESOURCEW(RT_MANIFEST_ID); }
#define RT_BITMAP RT_BITMAP_W()
#define RT_DIALOG RT_DIALOG_W()
#define RT_STRING RT_STRING_W()
#define RT_GROUP_ICON RT_GROUP_ICON_W()
#define RT_MANIFEST RT_MANIFEST_W()

// The header of a device-independent bitmap, as bitmap resources hold it.
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

extern "C" {
// Module files are shared libraries (".so"); a missing file gives ERROR_MOD_NOT_FOUND. A module's
// exported DllMain runs with DLL_PROCESS_ATTACH on its first load and DLL_PROCESS_DETACH on its
// last free; refusing the attach fails the load with ERROR_DLL_INIT_FAILED, the module unloaded.
// Loading a loaded module again returns its handle with one more reference.
PLATFORM_API HMODULE WINAPI LoadLibraryW(LPCWSTR fileName);
PLATFORM_API BOOL WINAPI FreeLibrary(HMODULE module);
using FARPROC = intptr_t(WINAPI*)();
PLATFORM_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
PLATFORM_API BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);
// Null module: the program. Returns the characters copied without the NUL; a cut path returns size
// with ERROR_INSUFFICIENT_BUFFER.
PLATFORM_API DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

// The characters copied (at most bufferMax - 1, NUL-terminated); 0 when the string is missing.
// With bufferMax 0, *(LPCWSTR*)buffer receives the read-only text and its length is returned.
PLATFORM_API int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
PLATFORM_API HRSRC WINAPI FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
PLATFORM_API HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
PLATFORM_API LPVOID WINAPI LockResource(HGLOBAL data);
PLATFORM_API DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
// A bitmap resource as a handle the module owns (valid until FreeLibrary); see platform/bitmaps.h.
PLATFORM_API HBITMAP WINAPI LoadBitmapW(HINSTANCE instance, LPCWSTR name);
}
