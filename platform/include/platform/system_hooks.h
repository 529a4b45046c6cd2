// Test hooks of the system calls a driver uses: failing allocations, file writes and palettes.
// Like every hook they stay in force until platform::hooks::ResetAll().
#pragma once

#include <cstdint>

#include "win/base.h"

namespace platform::hooks {

// The next `succeeding` GlobalAlloc calls succeed, every later one fails.
PLATFORM_API void FailGlobalAllocAfter(int succeeding);
// WriteFile fails once `bytes` more bytes have been written through it, counted from this call
// (a call that would cross the limit writes only up to it and fails with the short count).
PLATFORM_API void FailFileWritesAt(uint64_t bytes);
// Every EngCreatePalette fails.
PLATFORM_API void FailPaletteCreation(bool on);

}  // namespace platform::hooks
