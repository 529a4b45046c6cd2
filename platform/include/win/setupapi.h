// Device interfaces of a class (the USB printing class) and control requests to a device.
#pragma once

#include <cstddef>

#include "win/base.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16);

// The USB printing class's device interfaces.
inline constexpr GUID GUID_DEVINTERFACE_USBPRINT = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

using HDEVINFO = void*;

constexpr DWORD DIGCF_DEFAULT = 0x00000001;
constexpr DWORD DIGCF_PRESENT = 0x00000002;
constexpr DWORD DIGCF_ALLCLASSES = 0x00000004;
constexpr DWORD DIGCF_PROFILE = 0x00000008;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x00000010;

constexpr DWORD SPINT_ACTIVE = 0x00000001;
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

struct SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;
};
static_assert(sizeof(SP_DEVINFO_DATA) == 32);

struct SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  ULONG_PTR Reserved;
};
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32);

struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
  DWORD cbSize;  // sizeof the struct (8): the fixed part and one character
  WCHAR DevicePath[1];
};
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 8);
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) == 4);

// CTL_CODE(FILE_DEVICE_UNKNOWN, 15, METHOD_BUFFERED, FILE_ANY_ACCESS): input request code and the
// value's high and low bytes; the output is the device's reply.
constexpr DWORD IOCTL_USBPRINT_VENDOR_GET_COMMAND = 0x0022003C;

struct OVERLAPPED;

extern "C" {
// A snapshot of the class's present device interfaces; INVALID_HANDLE_VALUE on failure.
PLATFORM_API HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* classGuid, LPCWSTR enumerator, HWND parent,
                                                  DWORD flags);
// FALSE with ERROR_NO_MORE_ITEMS past the last interface.
PLATFORM_API BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA* device, const GUID* interfaceGuid,
                                                     DWORD index, SP_DEVICE_INTERFACE_DATA* data);
// With too small a buffer (or none): FALSE, ERROR_INSUFFICIENT_BUFFER and *requiredSize set.
PLATFORM_API BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                                          SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                                          DWORD* requiredSize, SP_DEVINFO_DATA* device);
PLATFORM_API BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set);
PLATFORM_API BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                         DWORD outSize, LPDWORD returned, OVERLAPPED* overlapped);
}
