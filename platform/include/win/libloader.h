// Modules of the calling process: the name of the program it runs.
#pragma once

#include "win/base.h"

extern "C" {
// With a null module: the path of the program the process runs (the executable-name hook's name
// when a test set one). Returns the characters copied without the NUL; a buffer too small gets
// the path cut and terminated, the result is `size` and the last error ERROR_INSUFFICIENT_BUFFER.
// Any other module: 0 and ERROR_MOD_NOT_FOUND.
PLATFORM_API DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
}
