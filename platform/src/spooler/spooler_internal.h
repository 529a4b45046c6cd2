// What the spooler tells the platform's other modules about an open printer handle.
// Internal to the platform; exported only so that the platform's own tests can reach it.
#pragma once

#include <optional>
#include <string>

#include "win/base.h"

namespace platform::spooler {

// True when the handle's current job has been cancelled (CancelJob, AbortPrinter, a Ctrl-C
// request, or a test hook). A failed delivery is not a cancellation: WritePrinter reports it.
PLATFORM_API bool JobCancelled(HANDLE printer);
// Why the handle's current (or last) job failed in its delivery, as a platform error code;
// ERROR_SUCCESS when it did not. What the driver does in between may overwrite the last error, so
// the GDI calls that report a failed job take the reason from here.
PLATFORM_API DWORD JobFailureReason(HANDLE printer);
// The printer name of an open handle.
PLATFORM_API std::optional<std::u16string> PrinterNameOf(HANDLE printer);
// The path of the printer's data file, beside its store (what EngGetPrinterDataFileName reports).
PLATFORM_API std::optional<std::string> PrinterDataFilePath(const std::u16string& printerName);
// Loads the printer's interface library and calls its DrvPrinterEvent (PRINTER_EVENT_*), as the
// spooler does when printers are added, deleted or their cached copies refreshed.
PLATFORM_API void SendPrinterEvent(const std::u16string& printer, INT event);

}  // namespace platform::spooler
