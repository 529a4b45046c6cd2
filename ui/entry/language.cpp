// Language choice, language modules and help files.
#include "entry/language.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "devmode/trace.h"
#include "platform/utf16.h"
#include "win/dialogs.h"
#include "win/error.h"
#include "win/modules.h"
#include "win/nls.h"
#include "win/registry.h"
#include "win/shell.h"

namespace ui {
namespace {

struct Language {
  std::u16string_view name;
  std::u16string_view module;  // base name; the platform's library suffix is added
  bool decimalComma;
  bool rightToLeft;
};

constexpr Language kEnglish{u"English", u"rt7700PCL5eenus", false, false};

constexpr Language kLanguages[] = {
    {u"Simplified_Chinese", u"rt7700PCL5ezhcn", false, false},
    {u"Traditional_Chinese", u"rt7700PCL5ezhtw", false, false},
    kEnglish,
    {u"Russian", u"rt7700PCL5eru", true, false},
    {u"Japanese", u"rt7700PCL5eja", false, false},
    {u"Arabic", u"rt7700PCL5ear", false, true},
    {u"French", u"rt7700PCL5efr", true, false},
    {u"Italian", u"rt7700PCL5eit", true, false},
    {u"Spanish", u"rt7700PCL5eesmx", false, false},
    {u"Swedish", u"rt7700PCL5esv", true, false},
    {u"Norwegian", u"rt7700PCL5eno", true, false},
    {u"German", u"rt7700PCL5ede", true, false},
    {u"Turkish", u"rt7700PCL5etr", true, false},
};

constexpr std::u16string_view kModuleSuffix = u".so";
constexpr std::u16string_view kHelpSuffix = u".chm";
constexpr std::u16string_view kHelpFolder = u"/3/";  // the driver directory's version folder

struct SystemLanguage {
  LANGID id;
  std::u16string_view name;
};

constexpr SystemLanguage kSystemLanguages[] = {
    {0x0404, u"Traditional_Chinese"},
    {0x0804, u"Simplified_Chinese"}, {0x0C04, u"Simplified_Chinese"}, {0x1004, u"Simplified_Chinese"},
    {0x1404, u"Simplified_Chinese"},
    {0x0401, u"Arabic"}, {0x0801, u"Arabic"}, {0x0C01, u"Arabic"}, {0x1001, u"Arabic"}, {0x1401, u"Arabic"},
    {0x1801, u"Arabic"}, {0x1C01, u"Arabic"}, {0x2001, u"Arabic"}, {0x2401, u"Arabic"}, {0x2801, u"Arabic"},
    {0x2C01, u"Arabic"}, {0x3001, u"Arabic"}, {0x3401, u"Arabic"}, {0x3801, u"Arabic"}, {0x3C01, u"Arabic"},
    {0x4001, u"Arabic"},
    {0x0407, u"German"}, {0x0807, u"German"}, {0x0C07, u"German"}, {0x1007, u"German"}, {0x1407, u"German"},
    {0x040C, u"French"}, {0x080C, u"French"}, {0x0C0C, u"French"}, {0x100C, u"French"}, {0x140C, u"French"},
    {0x180C, u"French"},
    {0x0410, u"Italian"}, {0x0810, u"Italian"},
    {0x0411, u"Japanese"},
    {0x0414, u"Norwegian"}, {0x0814, u"Norwegian"},
    {0x0419, u"Russian"},
    {0x041D, u"Swedish"}, {0x081D, u"Swedish"},
    {0x041F, u"Turkish"},
    // Spanish with the traditional sort (0x040A) is deliberately absent: it gets English.
    {0x080A, u"Spanish"}, {0x0C0A, u"Spanish"}, {0x100A, u"Spanish"}, {0x140A, u"Spanish"}, {0x180A, u"Spanish"},
    {0x1C0A, u"Spanish"}, {0x200A, u"Spanish"}, {0x240A, u"Spanish"}, {0x280A, u"Spanish"}, {0x2C0A, u"Spanish"},
    {0x300A, u"Spanish"}, {0x340A, u"Spanish"}, {0x380A, u"Spanish"}, {0x3C0A, u"Spanish"}, {0x400A, u"Spanish"},
    {0x440A, u"Spanish"}, {0x480A, u"Spanish"}, {0x4C0A, u"Spanish"}, {0x500A, u"Spanish"},
};

std::atomic<bool> gDecimalComma{false};
std::atomic<bool> gRightToLeft{false};

std::mutex gSheetModuleLock;
HMODULE gSheetModule = nullptr;

std::u16string ConfiguredLanguage() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"";
  WCHAR value[128] = {};  // 256 bytes
  DWORD size = sizeof value;
  LSTATUS status = RegQueryValueExW(key, kLanguageValue, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return u"";
  size_t chars = size / sizeof(WCHAR);
  return std::u16string(platform::WideField(value, chars < 127 ? chars : 127));
}

std::u16string CurrentLanguage() {
  std::u16string name = ConfiguredLanguage();
  if (!name.empty()) return name;
  LANGID id = GetSystemDefaultLangID();
  for (const auto& s : kSystemLanguages) {
    if (s.id == id) return std::u16string(s.name);
  }
  return std::u16string(kEnglish.name);
}

const Language& LookUp() {
  std::u16string name = CurrentLanguage();
  const Language* found = &kEnglish;
  for (const auto& l : kLanguages) {
    if (l.name == name) found = &l;
  }
  if (found->decimalComma) gDecimalComma = true;
  if (found->rightToLeft) gRightToLeft = true;
  return *found;
}

}  // namespace

void GetUiLanguage(WCHAR* name) { platform::CopyWideField(name, kLanguageNameChars, CurrentLanguage()); }

void GetLanguageModuleName(WCHAR* name) {
  const Language& l = LookUp();
  platform::CopyWideField(name, kModuleNameChars, std::u16string(l.module) + std::u16string(kModuleSuffix));
}

void GetHelpFileName(WCHAR* name) {
  const Language& l = LookUp();
  platform::CopyWideField(name, kModuleNameChars,
                          std::u16string(kHelpFolder) + std::u16string(l.module) + std::u16string(kHelpSuffix));
}

bool DecimalComma() { return gDecimalComma; }
bool RightToLeft() { return gRightToLeft; }

void ClearDisplayFlags() {
  gDecimalComma = false;
  gRightToLeft = false;
}

LanguageModuleLoad LoadLanguageModule() {
  static const int kSelf = 0;
  HMODULE self = nullptr;
  WCHAR path[520] = {};
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&kSelf), &self) ||
      GetModuleFileNameW(self, path, 520) == 0) {
    DWORD error = GetLastError();
    devmode::DebugTrace("LoadLanguageModule: own path unknown, error %u\n", static_cast<unsigned>(error));
    return {nullptr, error == ERROR_SUCCESS ? ERROR_MOD_NOT_FOUND : error};
  }
  std::u16string full(platform::WideField(path, 520));
  size_t cut = full.find_last_of(u"\\/");
  full.resize(cut == std::u16string::npos ? 0 : cut + 1);
  WCHAR moduleName[kModuleNameChars];
  GetLanguageModuleName(moduleName);
  full += platform::WideField(moduleName, kModuleNameChars);
  if (full.size() >= MAX_PATH) {
    devmode::DebugTrace("LoadLanguageModule: path too long\n");
    return {nullptr, ERROR_INSUFFICIENT_BUFFER};
  }
  // Activation contexts have no counterpart here; the module is loaded directly.
  HMODULE module = LoadLibraryW(full.c_str());
  if (module == nullptr) {
    DWORD error = GetLastError();
    devmode::DebugTrace("LoadLanguageModule: %s not loaded, error %u\n", platform::Utf16ToUtf8(full).c_str(),
                        static_cast<unsigned>(error));
    return {nullptr, error};
  }
  return {module, ERROR_SUCCESS};
}

HMODULE SheetLanguageModule() {
  std::lock_guard g(gSheetModuleLock);
  if (gSheetModule == nullptr) gSheetModule = LoadLanguageModule().module;
  return gSheetModule;
}

HMODULE HeldSheetLanguageModule() {
  std::lock_guard g(gSheetModuleLock);
  return gSheetModule;
}

void ReleaseLanguageResources() {
  std::lock_guard g(gSheetModuleLock);
  if (gSheetModule != nullptr) FreeLibrary(gSheetModule);
  gSheetModule = nullptr;
}

int LoadResourceString(HMODULE module, UINT id, WCHAR* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = 0;
  if (module != nullptr) {
    int length = LoadStringW(module, id, buffer, capacity);
    if (length > 0) return length;
  }
  char text[100];
  int length = std::snprintf(text, sizeof text, "id:%d missing!", static_cast<int>(id));
  if (length < 0) return 0;
  if (capacity < 2 * length + 2) return 0;
  for (int i = 0; i <= length; ++i) buffer[i] = static_cast<WCHAR>(static_cast<unsigned char>(text[i]));
  return length;
}

int ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  WCHAR language[kLanguageNameChars];
  GetUiLanguage(language);
  if (platform::WideField(language, kLanguageNameChars) == u"Arabic") style |= MB_RTLREADING | MB_RIGHT;
  return MessageBoxW(owner, text, caption, style);
}

int ShowModuleMessage(HWND owner, HMODULE module, UINT textId, UINT captionId, UINT style) {
  WCHAR text[1024];
  WCHAR caption[256];
  LoadResourceString(module, textId, text, 1024);
  LoadResourceString(module, captionId, caption, 256);
  return ShowMessageBox(owner, text, caption, style);
}

bool ShowContextHelp(HWND owner, int controlId, std::span<const HelpContext> table) {
  const HelpContext* entry = nullptr;
  for (const auto& e : table) {
    if (e.controlId == controlId) {
      entry = &e;
      break;
    }
  }
  if (entry == nullptr) return false;
  WCHAR directory[MAX_PATH] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                  &needed)) {
    devmode::DebugTrace("ShowContextHelp: no driver directory, error %u\n", static_cast<unsigned>(GetLastError()));
    return false;
  }
  WCHAR help[kModuleNameChars];
  GetHelpFileName(help);
  std::u16string file(platform::WideField(directory, MAX_PATH));
  file += platform::WideField(help, kModuleNameChars);
  return HtmlHelpW(owner, file.c_str(), HH_HELP_CONTEXT, entry->context) != nullptr;
}

}  // namespace ui
