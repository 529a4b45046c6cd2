// The system-call hooks as the platform's own modules read them.
#pragma once

#include <cstdint>
#include <optional>

namespace platform::hooks {

// False when a test made this allocation fail.
bool TakeAllocation();
// How many of `bytes` a WriteFile may write now (all of them unless a test set a limit).
uint64_t AllowFileWrite(uint64_t bytes);
bool PaletteCreationFails();

}  // namespace platform::hooks
