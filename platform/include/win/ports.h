// The spooler's ports and the monitors that serve them.
#pragma once

#include "win/base.h"

struct PORT_INFO_1W {
  LPWSTR pName;
};

struct PORT_INFO_2W {
  LPWSTR pPortName;
  LPWSTR pMonitorName;
  LPWSTR pDescription;
  DWORD fPortType;
  DWORD Reserved;
};
static_assert(sizeof(PORT_INFO_2W) == 32);

constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_INVALID_LEVEL = 124;

constexpr DWORD PORT_TYPE_WRITE = 0x0001;
constexpr DWORD PORT_TYPE_READ = 0x0002;
constexpr DWORD PORT_TYPE_REDIRECTED = 0x0004;
constexpr DWORD PORT_TYPE_NET_ATTACHED = 0x0008;

extern "C" {
// Levels 1 and 2, local server only (name null). The records come first in the buffer, their
// strings after them. With too small a buffer: FALSE, ERROR_INSUFFICIENT_BUFFER, *needed set and
// *returned 0.
PLATFORM_API BOOL WINAPI EnumPortsW(LPWSTR name, DWORD level, LPBYTE ports, DWORD cbBuf, LPDWORD needed,
                                    LPDWORD returned);
}
