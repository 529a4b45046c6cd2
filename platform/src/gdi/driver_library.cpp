#include "driver_library.h"

#include <dlfcn.h>

#include <mutex>

#include "gdi_trace.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

// More hooks than the interface has slots means the table is garbage.
constexpr ULONG kMaxHooks = 256;

std::mutex g_lock;
std::map<std::string, std::weak_ptr<DriverLibrary>>& Loaded() {
  static std::map<std::string, std::weak_ptr<DriverLibrary>> loaded;
  return loaded;
}

}  // namespace

std::shared_ptr<DriverLibrary> DriverLibrary::Load(const std::string& path) {
  std::lock_guard g(g_lock);
  if (auto existing = Loaded()[path].lock()) return existing;

  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = dlerror();
    GdiTrace("GDI: cannot load driver %s: %s\n", path.c_str(), why != nullptr ? why : "?");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto enable = reinterpret_cast<PFN_DrvEnableDriver>(dlsym(module, "DrvEnableDriver"));
  if (enable == nullptr) {
    GdiTrace("GDI: %s has no DrvEnableDriver\n", path.c_str());
    dlclose(module);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  DRVENABLEDATA ded{};
  if (!enable(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded) || ded.pdrvfn == nullptr || ded.c == 0 ||
      ded.c > kMaxHooks) {
    GdiTrace("GDI: DrvEnableDriver of %s failed\n", path.c_str());
    dlclose(module);
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return nullptr;
  }

  std::shared_ptr<DriverLibrary> library(new DriverLibrary);
  library->module_ = module;
  library->path_ = path;
  for (ULONG i = 0; i < ded.c; ++i) {
    if (ded.pdrvfn[i].pfn != nullptr) library->hooks_[ded.pdrvfn[i].iFunc] = ded.pdrvfn[i].pfn;
  }
  Loaded()[path] = library;
  return library;
}

DriverLibrary::~DriverLibrary() {
  std::lock_guard g(g_lock);
  if (auto disable = reinterpret_cast<PFN_DrvDisableDriver>(dlsym(module_, "DrvDisableDriver"))) disable();
  dlclose(module_);
  auto it = Loaded().find(path_);
  if (it != Loaded().end() && it->second.expired()) Loaded().erase(it);
}

}  // namespace platform::gdi
