// What the printer properties' pages ask of the machine: the printer's port and its monitor, the
// USB printer behind a USB port and its vendor channel, the driver's version from its INF, and
// whether the user is one of the administrators.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "win/base.h"

namespace ui::device {

// The printer's port (PRINTER_INFO_2); empty when it cannot be read.
std::u16string PrinterPort(HANDLE printer);

struct PortDescription {
  std::u16string monitor, description;
};
// The port among the local ports (EnumPortsW level 2), compared without case.
std::optional<PortDescription> DescribePort(std::u16string_view port);
// A network monitor (TCP/IP or WSD): the vendor channel cannot reach the printer.
bool IsNetworkMonitor(std::u16string_view monitor);

// The device path of the USB printer whose interface has the port's number; empty when none.
std::u16string FindUsbPrintDevice(std::u16string_view port);

struct SleepState {
  uint8_t state;  // 2 and 4: ready to take a new sleep time
  int minutes;    // 254 in the reply stands for 480
};
std::optional<SleepState> QueryPrinterSleepState(const std::u16string& devicePath);
bool ReadyForCommand(const SleepState& s);
// The printer-language switch, the 16-byte sleep-time command and the exit, in three writes; the
// printer's answer is read and dropped. False when the device cannot be opened or written.
bool SendSleepTime(const std::u16string& devicePath, int minutes);

// The version from the driver's INF among the Windows folder's oem*.inf; empty when none.
std::u16string ReadDriverVersion();

// A member of the local administrators (S-1-5-32-544) by the process token's groups.
bool IsAdministrator();

}  // namespace ui::device
