// Storage of the system-call hooks (allocation, file writes, palettes).
#include "system_hooks_state.h"

#include <mutex>

#include "platform/system_hooks.h"
#include "platform/test_hooks.h"

namespace platform::hooks {
namespace {

struct State {
  int allocsLeft = -1;  // -1: no failure
  std::optional<uint64_t> fileWriteLimit;
  uint64_t fileBytesWritten = 0;
  bool failPalette = false;
};

std::mutex& Lock() {
  static std::mutex m;
  return m;
}

State& S() {
  static State s;
  static const bool registered = [] {
    OnReset([] {
      std::lock_guard g(Lock());
      S() = State{};
    });
    return true;
  }();
  (void)registered;
  return s;
}

}  // namespace

void FailGlobalAllocAfter(int succeeding) {
  std::lock_guard g(Lock());
  S().allocsLeft = succeeding < 0 ? 0 : succeeding;
}

void FailFileWritesAt(uint64_t bytes) {
  std::lock_guard g(Lock());
  S().fileWriteLimit = bytes;
  S().fileBytesWritten = 0;
}

void FailPaletteCreation(bool on) {
  std::lock_guard g(Lock());
  S().failPalette = on;
}

bool TakeAllocation() {
  std::lock_guard g(Lock());
  State& s = S();
  if (s.allocsLeft < 0) return true;
  if (s.allocsLeft == 0) return false;
  --s.allocsLeft;
  return true;
}

uint64_t AllowFileWrite(uint64_t bytes) {
  std::lock_guard g(Lock());
  State& s = S();
  if (!s.fileWriteLimit) return bytes;
  uint64_t room = *s.fileWriteLimit > s.fileBytesWritten ? *s.fileWriteLimit - s.fileBytesWritten : 0;
  uint64_t allowed = bytes < room ? bytes : room;
  s.fileBytesWritten += allowed;
  return allowed;
}

bool PaletteCreationFails() {
  std::lock_guard g(Lock());
  return S().failPalette;
}

}  // namespace platform::hooks
