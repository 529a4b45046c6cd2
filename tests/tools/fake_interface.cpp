// An interface library whose DrvDocumentEvent reports every event back to the device context as
// an escape, so the fake driver's log shows where each event arrived among the hooks.
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
