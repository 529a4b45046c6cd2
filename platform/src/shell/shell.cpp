// The user's folders and name, and the driver directory, from the environment and the hooks.
#include "win/shell.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/utf16.h"
#include "system/environment.h"
#include "system/hook_state.h"
#include "win/error.h"

namespace {

constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003u);  // HRESULT of ERROR_PATH_NOT_FOUND

std::string AppDataFolder() {
  if (auto o = platform::hooks::AppDataFolderOverride()) return *o;
  if (const char* v = std::getenv("XDG_CONFIG_HOME"); v != nullptr && *v == '/') return v;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home) + "/.config";
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
    return std::string(pw->pw_dir) + "/.config";
  return "";
}

std::u16string UserName() {
  if (auto o = platform::hooks::UserNameOverride()) return *o;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr)
    return platform::Utf8ToUtf16(pw->pw_name);
  if (const char* v = std::getenv("USER"); v != nullptr) return platform::Utf8ToUtf16(v);
  return u"";
}

}  // namespace

extern "C" HRESULT SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (path == nullptr || (folder & 0xFF) != CSIDL_APPDATA) return E_INVALIDARG;
  path[0] = 0;
  std::string dir = AppDataFolder();
  if (dir.empty()) return kPathNotFound;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    if ((folder & CSIDL_FLAG_CREATE) == 0) return kPathNotFound;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) return kPathNotFound;
  }
  std::u16string wide = platform::Utf8ToUtf16(dir);
  if (wide.size() >= MAX_PATH) return kPathNotFound;
  std::memcpy(path, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return S_OK;
}

extern "C" BOOL GetUserNameW(LPWSTR buffer, LPDWORD size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string name = UserName();
  DWORD needed = static_cast<DWORD>(name.size() + 1);
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), needed * sizeof(WCHAR));
  *size = needed;
  return TRUE;
}

extern "C" BOOL GetPrinterDriverDirectoryW(LPWSTR, LPWSTR, DWORD level, LPBYTE driverDirectory, DWORD cbBuf,
                                           LPDWORD needed) {
  if (level != 1 || needed == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string dir = platform::Utf8ToUtf16(platform::PlatformRoot() + "/drivers/x64");
  DWORD bytes = static_cast<DWORD>((dir.size() + 1) * sizeof(WCHAR));
  *needed = bytes;
  if (driverDirectory == nullptr || cbBuf < bytes) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(driverDirectory, dir.c_str(), bytes);
  return TRUE;
}
