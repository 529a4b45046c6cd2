// The dialog tests' module and a dialog procedure that records what it is sent.
#pragma once

#include <string>
#include <vector>

#include "platform/utf16.h"
#include "win/dialogs.h"
#include "win/modules.h"

namespace dialog_test {

inline std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

inline std::string CodeName(WORD code, int id) {
  // The tests' own ids tell which control family the code belongs to.
  if (id >= 30 && id < 40) {
    switch (code) {
      case CBN_SELCHANGE:
        return "CBN_SELCHANGE";
      case CBN_SETFOCUS:
        return "CBN_SETFOCUS";
      case CBN_KILLFOCUS:
        return "CBN_KILLFOCUS";
      case CBN_EDITCHANGE:
        return "CBN_EDITCHANGE";
      case CBN_EDITUPDATE:
        return "CBN_EDITUPDATE";
      case CBN_DROPDOWN:
        return "CBN_DROPDOWN";
      case CBN_CLOSEUP:
        return "CBN_CLOSEUP";
      case CBN_SELENDOK:
        return "CBN_SELENDOK";
      default:
        break;
    }
  }
  if (id >= 40 && id < 60) {
    if (code == LBN_SELCHANGE) return "LBN_SELCHANGE";
    if (code == LBN_DBLCLK) return "LBN_DBLCLK";
  }
  switch (code) {
    case BN_CLICKED:
      return "BN_CLICKED";
    case EN_CHANGE:
      return "EN_CHANGE";
    case EN_UPDATE:
      return "EN_UPDATE";
    case EN_SETFOCUS:
      return "EN_SETFOCUS";
    case EN_KILLFOCUS:
      return "EN_KILLFOCUS";
    case EN_MAXTEXT:
      return "EN_MAXTEXT";
    default:
      return std::to_string(code);
  }
}

// Records WM_COMMAND, WM_INITDIALOG, WM_TIMER, WM_VSCROLL, WM_HSCROLL, WM_HELP and WM_DESTROY; IDOK and
// IDCANCEL end the dialog; a WM_USER message ends it with its wParam.
inline INT_PTR WINAPI RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Log().push_back("INIT " + std::to_string(lParam));
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(static_cast<DWORD>(wParam));
      Log().push_back("COMMAND " + std::to_string(id) + " " +
                      CodeName(HIWORD(static_cast<DWORD>(wParam)), id));
      if (id == IDOK || id == IDCANCEL) EndDialog(dialog, id);
      return TRUE;
    }
    case WM_TIMER:
      Log().push_back("TIMER " + std::to_string(wParam));
      return TRUE;
    case WM_VSCROLL:
      Log().push_back("VSCROLL " + std::to_string(LOWORD(static_cast<DWORD>(wParam))) + " " +
                      std::to_string(HIWORD(static_cast<DWORD>(wParam))));
      return TRUE;
    case WM_DESTROY:
      Log().push_back("DESTROY");
      return TRUE;
    case WM_HELP:
      Log().push_back("HELP " + std::to_string(reinterpret_cast<HELPINFO*>(lParam)->iCtrlId));
      return TRUE;
    case WM_HSCROLL:
      Log().push_back("HSCROLL " + std::to_string(LOWORD(static_cast<DWORD>(wParam))) + " " +
                      std::to_string(HIWORD(static_cast<DWORD>(wParam))));
      return TRUE;
    case WM_USER:
      EndDialog(dialog, static_cast<INT_PTR>(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

inline std::vector<std::string> TakeLog() {
  std::vector<std::string> out;
  out.swap(Log());
  return out;
}

inline HMODULE LoadModule() {
  std::u16string path = platform::Utf8ToUtf16(RT7700_DIALOG_MODULE);
  return LoadLibraryW(path.c_str());
}

}  // namespace dialog_test
