// Per-thread last error.
#include "win/error.h"

namespace {
thread_local DWORD g_lastError = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError() { return g_lastError; }
extern "C" void SetLastError(DWORD code) { g_lastError = code; }
