// Local time, computer name, temporary folder and the calling process's executable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
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

// The user's own temporary folder: "rt7700-<uid>" in `base`, made mode 0700 when it is missing.
// An existing one is used only when it is a real folder (not a link), owned by this user, with
// no access for anyone else; otherwise there is none.
std::optional<std::string> PrivateFolderIn(std::string base) {
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string folder = (base == "/" ? "" : base) + "/rt7700-" + std::to_string(geteuid());
  bool made = ::mkdir(folder.c_str(), 0700) == 0;
  if (!made && errno != EEXIST) return std::nullopt;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
  // A umask may have taken the owner's bits from a folder just made.
  if (ok && made && (st.st_mode & 07777) != 0700) ok = ::fchmod(fd, 0700) == 0 && ::fstat(fd, &st) == 0;
  ok = ok && (st.st_mode & 07777) == 0700;
  ::close(fd);
  if (!ok) return std::nullopt;
  return folder + "/";
}

// A short folder for callers whose buffer cannot hold the user's folder under a long $TMPDIR.
constexpr char kShortTempBase[] = "/tmp";

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

// The folder is private to the user, so files made there (the driver's spool copies) are neither
// readable by nor plantable for other users. The test hook gives its folder as it is.
extern "C" DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
  std::u16string wide;
  auto fits = [&](const std::u16string& s) { return buffer != nullptr && bufferLength >= s.size() + 1; };
  if (auto o = platform::hooks::TempFolderOverride()) {
    if (o->empty()) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return 0;
    }
    wide = platform::Utf8ToUtf16(o->back() == '/' ? *o : *o + "/");
  } else {
    const char* v = std::getenv("TMPDIR");
    std::string base = v != nullptr && *v != '\0' ? v : kShortTempBase;
    std::optional<std::string> folder = PrivateFolderIn(base);
    if (folder) wide = platform::Utf8ToUtf16(*folder);
    // A size query learns the user's folder; a buffer too small for it gets the short one.
    bool query = buffer == nullptr || bufferLength == 0;
    if (!folder || (!query && !fits(wide))) {
      if (auto shortFolder = PrivateFolderIn(kShortTempBase)) {
        wide = platform::Utf8ToUtf16(*shortFolder);
      } else if (!folder) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
      }
    }
  }
  if (!fits(wide)) return static_cast<DWORD>(wide.size() + 1);
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
