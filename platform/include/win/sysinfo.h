// System information the driver reads: local time, the computer's name, the temporary folder and
// the executable of the calling process.
#pragma once

#include "win/base.h"

constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

extern "C" {
PLATFORM_API void WINAPI GetLocalTime(SYSTEMTIME* time);
// *size: in, the buffer's characters; out, the characters stored without the NUL (or, with
// ERROR_BUFFER_OVERFLOW, the characters needed including it).
PLATFORM_API BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD size);
// The temporary folder with a trailing separator; returns its length without the NUL, the length
// needed including it when the buffer is too small, 0 on failure.
PLATFORM_API DWORD WINAPI GetTempPathW(DWORD bufferLength, LPWSTR buffer);
// With a null module: the path of the calling process's executable. Returns the characters stored
// without the NUL; a path that does not fit is cut, terminated, and ERROR_INSUFFICIENT_BUFFER set.
PLATFORM_API DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
}
