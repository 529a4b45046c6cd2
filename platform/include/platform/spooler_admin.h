// Setting up the spooler stand-in's printers (what an administrator does with the real spooler),
// and the test hooks of its jobs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"
#include "win/spooler.h"

namespace platform::spooler {

// Where a printer's jobs go, by its port:
//   "FILE:/path/out.prn"  a file, rewritten per job
//   "/dev/usb/lp0"        a device file (any absolute path)
//   "socket://host:9100"  a TCP printer (raw port)
//   "socket://[::1]:9100?timeout=30"  ... with a bracketed IPv6 address and the seconds it may
//                         go without taking a byte or closing (60 unless given)
//   "MEMORY:"             kept in memory, for tests (see MemoryPrinterBytes)
//   "USB001"              the present USB printer whose interface has port number 1
//   "IP_10.0.0.5"         a standard TCP/IP port: raw on port 9100 of that address
//   "WSD-..."             listed with its monitor, but nothing is delivered there
struct PrinterConfig {
  std::u16string name;
  std::u16string driverName;
  std::string driverPath;  // the rendering library to load
  std::string configPath;  // the interface library
  std::u16string printProcessor;
  std::string port;
  std::vector<uint8_t> defaultDevmode;
  DWORD attributes = PRINTER_ATTRIBUTE_LOCAL;  // PRINTER_INFO_2/4 Attributes: local, or shared, network ...
};

// Printers are kept under the platform root and survive the process. Adding a printer of an
// existing name replaces its configuration and keeps its printer data.
PLATFORM_API bool AddPrinter(const PrinterConfig& config);
PLATFORM_API bool DeletePrinter(const std::u16string& name);
PLATFORM_API std::optional<PrinterConfig> FindPrinter(const std::u16string& name);
PLATFORM_API std::vector<PrinterConfig> ListPrinters();

// Cancels a job by its id, as a user would in the print queue; EngCheckAbort then reports it.
PLATFORM_API bool CancelJob(DWORD jobId);
// Cancels every job of this process; async-signal-safe (for a Ctrl-C handler).
PLATFORM_API void RequestCancelAllJobs();

}  // namespace platform::spooler

namespace platform::hooks {

// Bytes written by the jobs of a "MEMORY:" printer since the last take.
PLATFORM_API std::vector<uint8_t> TakeMemoryPrinterBytes(const std::u16string& printer);
// The next WritePrinter calls on this printer fail once the job has received `byte` bytes
// (a call that would cross it writes nothing and fails).
PLATFORM_API void FailPrinterWritesAt(const std::u16string& printer, uint64_t byte);
// A call that would cross `byte` writes only up to it and reports the short count.
PLATFORM_API void ShortPrinterWriteAt(const std::u16string& printer, uint64_t byte);
// The job is cancelled (EngCheckAbort sees it) once it has received `byte` bytes; 0 at once.
PLATFORM_API void CancelJobAt(const std::u16string& printer, uint64_t byte);

}  // namespace platform::hooks
