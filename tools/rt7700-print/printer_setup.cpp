#include "printer_setup.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/spooler.h"

bool SetUpPrinter(const platform::spooler::PrinterConfig& printer) {
  std::u16string name = printer.name, driverName = printer.driverName, port = platform::Utf8ToUtf16(printer.port);
  std::u16string driverPath = platform::Utf8ToUtf16(printer.driverPath);
  std::u16string configPath = platform::Utf8ToUtf16(printer.configPath);
  std::u16string processor = printer.printProcessor;
  DRIVER_INFO_2W driver{3, driverName.data(), nullptr, driverPath.data(), nullptr, configPath.data()};
  if (!AddPrinterDriverW(nullptr, 2, reinterpret_cast<LPBYTE>(&driver))) return false;

  std::vector<uint8_t> devmode = printer.defaultDevmode;
  PRINTER_INFO_2W info{};
  info.pPrinterName = name.data();
  info.pPortName = port.data();
  info.pDriverName = driverName.data();
  info.pPrintProcessor = processor.data();
  if (devmode.size() >= sizeof(DEVMODEW)) info.pDevMode = reinterpret_cast<LPDEVMODEW>(devmode.data());
  info.Attributes = printer.attributes;
  if (HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
    ClosePrinter(added);
    return true;
  }
  if (GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) return false;
  platform::spooler::PrinterConfig again = printer;
  if (auto existing = platform::spooler::FindPrinter(printer.name)) again.printProcessor = existing->printProcessor;
  return platform::spooler::AddPrinter(again);
}

namespace {
const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : nullptr;
}
}  // namespace

bool TestMode() { return Env("RT7700_TEST_MODE") != nullptr && std::strcmp(Env("RT7700_TEST_MODE"), "1") == 0; }

void SetUpTestMode() {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 1;
  t.wDayOfWeek = 5;
  t.wDay = 2;
  t.wHour = 3;
  t.wMinute = 4;
  t.wSecond = 5;
  platform::hooks::SetLocalTime(t);
  platform::hooks::SetComputerName(Env("RT7700_TEST_COMPUTER") != nullptr ? Env("RT7700_TEST_COMPUTER") : "TESTHOST");
  platform::hooks::SetUserName(
      platform::Utf8ToUtf16(Env("RT7700_TEST_USER") != nullptr ? Env("RT7700_TEST_USER") : "tester"));
  platform::hooks::SetCountryCode(49);
}
