// Named pipes "\\.\pipe\NAME": what a client opens with CreateFileW and writes with WriteFile,
// and the server side that helper programs (and tests standing in for them) run.
#pragma once

#include "win/base.h"
#include "win/fileapi.h"

constexpr DWORD PIPE_ACCESS_DUPLEX = 0x00000003;
constexpr DWORD PIPE_TYPE_MESSAGE = 0x00000004;
constexpr DWORD PIPE_READMODE_BYTE = 0x00000000;
constexpr DWORD PIPE_READMODE_MESSAGE = 0x00000002;
constexpr DWORD PIPE_WAIT = 0x00000000;
constexpr DWORD PIPE_UNLIMITED_INSTANCES = 255;
constexpr DWORD NMPWAIT_USE_DEFAULT_WAIT = 0x00000000;
constexpr DWORD NMPWAIT_WAIT_FOREVER = 0xFFFFFFFF;

extern "C" {
// Waits up to `timeout` ms (the default is 50 ms) for a free instance of the pipe. FALSE with
// ERROR_SEM_TIMEOUT when none came, ERROR_FILE_NOT_FOUND when nobody serves the name.
PLATFORM_API BOOL WINAPI WaitNamedPipeW(LPCWSTR name, DWORD timeout);
// Only the read mode can be set; every pipe here carries messages.
PLATFORM_API BOOL WINAPI SetNamedPipeHandleState(HANDLE pipe, LPDWORD mode, LPDWORD maxCollection,
                                                 LPDWORD collectTimeout);
// Message pipes only. `maxInstances` clients may wait to be connected at a time; one more finds
// the pipe busy.
PLATFORM_API HANDLE WINAPI CreateNamedPipeW(LPCWSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                                            DWORD outBufferSize, DWORD inBufferSize, DWORD defaultTimeout,
                                            SECURITY_ATTRIBUTES* security);
// Blocks until a client connects; after it ReadFile gives one message per call.
PLATFORM_API BOOL WINAPI ConnectNamedPipe(HANDLE pipe, OVERLAPPED* overlapped);
PLATFORM_API BOOL WINAPI DisconnectNamedPipe(HANDLE pipe);
}
