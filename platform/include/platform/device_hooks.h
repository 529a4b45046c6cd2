// Test hooks of the machine's devices: fake USB printers in place of the real ones, and whether
// the user is one of the administrators.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"

namespace platform::hooks {

struct FakeUsbPrinter {
  DWORD portNumber = 1;          // "Port Number" of its interface: port USB001 for 1
  std::u16string instance;       // the device path's instance part; empty: one of its own
  std::optional<std::vector<uint8_t>> statusReply;  // the vendor status reply; none: the request fails
  std::vector<uint8_t> readReply;                   // what ReadFile returns once, after the writes
};

// While fake printers are installed they are the machine's only USB printers. Returns the fake's
// device path (\\?\usb#...#{28d78fad-...}).
PLATFORM_API std::u16string InstallFakeUsbPrinter(FakeUsbPrinter printer);
PLATFORM_API void RemoveFakeUsbPrinters();
// No USB printer at all, fake or real.
PLATFORM_API void HideUsbPrinters();

struct UsbRequest {
  DWORD code;
  std::vector<uint8_t> input;
  DWORD outputSize;
};
// Each WriteFile on the fake with that port number, in order, and each DeviceIoControl.
PLATFORM_API std::vector<std::vector<uint8_t>> TakeUsbWrites(DWORD portNumber);
PLATFORM_API std::vector<UsbRequest> TakeUsbRequests(DWORD portNumber);
// Changes a fake's status reply (none: the request fails).
PLATFORM_API void SetUsbStatusReply(DWORD portNumber, std::optional<std::vector<uint8_t>> reply);

// The process token counts as an administrator's (S-1-5-32-544 among its groups) or not;
// nullopt: root or a member of the "lpadmin" group is one.
PLATFORM_API void SetAdministrator(std::optional<bool> administrator);

}  // namespace platform::hooks
