#include "builtin_modules.h"

#include <cstring>
#include <mutex>
#include <set>
#include <utility>

#include "platform/event_hooks.h"
#include "platform/test_hooks.h"
#include "spooler/spoolss.h"

namespace platform::modules {
namespace {

// Through the one type that any function pointer may pass as.
template <typename F>
FARPROC Export(F* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const BuiltinFunction kSpoolss[] = {
    {"RevertToPrinterSelf", Export(&spooler::RevertToPrinterSelf)},
    {"ImpersonatePrinterClient", Export(&spooler::ImpersonatePrinterClient)},
};

const BuiltinModule kModules[] = {
    {"spoolss.dll", kSpoolss, std::size(kSpoolss)},
};

std::mutex g_lock;
std::set<std::string> g_hiddenModules;
std::set<std::pair<std::string, std::string>> g_hiddenFunctions;

[[maybe_unused]] const bool kRegistered = [] {
  hooks::OnReset([] {
    std::lock_guard g(g_lock);
    g_hiddenModules.clear();
    g_hiddenFunctions.clear();
  });
  return true;
}();

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

const BuiltinModule* FindBuiltinModule(const std::string& fileName) {
  std::string name = Lower(fileName);
  for (const auto& m : kModules) {
    if (name != m.name) continue;
    std::lock_guard g(g_lock);
    return g_hiddenModules.count(name) != 0 ? nullptr : &m;
  }
  return nullptr;
}

FARPROC FindBuiltinFunction(const BuiltinModule& module, const char* name) {
  for (size_t i = 0; i < module.count; ++i) {
    if (std::strcmp(module.functions[i].name, name) != 0) continue;
    std::lock_guard g(g_lock);
    return g_hiddenFunctions.count({module.name, name}) != 0 ? nullptr : module.functions[i].address;
  }
  return nullptr;
}

}  // namespace platform::modules

namespace platform::hooks {

void HideBuiltinModule(std::string module) {
  std::lock_guard g(modules::g_lock);
  modules::g_hiddenModules.insert(modules::Lower(std::move(module)));
}

void HideBuiltinFunction(std::string module, std::string function) {
  std::lock_guard g(modules::g_lock);
  modules::g_hiddenFunctions.insert({modules::Lower(std::move(module)), std::move(function)});
}

}  // namespace platform::hooks
