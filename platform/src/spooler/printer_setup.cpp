// Installing drivers and adding and deleting printers as an installer or administrator does, with
// the printer events the interface library receives on the way.
#include <string>

#include "platform/spooler_admin.h"
#include "platform/utf16.h"
#include "printer_store.h"
#include "spooler_internal.h"
#include "win/debug.h"
#include "win/error.h"
#include "win/modules.h"
#include "win/printer_ui.h"
#include "win/registry.h"
#include "win/spooler.h"

namespace platform::spooler {
namespace {

constexpr DWORD ERROR_INVALID_LEVEL = 124;
constexpr char16_t kDriversKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Linux x64\\Drivers\\Version-3\\";
constexpr char16_t kDriverValue[] = u"Driver";
constexpr char16_t kConfigFileValue[] = u"Configuration File";
constexpr char16_t kDefaultPrintProcessor[] = u"winprint";

void Trace(const std::string& text) { OutputDebugStringA(("spooler: " + text + "\n").c_str()); }

std::u16string Text(LPCWSTR s) { return s == nullptr ? std::u16string() : std::u16string(WideField(s, 4096)); }

bool SetString(HKEY key, const char16_t* name, const std::u16string& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
}

std::optional<std::u16string> GetString(HKEY key, const char16_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  std::u16string value(size / sizeof(WCHAR) + 1, u'\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.resize(WideLength(value.c_str(), size / sizeof(WCHAR)));
  return value;
}

struct InstalledDriver {
  std::string driverPath;
  std::string configPath;
};

std::optional<InstalledDriver> FindDriver(const std::u16string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kDriversKey + name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  auto driver = GetString(key, kDriverValue);
  auto config = GetString(key, kConfigFileValue);
  RegCloseKey(key);
  if (!driver) return std::nullopt;
  return InstalledDriver{Utf16ToUtf8(*driver), config ? Utf16ToUtf8(*config) : std::string()};
}

}  // namespace

// The printer's interface library receives the event; a printer without one, or a library
// without DrvPrinterEvent, is not told.
void SendPrinterEvent(const std::u16string& printer, INT event) {
  auto config = FindPrinter(printer);
  if (!config || config->configPath.empty()) return;
  HMODULE library = LoadLibraryW(Utf8ToUtf16(config->configPath).c_str());
  if (library == nullptr) {
    Trace("cannot load the interface library " + config->configPath + " for a printer event");
    return;
  }
  auto handler = reinterpret_cast<PFN_DrvPrinterEvent>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "DrvPrinterEvent")));
  if (handler != nullptr) {
    std::u16string name = printer;
    if (!handler(name.data(), event, 0, 0)) Trace("DrvPrinterEvent " + std::to_string(event) + " failed");
  }
  FreeLibrary(library);
}

}  // namespace platform::spooler

using namespace platform::spooler;

extern "C" BOOL AddPrinterDriverW(LPWSTR, DWORD level, LPBYTE driverInfo) {
  if (level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const auto* info = reinterpret_cast<const DRIVER_INFO_2W*>(driverInfo);
  std::u16string name = info != nullptr ? Text(info->pName) : std::u16string();
  if (name.empty() || name.find(u'\\') != std::u16string::npos || info->pDriverPath == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kDriversKey + name).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool ok = SetString(key, kDriverValue, Text(info->pDriverPath)) &&
            SetString(key, kConfigFileValue, Text(info->pConfigFile));
  RegCloseKey(key);
  if (!ok) SetLastError(ERROR_ACCESS_DENIED);
  return ok ? TRUE : FALSE;
}

extern "C" HANDLE AddPrinterW(LPWSTR, DWORD level, LPBYTE printerInfo) {
  if (level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return nullptr;
  }
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(printerInfo);
  if (info == nullptr || Text(info->pPrinterName).empty() || Text(info->pPortName).empty() ||
      Text(info->pDriverName).empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  PrinterConfig config;
  config.name = Text(info->pPrinterName);
  config.driverName = Text(info->pDriverName);
  auto driver = FindDriver(config.driverName);
  if (!driver) {
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return nullptr;
  }
  if (FindPrinter(config.name)) {
    SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
    return nullptr;
  }
  config.driverPath = driver->driverPath;
  config.configPath = driver->configPath;
  config.printProcessor = Text(info->pPrintProcessor);
  if (config.printProcessor.empty()) config.printProcessor = kDefaultPrintProcessor;
  config.port = platform::Utf16ToUtf8(Text(info->pPortName));
  if (info->pDevMode != nullptr) {
    const auto* d = reinterpret_cast<const BYTE*>(info->pDevMode);
    config.defaultDevmode.assign(d, d + info->pDevMode->dmSize + info->pDevMode->dmDriverExtra);
  }
  if (info->Attributes != 0) config.attributes = info->Attributes;
  if (!AddPrinter(config)) return nullptr;
  SendPrinterEvent(config.name, PRINTER_EVENT_INITIALIZE);
  PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  return OpenPrinterW(config.name.c_str(), &printer, &all) ? printer : nullptr;
}

extern "C" BOOL DeletePrinter(HANDLE printer) {
  auto name = PrinterNameOf(printer);
  if (!name) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SendPrinterEvent(*name, PRINTER_EVENT_DELETE);
  if (!RemovePrinter(*name)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  return TRUE;
}
