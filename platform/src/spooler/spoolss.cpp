#include "spoolss.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/event_hooks.h"
#include "platform/test_hooks.h"
#include "win/error.h"

namespace platform::spooler {
namespace {

std::mutex g_lock;
std::vector<std::string> g_switches;
uintptr_t g_nextToken = 0x5000;

thread_local std::set<uintptr_t> t_tokens;  // given to this thread and not yet used
thread_local int t_reverted = 0;

[[maybe_unused]] const bool kRegistered = [] {
  hooks::OnReset([] {
    std::lock_guard g(g_lock);
    g_switches.clear();
  });
  return true;
}();

}  // namespace

void RecordIdentitySwitch(std::string line) {
  std::lock_guard g(g_lock);
  g_switches.push_back(std::move(line));
}

HANDLE WINAPI RevertToPrinterSelf() {
  uintptr_t token;
  {
    std::lock_guard g(g_lock);
    token = g_nextToken++;
  }
  t_tokens.insert(token);
  ++t_reverted;
  RecordIdentitySwitch("revert " + std::to_string(token));
  return reinterpret_cast<HANDLE>(token);
}

BOOL WINAPI ImpersonatePrinterClient(HANDLE token) {
  auto value = reinterpret_cast<uintptr_t>(token);
  if (t_tokens.erase(value) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --t_reverted;
  RecordIdentitySwitch("impersonate " + std::to_string(value));
  return TRUE;
}

bool ActingAsSpooler() { return t_reverted > 0; }

}  // namespace platform::spooler

namespace platform::hooks {
std::vector<std::string> TakeIdentitySwitches() {
  std::lock_guard g(spooler::g_lock);
  return std::exchange(spooler::g_switches, {});
}
}  // namespace platform::hooks
