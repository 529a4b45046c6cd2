// The machine's USB printers as device interfaces of the USB printing class: the fake printers of
// the test hooks, else the kernel's printer-class devices (/dev/usb/lp*).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "spooler/delivery.h"
#include "win/base.h"

namespace platform::devices {

struct UsbPrinter {
  std::u16string path;  // \\?\usb#vid_xxxx&pid_yyyy#<instance>#{28d78fad-...}
  DWORD portNumber = 0;
};

// The present printers, each with its "Port Number" under the device class's registry key
// (assigned, lowest free first, to a real printer seen for the first time).
std::vector<UsbPrinter> PresentUsbPrinters();

// "USB" and three digits, the way the USB monitor names its ports; the number, or nothing.
std::optional<DWORD> UsbPortNumber(std::u16string_view port);

bool IsUsbDevicePath(LPCWSTR name);
// CreateFileW of a device path: INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when no present
// printer has it.
HANDLE OpenUsbDevice(LPCWSTR name, DWORD access);

// A job for port USBnnn: written to the present printer with that port number, opened at the
// first byte (ERROR_BAD_NETPATH when there is none).
std::unique_ptr<spooler::Delivery> OpenUsbPortDelivery(DWORD portNumber);

}  // namespace platform::devices
