// Per-printer values in the spooler's printer data: size/data pairs, the tray installation
// record and the sleep time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "win/base.h"

namespace ui {

enum class PrinterDataPair { PrinterData, DeviceData, PrivateDevmodeData, CustomPaper, FontData, TrayInstall };

struct PrinterDataNames {
  std::u16string size;  // REG_DWORD byte count
  std::u16string data;  // REG_BINARY bytes
};
// The per-user pair carries the user's name (cut to 31 characters) after both names.
PrinterDataNames NamesOf(PrinterDataPair pair);

// The item's bytes; nothing when either value is missing, the size is 0, or the two disagree.
std::optional<std::vector<uint8_t>> ReadPrinterDataPair(HANDLE printer, PrinterDataPair pair);
// Sets the size value first and the data only when that worked.
[[nodiscard]] bool WritePrinterDataPair(HANDLE printer, PrinterDataPair pair, std::span<const uint8_t> bytes);

// Which optional trays are installed and what paper they hold (20 bytes, little-endian).
struct TrayInstallRecord {
  int32_t tray1Installed;  // index in the installation list: 0 string 5089, 1 string 5088
  int32_t tray2Installed;
  int32_t tray1Paper;  // index in the 12-paper list
  int32_t tray2Paper;
  uint16_t reserved16;
  uint16_t reserved18;
};
static_assert(sizeof(TrayInstallRecord) == 20);
static_assert(offsetof(TrayInstallRecord, tray2Installed) == 4);
static_assert(offsetof(TrayInstallRecord, tray1Paper) == 8);
static_assert(offsetof(TrayInstallRecord, tray2Paper) == 12);
static_assert(offsetof(TrayInstallRecord, reserved16) == 16);
static_assert(offsetof(TrayInstallRecord, reserved18) == 18);

// The stored record, or 20 zero bytes when none (or one of another size) is stored.
TrayInstallRecord ReadTrayInstall(HANDLE printer);
[[nodiscard]] bool WriteTrayInstall(HANDLE printer, const TrayInstallRecord& record);

// "SleepTime": decimal minutes as REG_SZ; nothing when absent or not a number.
std::optional<int> ReadSleepTime(HANDLE printer);
[[nodiscard]] bool WriteSleepTime(HANDLE printer, int minutes);

}  // namespace ui
