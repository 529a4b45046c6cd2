// The spooler's printers as kept on disk: one folder per printer under <platform root>/spooler,
// holding its configuration, default devmode and printer data in one JSON file.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler_admin.h"

namespace platform::spooler {

struct PrinterValue {
  DWORD type = 0;
  std::vector<uint8_t> data;
};

struct StoredPrinter {
  PrinterConfig config;
  std::map<std::u16string, PrinterValue> data;
};

std::string PrinterFolder(const std::u16string& name);
std::optional<StoredPrinter> LoadPrinter(const std::u16string& name);
bool SavePrinter(const StoredPrinter& printer);
// Reads, changes and writes a printer under a lock that other processes honour too. False when
// the printer cannot be read, the change refuses, or the write fails (the last error says which).
bool UpdatePrinter(const std::u16string& name, const std::function<bool(StoredPrinter&)>& change);
bool RemovePrinter(const std::u16string& name);
std::vector<StoredPrinter> LoadAllPrinters();

}  // namespace platform::spooler
