// The interface library's exports. Entry points whose handling is not built yet refuse
// cleanly: the platform's failure result, ERROR_NOT_SUPPORTED, and a trace line saying so.
#include "devmode/trace.h"
#include "entry/device_capabilities.h"
#include "entry/devmode_conversion.h"
#include "entry/document_event.h"
#include "entry/events.h"
#include "entry/language.h"
#include "entry/property_sheets.h"
#include "entry/xps_adjustment.h"
#include "win/error.h"
#include "win/printer_ui.h"

#define UI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

HINSTANCE gModule = nullptr;

// Kept for entry points still to come; every published one answers once the sheets are in.
[[maybe_unused]] void NotBuilt(const char* entry) {
  SetLastError(ERROR_NOT_SUPPORTED);
  devmode::DebugTrace("%s: not available in this build\n", entry);
}

// No exception crosses an export: what escapes is an allocation that failed.
template <typename T>
T OutOfMemory(const char* entry, T result) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  devmode::DebugTrace("%s: out of memory\n", entry);
  return result;
}

}  // namespace

UI_EXPORT DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR deviceName, WORD index, void* output,
                                             PDEVMODEW devmode) {
  try {
    return ui::DeviceCapabilities(printer, deviceName, index, output, devmode);
  } catch (...) {
    return OutOfMemory("DrvDeviceCapabilities", GDI_ERROR);
  }
}

UI_EXPORT BOOL WINAPI DrvConvertDevMode(LPWSTR printerName, PDEVMODEW in, PDEVMODEW out, PLONG needed, DWORD mode) {
  try {
    return ui::ConvertDevMode(printerName, in, out, needed, mode);
  } catch (...) {
    return OutOfMemory("DrvConvertDevMode", FALSE);
  }
}

UI_EXPORT BOOL WINAPI DrvUpgradePrinter(DWORD level, LPBYTE info) {
  try {
    return ui::UpgradePrinter(level, info);
  } catch (...) {
    return OutOfMemory("DrvUpgradePrinter", FALSE);
  }
}

UI_EXPORT BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO info) {
  try {
    return ui::QueryPrint(info);
  } catch (...) {
    // The check could not be made; the job is not held back for that.
    return OutOfMemory("DevQueryPrintEx", TRUE);
  }
}

UI_EXPORT BOOL WINAPI DrvPrinterEvent(LPWSTR printerName, INT event, DWORD, LPARAM) {
  try {
    return ui::PrinterEvent(printerName, event);
  } catch (...) {
    return OutOfMemory("DrvPrinterEvent", FALSE);
  }
}

UI_EXPORT BOOL WINAPI DrvDriverEvent(DWORD event, DWORD, LPBYTE, LPARAM) {
  try {
    return ui::DriverEvent(event);
  } catch (...) {
    return OutOfMemory("DrvDriverEvent", FALSE);
  }
}

UI_EXPORT INT WINAPI DrvDocumentEvent(HANDLE, HDC hdc, INT event, ULONG, PVOID, ULONG, PVOID) {
  try {
    return ui::DocumentEvent(hdc, event);
  } catch (...) {
    return OutOfMemory("DrvDocumentEvent", DOCUMENTEVENT_FAILURE);
  }
}

UI_EXPORT HRESULT WINAPI MxdcGetPDEVAdjustment(HANDLE, DWORD, PDEVMODEW devmode, PrintPropertiesCollection* properties) {
  return ui::AdjustXpsProperties(devmode, properties);
}

UI_EXPORT LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) {
  try {
    return ui::DocumentPropertySheets(info, lParam);
  } catch (...) {
    return OutOfMemory("DrvDocumentPropertySheets", -1);
  }
}

UI_EXPORT LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) {
  try {
    return ui::DevicePropertySheets(info, lParam);
  } catch (...) {
    return OutOfMemory("DrvDevicePropertySheets", -1);
  }
}

UI_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gModule = instance;
  if (reason == DLL_PROCESS_DETACH) ui::ReleaseSheetResources();
  return TRUE;
}

UI_EXPORT HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
