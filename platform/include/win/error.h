// The calling thread's last error and the error codes the driver uses.
#pragma once

#include "win/base.h"

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_CAN_NOT_COMPLETE = 1003;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_CANCELLED = 1223;
constexpr DWORD ERROR_INVALID_PRINTER_NAME = 1801;
constexpr DWORD ERROR_UNKNOWN_PRINTER_DRIVER = 1797;
constexpr DWORD ERROR_PRINTER_ALREADY_EXISTS = 1802;
constexpr DWORD ERROR_BROKEN_PIPE = 109;     // the other end of a pipe closed
constexpr DWORD ERROR_SEM_TIMEOUT = 121;     // a wait for a pipe instance ran out
constexpr DWORD ERROR_PIPE_BUSY = 231;       // every instance of a pipe is taken
constexpr DWORD ERROR_PIPE_CONNECTED = 535;  // a client came before ConnectNamedPipe
constexpr DWORD ERROR_PRINT_CANCELLED = 63;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
// Why a job's delivery failed.
constexpr DWORD ERROR_NETNAME_DELETED = 64;        // the printer closed the connection early
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_CONNECTION_REFUSED = 1225;
constexpr DWORD ERROR_HOST_UNREACHABLE = 1232;
constexpr DWORD ERROR_TIMEOUT = 1460;               // no progress within the delivery timeout
constexpr DWORD ERROR_BAD_NETPATH = 53;             // a port or URI that names nothing usable
constexpr DWORD WSAHOST_NOT_FOUND = 11001;          // the printer's host name does not resolve

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

extern "C" {
PLATFORM_API DWORD WINAPI GetLastError();
PLATFORM_API void WINAPI SetLastError(DWORD code);
}
