// The headless windows behind dialogs, controls and property sheets (shared by the dialog and
// sheet code of this folder).
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sheet_driver.h"
#include "ui/dialog_template.h"
#include "win/dialogs.h"

namespace platform::ui {

// The program's own top-level window (host_window.cpp), which has no parent.
bool IsApplicationWindow(HWND window);

enum class Kind { kDialog, kControl, kSheet };

struct Item {
  std::u16string text;
  LONG_PTR data = 0;
};

struct Window {
  HWND handle = nullptr;
  Kind kind = Kind::kDialog;
  ControlClass cls = ControlClass::kStatic;
  HWND parent = nullptr;
  std::vector<HWND> children;
  int id = 0;
  DWORD style = 0, exStyle = 0;
  std::u16string text;
  bool enabled = true, visible = false;
  UINT check = 0;
  std::vector<Item> items;
  int selection = -1;
  size_t limit = 0x7FFFFFFE;
  DWORD selStart = 0, selEnd = 0;
  int low = 0, high = 100, pos = 0;
  HWND buddy = nullptr;
  LONG_PTR userData = 0, msgResult = 0, dlgUser = 0;
  DLGPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  bool modal = false, ended = false;
  INT_PTR endResult = 0;
  int x = 0, y = 0;           // pixels, in the parent
  int width = 0, height = 0;  // pixels
  UINT itemHeight = 16;
  bool dirty = false;
  std::optional<Picture> picture;
  std::function<LRESULT(UINT, WPARAM, LPARAM)> sheetProc;  // Kind::kSheet
};

// Every window call holds this lock, also while a dialog procedure runs (a window belongs to
// the thread that drives it, as on Windows).
std::recursive_mutex& WindowLock();
// Null, with ERROR_INVALID_WINDOW_HANDLE, for a handle that is not (or no longer) a window.
Window* Find(HWND handle);
HWND NewSheetWindow(std::function<LRESULT(UINT, WPARAM, LPARAM)> proc);
HWND CreateDialogWindow(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param,
                        bool modal);
// Whether a user can act on the window: it and its dialog are enabled and shown.
bool Reachable(HWND window);

}  // namespace platform::ui
