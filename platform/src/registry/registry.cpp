// The registry under the platform root: a key is a folder, a value a file holding its type
// and bytes. Names are case-insensitive as on Windows, so the folder and file names are
// the lower-cased names, hex-escaped where a character would not suit a file name.
#include "win/registry.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>

#include "platform/durable_file.h"
#include "platform/utf16.h"
#include "system/environment.h"
#include "win/error.h"

namespace fs = std::filesystem;

namespace {

// Values are small; a larger file is not one of ours.
constexpr DWORD kMaxValueBytes = 64u << 20;

struct OpenKey {
  fs::path folder;
};

std::mutex& Lock() {
  static std::mutex m;
  return m;
}

std::unordered_set<OpenKey*>& Keys() {
  static std::unordered_set<OpenKey*> keys;
  return keys;
}

std::string Escape(std::u16string_view name) {
  std::string utf8 = platform::Utf16ToUtf8(name);
  std::string out;
  for (unsigned char c : utf8) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ' ') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out.empty() ? "%" : out;
}

std::optional<fs::path> RootFolder(HKEY key) {
  const char* name = nullptr;
  if (key == HKEY_LOCAL_MACHINE) name = "HKEY_LOCAL_MACHINE";
  if (key == HKEY_CURRENT_USER) name = "HKEY_CURRENT_USER";
  if (key == HKEY_CLASSES_ROOT) name = "HKEY_CLASSES_ROOT";
  if (key == HKEY_USERS) name = "HKEY_USERS";
  if (name != nullptr) return fs::path(platform::PlatformRoot()) / "registry" / name;
  std::lock_guard g(Lock());
  auto* open = reinterpret_cast<OpenKey*>(key);
  if (Keys().count(open) == 0) return std::nullopt;
  return open->folder;
}

// "Software\\Maker" -> "software/maker"; empty segments are skipped as Windows does.
fs::path SubFolder(fs::path base, LPCWSTR subKey) {
  if (subKey == nullptr) return base;
  std::u16string_view rest(subKey);
  while (!rest.empty()) {
    size_t cut = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, cut);
    if (!part.empty()) base /= Escape(part);
    if (cut == std::u16string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return base;
}

fs::path ValueFile(const fs::path& folder, LPCWSTR valueName) {
  std::u16string_view name = valueName != nullptr ? std::u16string_view(valueName) : std::u16string_view();
  return folder / ("v." + Escape(name));
}

HKEY NewHandle(fs::path folder) {
  auto* open = new OpenKey{std::move(folder)};
  std::lock_guard g(Lock());
  Keys().insert(open);
  return reinterpret_cast<HKEY>(open);
}

}  // namespace

extern "C" LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto root = RootFolder(key);
  if (!root) return ERROR_INVALID_HANDLE;
  fs::path folder = SubFolder(*root, subKey);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(folder);
  return ERROR_SUCCESS;
}

extern "C" LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, const void*,
                                   PHKEY result, LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto root = RootFolder(key);
  if (!root) return ERROR_INVALID_HANDLE;
  fs::path folder = SubFolder(*root, subKey);
  std::error_code ec;
  bool existed = fs::is_directory(folder, ec);
  if (!existed && !fs::create_directories(folder, ec) && !fs::is_directory(folder, ec))
    return ERROR_ACCESS_DENIED;
  if (disposition != nullptr) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewHandle(folder);
  return ERROR_SUCCESS;
}

extern "C" LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                    LPDWORD cbData) {
  if (data != nullptr && cbData == nullptr) return ERROR_INVALID_PARAMETER;
  auto folder = RootFolder(key);
  if (!folder) return ERROR_INVALID_HANDLE;
  std::string bytes;
  // A value file that cannot be read (a folder in its place, no permission) is an error of its
  // own, with its trace; only a missing one is a missing value.
  if (!platform::ReadWholeFile(ValueFile(*folder, valueName).string(), bytes, kMaxValueBytes)) return GetLastError();
  if (bytes.size() < 4) return ERROR_FILE_NOT_FOUND;
  DWORD storedType;
  std::memcpy(&storedType, bytes.data(), 4);
  DWORD size = static_cast<DWORD>(bytes.size() - 4);
  if (type != nullptr) *type = storedType;
  if (cbData == nullptr) return ERROR_SUCCESS;
  DWORD room = *cbData;
  *cbData = size;
  if (data == nullptr) return ERROR_SUCCESS;
  if (room < size) return ERROR_MORE_DATA;
  if (size > 0) std::memcpy(data, bytes.data() + 4, size);
  return ERROR_SUCCESS;
}

extern "C" LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                                  DWORD cbData) {
  if (data == nullptr && cbData > 0) return ERROR_INVALID_PARAMETER;
  if (cbData > kMaxValueBytes - 4) return ERROR_INVALID_PARAMETER;
  auto folder = RootFolder(key);
  if (!folder) return ERROR_INVALID_HANDLE;
  std::string bytes(reinterpret_cast<const char*>(&type), 4);
  if (cbData > 0) bytes.append(reinterpret_cast<const char*>(data), cbData);
  if (!platform::ReplaceFileDurably(ValueFile(*folder, valueName).string(), bytes)) return GetLastError();
  return ERROR_SUCCESS;
}

extern "C" LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  auto folder = RootFolder(key);
  if (!folder) return ERROR_INVALID_HANDLE;
  std::error_code ec;
  return fs::remove(ValueFile(*folder, valueName), ec) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

extern "C" LSTATUS RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT || key == HKEY_USERS)
    return ERROR_SUCCESS;
  std::lock_guard g(Lock());
  auto* open = reinterpret_cast<OpenKey*>(key);
  if (Keys().erase(open) == 0) return ERROR_INVALID_HANDLE;
  delete open;
  return ERROR_SUCCESS;
}
