// Windows of the calling application, as far as a driver asks about them. The platform has no
// window system: the application's one top-level window stands for all of it.
#pragma once

#include "win/base.h"

constexpr int GWL_HINSTANCE = -6;

extern "C" {
// The application's top-level window.
PLATFORM_API HWND WINAPI GetActiveWindow();
// Null for a top-level window (the application's window has no parent).
PLATFORM_API HWND WINAPI GetParent(HWND window);
// GWL_HINSTANCE: the low 16 bits of the module that owns the window (the program, whose image
// base leaves them 0, so GetModuleFileNameW of that value names the program).
PLATFORM_API WORD WINAPI GetWindowWord(HWND window, int index);
}
