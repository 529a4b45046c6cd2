// The program the calling process runs, as the driver asks for it to recognise the printing
// application.
#include <filesystem>

#include "hook_state.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/libloader.h"

extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (module != nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string path;
  if (auto name = platform::hooks::ExecutableNameOverride()) {
    path = *name;
  } else {
    std::error_code ec;
    path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  }
  std::u16string wide = platform::Utf8ToUtf16(path);
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (wide.size() >= size) {
    wide.resize(size - 1);
    platform::CopyWideField(fileName, size, wide);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  platform::CopyWideField(fileName, size, wide);
  return static_cast<DWORD>(wide.size());
}
