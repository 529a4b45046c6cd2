// A module whose DllMain says on the trace what it was called with; built twice, once
// refusing DLL_PROCESS_ATTACH.
#include <cstdio>

#include "win/debug.h"
#include "win/printer_ui.h"

extern "C" __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  char line[64];
  std::snprintf(line, sizeof line, "probe %s %s", reason == DLL_PROCESS_ATTACH ? "attach" : "detach",
                instance != nullptr ? "with handle" : "without handle");
  OutputDebugStringA(line);
  return PROBE_ATTACH_RESULT;
}
