#include "environment.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "hook_state.h"

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

}  // namespace platform
