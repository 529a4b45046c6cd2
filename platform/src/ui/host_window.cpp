// The application's window as a driver asks about it. There is no window system here: every
// process has one top-level window, owned by its program.
#include "win/error.h"
#include "win/windows_ui.h"

namespace {

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_INVALID_INDEX = 1413;

// The program's image base, as the loader places a program: its low 16 bits are 0.
constexpr uintptr_t kProgramImageBase = 0x140000000;

int g_window;

HWND ApplicationWindow() { return reinterpret_cast<HWND>(&g_window); }

}  // namespace

extern "C" HWND GetActiveWindow() { return ApplicationWindow(); }

namespace platform::ui {
// The application's window has no parent; GetParent of the dialogs asks here for it.
bool IsApplicationWindow(HWND window) { return window == ApplicationWindow(); }
}  // namespace platform::ui

extern "C" WORD GetWindowWord(HWND window, int index) {
  if (window != ApplicationWindow()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index != GWL_HINSTANCE) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<WORD>(kProgramImageBase & 0xFFFF);
}
