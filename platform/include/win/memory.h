// Global memory blocks (fixed memory only).
#pragma once

#include "win/base.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

extern "C" {
// null on failure (ERROR_NOT_ENOUGH_MEMORY). The block is 16-byte aligned.
PLATFORM_API HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
// null on success, as on the real platform.
PLATFORM_API HGLOBAL WINAPI GlobalFree(HGLOBAL block);
}
