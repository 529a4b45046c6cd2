// The interface library's exports. Entry points whose handling is not built yet refuse
// cleanly: the platform's failure result, ERROR_NOT_SUPPORTED, and a trace line saying so.
#include "devmode/trace.h"
#include "entry/language.h"
#include "entry/xps_adjustment.h"
#include "win/error.h"
#include "win/printer_ui.h"

#define UI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

HINSTANCE gModule = nullptr;

void NotBuilt(const char* entry) {
  SetLastError(ERROR_NOT_SUPPORTED);
  devmode::DebugTrace("%s: not available in this build\n", entry);
}

}  // namespace

UI_EXPORT DWORD WINAPI DrvDeviceCapabilities(HANDLE, PWSTR, WORD, void*, PDEVMODEW) {
  NotBuilt("DrvDeviceCapabilities");
  return GDI_ERROR;
}

UI_EXPORT BOOL WINAPI DrvConvertDevMode(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD) {
  NotBuilt("DrvConvertDevMode");
  return FALSE;
}

UI_EXPORT BOOL WINAPI DrvUpgradePrinter(DWORD, LPBYTE) {
  NotBuilt("DrvUpgradePrinter");
  return FALSE;
}

UI_EXPORT BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO) {
  NotBuilt("DevQueryPrintEx");
  return FALSE;
}

UI_EXPORT BOOL WINAPI DrvPrinterEvent(LPWSTR, INT, DWORD, LPARAM) {
  NotBuilt("DrvPrinterEvent");
  return FALSE;
}

UI_EXPORT BOOL WINAPI DrvDriverEvent(DWORD, DWORD, LPBYTE, LPARAM) {
  NotBuilt("DrvDriverEvent");
  return FALSE;
}

UI_EXPORT INT WINAPI DrvDocumentEvent(HANDLE, HDC, INT, ULONG, PVOID, ULONG, PVOID) {
  NotBuilt("DrvDocumentEvent");
  return DOCUMENTEVENT_FAILURE;
}

UI_EXPORT HRESULT WINAPI MxdcGetPDEVAdjustment(HANDLE, DWORD, PDEVMODEW devmode, PrintPropertiesCollection* properties) {
  return ui::AdjustXpsProperties(devmode, properties);
}

UI_EXPORT LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO, LPARAM) {
  NotBuilt("DrvDocumentPropertySheets");
  return -1;
}

UI_EXPORT LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO, LPARAM) {
  NotBuilt("DrvDevicePropertySheets");
  return -1;
}

UI_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gModule = instance;
  if (reason == DLL_PROCESS_DETACH) ui::ReleaseLanguageResources();
  return TRUE;
}

UI_EXPORT HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
