#include "entry/events.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "devmode/trace.h"
#include "win/error.h"
#include "win/fileapi.h"
#include "win/modules.h"
#include "win/namedpipe.h"
#include "win/printer_ui.h"
#include "win/spooler.h"

namespace ui {
namespace {

constexpr char16_t kCloseMessage[] = u"Close";  // sent with its NUL: 12 bytes

// Reads PRINTER_INFO_2 and writes it back with this driver's print processor. A failure leaves the
// printer as it was.
void SetPrintProcessor(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  if (needed < sizeof(PRINTER_INFO_2W)) {
    devmode::DebugTrace("DrvPrinterEvent: cannot read the printer (error %lu)\n",
                        static_cast<unsigned long>(GetLastError()));
    return;
  }
  std::vector<uint64_t> block((needed + 7) / 8, 0);  // zero-filled and aligned for the record
  auto* bytes = reinterpret_cast<LPBYTE>(block.data());
  if (!GetPrinterW(printer, 2, bytes, needed, &needed)) return;
  WCHAR processor[std::size(kPrintProcessor)];
  std::copy(std::begin(kPrintProcessor), std::end(kPrintProcessor), processor);
  reinterpret_cast<PRINTER_INFO_2W*>(bytes)->pPrintProcessor = processor;
  if (!SetPrinterW(printer, 2, bytes, 0)) {
    devmode::DebugTrace("DrvPrinterEvent: cannot set the print processor (error %lu)\n",
                        static_cast<unsigned long>(GetLastError()));
  }
}

BOOL Initialize(LPWSTR printerName) {
  PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  if (!OpenPrinterW(printerName, &printer, &all)) return FALSE;
  SetPrintProcessor(printer);
  ClosePrinter(printer);
  return TRUE;
}

template <typename F>
F Function(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A client's cached copy of the printer is refreshed under the spooler's own identity.
BOOL RefreshCache(LPWSTR printerName) {
  HMODULE spoolss = LoadLibraryW(u"spoolss.dll");
  if (spoolss == nullptr) return FALSE;
  auto revert = Function<PFN_RevertToPrinterSelf>(spoolss, "RevertToPrinterSelf");
  auto impersonate = Function<PFN_ImpersonatePrinterClient>(spoolss, "ImpersonatePrinterClient");
  if (revert == nullptr || impersonate == nullptr) {
    FreeLibrary(spoolss);
    return FALSE;
  }
  HANDLE token = revert();
  HANDLE printer = nullptr;
  BOOL opened = OpenPrinterW(printerName, &printer, nullptr);
  if (opened) {
    SetPrintProcessor(printer);
    ClosePrinter(printer);
  }
  if (token != nullptr) impersonate(token);
  FreeLibrary(spoolss);
  return opened;
}

void NotifyHelpers() {
  NotifyHelperClose(kXpsHelperPipe);
  NotifyHelperClose(kDuplexHelperPipe);
}

}  // namespace

BOOL PrinterEvent(LPWSTR printerName, INT event) {
  switch (event) {
    case PRINTER_EVENT_INITIALIZE: return Initialize(printerName);
    case PRINTER_EVENT_CACHE_REFRESH: return RefreshCache(printerName);
    case PRINTER_EVENT_DELETE: NotifyHelpers(); return TRUE;
    default: return TRUE;
  }
}

BOOL DriverEvent(DWORD event) {
  if (event == DRIVER_EVENT_DELETE) NotifyHelpers();
  return FALSE;
}

void NotifyHelperClose(const char16_t* pipe) {
  auto open = [pipe] {
    return CreateFileW(pipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  HANDLE handle = open();
  if (handle == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeW(pipe, kHelperBusyWaitMs)) return;
    handle = open();
    if (handle == INVALID_HANDLE_VALUE) return;
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(handle, &mode, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(handle, kCloseMessage, sizeof kCloseMessage, &written, nullptr);
  CloseHandle(handle);
}

}  // namespace ui
