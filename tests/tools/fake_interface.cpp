// An interface library whose DrvDocumentEvent reports every event back to the device context as
// an escape, so the fake driver's log shows where each event arrived among the hooks.
#include <cstdlib>
#include <cstring>

#include "fake_driver.h"
#include "win/wingdi.h"

namespace {
fakes::InterfaceState g_state;
}

extern "C" {

__attribute__((visibility("default"))) int DrvDocumentEvent(HANDLE, HDC hdc, int event, ULONG, PVOID, ULONG, PVOID) {
  g_state.events.push_back(event);
  (void)ExtEscape(hdc, fakes::kEventEscapeBase + event, 0, nullptr, 0, nullptr);
  return g_state.refused.count(event) != 0 ? DOCUMENTEVENT_FAILURE : DOCUMENTEVENT_SUCCESS;
}

__attribute__((visibility("default"))) fakes::InterfaceState* FakeInterfaceState() { return &g_state; }
}

// DEVQUERYPRINT_INFO as published (its header clashes with the GDI one this file needs).
struct QueryInfo {
  WORD cbSize;
  WORD Level;
  HANDLE hPrinter;
  DEVMODEW* pDevMode;
  LPWSTR pszErrorStr;
  DWORD cchErrorStr;
  DWORD cchNeeded;
};

// Refuses every devmode when the run asks it to, with a reason or with none.
extern "C" __attribute__((visibility("default"))) BOOL DevQueryPrintEx(QueryInfo* info) {
  const char* refuse = std::getenv("RT7700_FAKE_REFUSE_DEVMODE");
  if (refuse == nullptr) return TRUE;
  size_t i = 0;
  for (; refuse[i] != 0 && i + 1 < info->cchErrorStr; ++i) info->pszErrorStr[i] = static_cast<WCHAR>(refuse[i]);
  if (info->cchErrorStr > 0) info->pszErrorStr[i] = 0;
  info->cchNeeded = static_cast<DWORD>(std::strlen(refuse) + 1);
  return FALSE;
}
