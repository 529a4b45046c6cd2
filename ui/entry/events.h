// DrvPrinterEvent and DrvDriverEvent: a new or refreshed printer gets this driver's print
// processor; a deleted printer or driver tells the helper programs to quit.
#pragma once

#include "win/base.h"

namespace ui {

constexpr char16_t kPrintProcessor[] = u"Taliro R6600 PCL5e Processor";
// The helper programs' pipes, told in this order.
constexpr char16_t kXpsHelperPipe[] = u"\\\\.\\pipe\\xpsnamedpipe";
constexpr char16_t kDuplexHelperPipe[] = u"\\\\.\\pipe\\duplexnamedpipe";
// How long a busy helper pipe is waited for, once.
constexpr DWORD kHelperBusyWaitMs = 20000;

BOOL PrinterEvent(LPWSTR printerName, INT event);
// FALSE for every event, as the platform expects of this driver.
BOOL DriverEvent(DWORD event);
// Sends "Close" (UTF-16, with its NUL) as one message on the pipe; a helper that is not running,
// or stays busy, is not told.
void NotifyHelperClose(const char16_t* pipe);

}  // namespace ui
