// A printer graphics library as the engine holds it: loaded once per path with dlopen, enabled once
// with DrvEnableDriver, and unloaded (DrvDisableDriver, dlclose) when its last device context goes.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "win/winddi.h"

namespace platform::gdi {

class DriverLibrary {
 public:
  // The loaded library for `path`, shared with every device context already using it; null
  // (last error set, reason traced) when it cannot be loaded or enabled.
  static std::shared_ptr<DriverLibrary> Load(const std::string& path);

  ~DriverLibrary();
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  // The hook the driver handed over for this index, or null.
  template <typename Fn>
  Fn Hook(ULONG index) const {
    auto it = hooks_.find(index);
    return it == hooks_.end() ? nullptr : reinterpret_cast<Fn>(it->second);
  }

 private:
  DriverLibrary() = default;
  void* module_ = nullptr;
  std::string path_;
  std::map<ULONG, PFN> hooks_;
};

}  // namespace platform::gdi
