// Debug output: lines a debugger would show; on Linux stderr when RT7700_DEBUG_TRACE is set.
#pragma once

#include "win/base.h"

extern "C" {
PLATFORM_API void WINAPI OutputDebugStringA(LPCSTR text);
PLATFORM_API void WINAPI OutputDebugStringW(LPCWSTR text);
}
