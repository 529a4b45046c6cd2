// GlobalAlloc / GlobalFree over the C heap; a test can make allocations fail.
#include <cstdlib>
#include <cstring>

#include "system_hooks_state.h"
#include "win/error.h"
#include "win/memory.h"

extern "C" HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (!platform::hooks::TakeAllocation()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  size_t rounded = (bytes + 15) / 16 * 16;
  void* p = std::aligned_alloc(16, rounded == 0 ? 16 : rounded);
  if (p == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (flags & GMEM_ZEROINIT) std::memset(p, 0, rounded == 0 ? 16 : rounded);
  return p;
}

extern "C" HGLOBAL GlobalFree(HGLOBAL block) {
  std::free(block);
  return nullptr;
}
