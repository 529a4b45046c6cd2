#include "entry/host_process.h"

#include <algorithm>
#include <cstdint>

#include "platform/utf16.h"
#include "win/modules.h"
#include "win/windows_ui.h"

namespace ui {
namespace {

constexpr DWORD kModuleNameChars = 256;  // 255 and the NUL
constexpr int kMaxWindowDepth = 64;      // a parent chain longer than this is not followed further

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

bool IsHostProcess(std::u16string_view name) {
  HWND window = GetActiveWindow();
  for (int depth = 0; window != nullptr && depth < kMaxWindowDepth; ++depth) {
    HWND parent = GetParent(window);
    if (parent == nullptr) break;
    window = parent;
  }
  // Only the low word of the instance survives GetWindowWord; for a program it is all there is.
  WORD instance = GetWindowWord(window, GWL_HINSTANCE);
  WCHAR path[kModuleNameChars] = {};
  if (GetModuleFileNameW(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(instance)), path, kModuleNameChars) == 0)
    return false;
  std::u16string_view file = platform::WideField(path, kModuleNameChars);
  size_t cut = file.find_last_of(u"\\/:");
  if (cut != std::u16string_view::npos) file.remove_prefix(cut + 1);
  return file.size() == name.size() && std::equal(file.begin(), file.end(), name.begin(), [](char16_t a, char16_t b) {
           return AsciiLower(a) == AsciiLower(b);
         });
}

}  // namespace ui
