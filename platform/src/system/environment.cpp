#include "environment.h"

#include <unistd.h>

#include <pwd.h>
#include <sys/time.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "hook_state.h"
#include "platform/utf16.h"

namespace platform {

std::string PlatformRoot() {
  if (auto o = hooks::PlatformRootOverride()) return *o;
  if (const char* v = std::getenv("RT7700_PLATFORM_ROOT"); v != nullptr && *v != '\0') return v;
  if (const char* v = std::getenv("XDG_STATE_HOME"); v != nullptr && *v != '\0')
    return std::string(v) + "/rt7700-platform";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "/tmp") + "/.local/state/rt7700-platform";
}

std::string ExecutableName() {
  if (auto o = hooks::ExecutableNameOverride()) return *o;
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.filename().string();
}

SYSTEMTIME CurrentLocalTime() {
  if (auto o = hooks::LocalTimeOverride()) return *o;
  timeval tv{};
  gettimeofday(&tv, nullptr);
  tm local{};
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &local);
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(local.tm_year + 1900);
  t.wMonth = static_cast<WORD>(local.tm_mon + 1);
  t.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  t.wDay = static_cast<WORD>(local.tm_mday);
  t.wHour = static_cast<WORD>(local.tm_hour);
  t.wMinute = static_cast<WORD>(local.tm_min);
  t.wSecond = static_cast<WORD>(local.tm_sec);
  t.wMilliseconds = static_cast<WORD>(tv.tv_usec / 1000);
  return t;
}

std::u16string CurrentUserName() {
  if (auto o = hooks::UserNameOverride()) return *o;
  if (const char* v = std::getenv("USER"); v != nullptr && *v != '\0') return Utf8ToUtf16(v);
  passwd* pw = getpwuid(getuid());
  return pw != nullptr ? Utf8ToUtf16(pw->pw_name) : u"user";
}

}  // namespace platform
