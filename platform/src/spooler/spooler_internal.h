// What the spooler tells the platform's other modules about an open printer handle.
#pragma once

#include <optional>
#include <string>

#include "win/base.h"

namespace platform::spooler {

// True when the handle's current job has been cancelled (a test hook, AbortPrinter, or a
// failed delivery).
bool JobCancelled(HANDLE printer);
// The printer name of an open handle.
std::optional<std::u16string> PrinterNameOf(HANDLE printer);
// The path of the printer's data file, beside its store (what EngGetPrinterDataFileName reports).
std::optional<std::string> PrinterDataFilePath(const std::u16string& printerName);

}  // namespace platform::spooler
