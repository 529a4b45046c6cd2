// Local time, computer name, temporary folder and the calling process's executable.
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "hook_state.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/sysinfo.h"

namespace {

constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;

std::string ExecutablePath() {
  if (auto o = platform::hooks::ExecutableNameOverride()) return *o;
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

}  // namespace

extern "C" void GetLocalTime(SYSTEMTIME* time) {
  if (time == nullptr) return;
  if (auto o = platform::hooks::LocalTimeOverride()) {
    *time = *o;
    return;
  }
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  time->wYear = static_cast<WORD>(tm.tm_year + 1900);
  time->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  time->wDay = static_cast<WORD>(tm.tm_mday);
  time->wHour = static_cast<WORD>(tm.tm_hour);
  time->wMinute = static_cast<WORD>(tm.tm_min);
  time->wSecond = static_cast<WORD>(tm.tm_sec);
  time->wMilliseconds = static_cast<WORD>(ms);
}

extern "C" BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name;
  if (auto o = platform::hooks::ComputerNameOverride()) {
    name = *o;
  } else {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) host[0] = 0;
    name = host;
    if (auto dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    // A NetBIOS name: upper case, at most 15 characters.
    if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (buffer == nullptr || *size < name.size() + 1) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}

extern "C" DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
  std::string folder;
  if (auto o = platform::hooks::TempFolderOverride()) {
    folder = *o;
  } else if (const char* v = std::getenv("TMPDIR"); v != nullptr && *v != '\0') {
    folder = v;
  } else {
    folder = "/tmp";
  }
  if (folder.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  if (folder.back() != '/') folder += '/';
  std::u16string wide = platform::Utf8ToUtf16(folder);
  if (buffer == nullptr || bufferLength < wide.size() + 1) return static_cast<DWORD>(wide.size() + 1);
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return static_cast<DWORD>(wide.size());
}

extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if (module != nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string path = ExecutablePath();
  if (path.size() + 1 > size) {
    std::memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(fileName, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
