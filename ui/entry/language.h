// The interface language: which language module and help file to use, loading the module,
// its strings with a visible fallback, message boxes and context help in that language.
#pragma once

#include <cstddef>
#include <span>

#include "win/base.h"

namespace ui {

constexpr size_t kLanguageNameChars = 128;  // buffers given to GetUiLanguage
constexpr size_t kModuleNameChars = 130;    // buffers given to GetLanguageModuleName / GetHelpFileName

// The registry key (under HKEY_LOCAL_MACHINE) and value that configure the language.
inline constexpr WCHAR kDriverKey[] = u"Software\\Taliro R7700D PCL5e Series";
inline constexpr WCHAR kLanguageValue[] = u"Language";

// The configured language name, else the one of the system language (capacity >= 128).
void GetUiLanguage(WCHAR* name);
// File names for the current language (capacity >= 130); they also set the display flags.
void GetLanguageModuleName(WCHAR* name);
void GetHelpFileName(WCHAR* name);

// Set by the first lookup of a language that has them; never cleared in a process.
bool DecimalComma();
bool RightToLeft();
// Only for tests, which each start as a new process would.
void ClearDisplayFlags();

struct LanguageModuleLoad {
  HMODULE module;  // null on failure
  DWORD error;     // the platform's error code of a failed load, else ERROR_SUCCESS
};
// Loads the module that lies beside the interface library. The caller frees it.
[[nodiscard]] LanguageModuleLoad LoadLanguageModule();

// The module the property sheets share, loaded once per process; null when it cannot be loaded.
HMODULE SheetLanguageModule();
// That module when this process already holds it, else null; never loads it.
HMODULE HeldSheetLanguageModule();
// Process detach: frees the shared module.
void ReleaseLanguageResources();

// Length of the string copied into buffer; a missing string gives "id:<n> missing!".
int LoadResourceString(HMODULE module, UINT id, WCHAR* buffer, int capacity);

// MessageBoxW, read right to left when the interface language is.
int ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
// A message whose text and caption are strings of the language module.
int ShowModuleMessage(HWND owner, HMODULE module, UINT textId, UINT captionId, UINT style);

struct HelpContext {
  int controlId;
  DWORD context;
};
// WM_HELP of a page: opens the help file at the control's context; false when the control
// has no entry or the help cannot be opened.
bool ShowContextHelp(HWND owner, int controlId, std::span<const HelpContext> table);

}  // namespace ui
