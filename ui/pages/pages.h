// The dialog procedures of the sheets' pages and dialogs, one file each in this folder.
#pragma once

#include "win/base.h"

namespace ui {

LONG_PTR WINAPI BasicPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR WINAPI PaperImagePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR WINAPI LayoutPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR WINAPI WatermarkPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR WINAPI PowerPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR WINAPI DeviceOptionsPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ui
