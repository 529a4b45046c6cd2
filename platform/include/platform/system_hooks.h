// Test hooks of the system calls a driver uses: failing allocations, file writes and palettes.
// Like every hook they stay in force until platform::hooks::ResetAll().
#pragma once

#include <cstdint>

#include "win/base.h"

namespace platform::hooks {

// The next `succeeding` GlobalAlloc calls succeed, every later one fails.
PLATFORM_API void FailGlobalAllocAfter(int succeeding);
// Every WriteFile fails once `bytes` bytes have been written through WriteFile in all (a call
// that would cross it writes only up to it and reports the short count).
PLATFORM_API void FailFileWritesAt(uint64_t bytes);
// Every EngCreatePalette fails.
PLATFORM_API void FailPaletteCreation(bool on);

}  // namespace platform::hooks
