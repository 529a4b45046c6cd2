// An interface library that says on the trace which printer events it received and whether the
// printer existed then.
#include <cstdio>

#include "platform/utf16.h"
#include "win/debug.h"
#include "win/printer_ui.h"
#include "win/spooler.h"

extern "C" __attribute__((visibility("default"))) BOOL WINAPI DrvPrinterEvent(LPWSTR printer, INT event, DWORD,
                                                                               LPARAM) {
  HANDLE handle = nullptr;
  bool exists = OpenPrinterW(printer, &handle, nullptr);
  if (exists) ClosePrinter(handle);
  char line[160];
  std::snprintf(line, sizeof line, "event %d %s %s", event, platform::Utf16ToUtf8(printer).c_str(),
                exists ? "exists" : "missing");
  OutputDebugStringA(line);
  return TRUE;
}
