// Module files: shared libraries opened with dlopen whose resources come from the table the
// language-module generator writes (platform/resource_table.h).
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "builtin_modules.h"
#include "platform/bitmaps.h"
#include "platform/resource_table.h"
#include "platform/ui_hooks.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "system/environment.h"
#include "system/hook_state.h"
#include "win/debug.h"
#include "win/error.h"
#include "win/modules.h"
#include "win/printer_ui.h"

namespace {

struct Bitmap {
  platform::BitmapView view;
};

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

struct Module {
  void* dl = nullptr;    // null for a handle that only names a file (from an address)
  std::string path;
  bool program = false;  // the handle names the main program
  const platform::ResourceTable* table = nullptr;
  std::vector<std::unique_ptr<Bitmap>> bitmaps;
  int loads = 0;               // LoadLibraryW calls not yet matched by FreeLibrary, one dlopen each
  DllEntry entry = nullptr;    // the module's DllMain, when it has one
  const platform::modules::BuiltinModule* builtin = nullptr;  // served by the platform, no file
};

struct State {
  std::mutex lock;
  std::map<Module*, std::unique_ptr<Module>> modules;
  std::map<std::string, Module*> byAddressPath;  // handles from GetModuleHandleExW
  std::optional<std::string> moduleFileName;     // test hook
};

State& S() {
  static State s;
  return s;
}

// Loads and frees run one at a time with their DllMain calls, as under the loader lock;
// recursive because a DllMain may load or free modules itself. Never taken under S().lock.
std::recursive_mutex& LoaderLock() {
  static std::recursive_mutex m;
  return m;
}

void Trace(const char* format, const std::string& path) {
  char line[512];
  std::snprintf(line, sizeof line, format, path.c_str());
  OutputDebugStringA(line);
}

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(S().lock);
    S().moduleFileName.reset();
  });
  return true;
}();

// Caller holds the lock.
Module* Find(HMODULE handle) {
  auto it = S().modules.find(reinterpret_cast<Module*>(handle));
  return it == S().modules.end() ? nullptr : it->second.get();
}

const platform::ResourceEntry* FindEntry(const Module& m, uint32_t type, uint32_t id) {
  if (m.table == nullptr) return nullptr;
  for (uint32_t i = 0; i < m.table->count; ++i) {
    const auto& e = m.table->entries[i];
    if (e.type == type && e.id == id) return &e;
  }
  return nullptr;
}

std::string ProgramPath() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

HMODULE LoadBuiltin(const platform::modules::BuiltinModule& builtin) {
  std::lock_guard g(S().lock);
  for (auto& [key, m] : S().modules) {
    if (m->builtin == &builtin) {
      ++m->loads;
      return reinterpret_cast<HMODULE>(key);
    }
  }
  auto m = std::make_unique<Module>();
  m->path = builtin.name;
  m->loads = 1;
  m->builtin = &builtin;
  Module* raw = m.get();
  S().modules.emplace(raw, std::move(m));
  return reinterpret_cast<HMODULE>(raw);
}

}  // namespace

namespace platform::hooks {
void SetModuleFileName(std::string path) {
  std::lock_guard g(S().lock);
  S().moduleFileName = std::move(path);
}
}  // namespace platform::hooks

namespace platform {
std::optional<BitmapView> ViewBitmap(HBITMAP bitmap) {
  if (bitmap == nullptr) return std::nullopt;
  std::lock_guard g(S().lock);
  for (auto& [key, m] : S().modules) {
    for (auto& b : m->bitmaps) {
      if (reinterpret_cast<HBITMAP>(b.get()) == bitmap) return b->view;
    }
  }
  return std::nullopt;
}
}  // namespace platform

// Windows runs DllMain with DLL_PROCESS_ATTACH on the first load of a module in the process and
// with DLL_PROCESS_DETACH on its last free; a later load of the same module returns the same
// handle with one more reference.
extern "C" HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (fileName == nullptr || *fileName == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string path = platform::Utf16ToUtf8(fileName);
  if (path.find('/') == std::string::npos) {
    if (auto* builtin = platform::modules::FindBuiltinModule(path)) return LoadBuiltin(*builtin);
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard loader(LoaderLock());
  void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (dl == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  Module* raw = nullptr;
  {
    std::lock_guard g(S().lock);
    for (auto& [key, m] : S().modules) {
      if (m->dl == dl) {
        ++m->loads;
        return reinterpret_cast<HMODULE>(key);
      }
    }
    auto m = std::make_unique<Module>();
    m->dl = dl;
    m->path = path;
    m->loads = 1;
    auto* table = static_cast<const platform::ResourceTable*>(dlsym(dl, platform::kResourceTableSymbol));
    if (table != nullptr && table->magic == platform::kResourceTableMagic) m->table = table;
    m->entry = reinterpret_cast<DllEntry>(dlsym(dl, "DllMain"));
    raw = m.get();
    S().modules.emplace(raw, std::move(m));
  }
  // The module is already known, so its DllMain may use its own handle and resources.
  auto handle = reinterpret_cast<HMODULE>(raw);
  if (raw->entry != nullptr && !raw->entry(handle, DLL_PROCESS_ATTACH, nullptr)) {
    raw->entry(handle, DLL_PROCESS_DETACH, nullptr);
    std::unique_ptr<Module> gone;
    {
      std::lock_guard g(S().lock);
      auto it = S().modules.find(raw);
      gone = std::move(it->second);
      S().modules.erase(it);
    }
    dlclose(gone->dl);
    Trace("LoadLibraryW: DllMain of %s refused to attach; not loaded\n", path);
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  return handle;
}

extern "C" BOOL FreeLibrary(HMODULE module) {
  std::lock_guard loader(LoaderLock());
  Module* m = nullptr;
  {
    std::lock_guard g(S().lock);
    m = Find(module);
    if (m == nullptr || (m->dl == nullptr && m->builtin == nullptr)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (m->builtin != nullptr) {
      if (--m->loads == 0) S().modules.erase(m);
      return TRUE;
    }
    if (--m->loads > 0) {
      dlclose(m->dl);
      return TRUE;
    }
  }
  // Detached while the handle still serves its resources, then forgotten and unloaded.
  if (m->entry != nullptr) m->entry(module, DLL_PROCESS_DETACH, nullptr);
  std::unique_ptr<Module> gone;
  {
    std::lock_guard g(S().lock);
    auto it = S().modules.find(m);
    gone = std::move(it->second);
    S().modules.erase(it);
  }
  dlclose(gone->dl);
  return TRUE;
}

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  std::lock_guard g(S().lock);
  Module* m = Find(module);
  if (m == nullptr || (m->dl == nullptr && m->builtin == nullptr)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Ordinals (values below 0x10000) name nothing here: modules export by name only.
  if (procName == nullptr || reinterpret_cast<uintptr_t>(procName) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (m->builtin != nullptr) {
    FARPROC p = platform::modules::FindBuiltinFunction(*m->builtin, procName);
    if (p == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
    return p;
  }
  void* p = dlsym(m->dl, procName);
  if (p == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return reinterpret_cast<FARPROC>(p);
}

extern "C" BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
  if (module == nullptr || (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) {
    if (module != nullptr) *module = nullptr;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(moduleName), &info) == 0 || info.dli_fname == nullptr) {
    *module = nullptr;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  std::string path = info.dli_fname;
  std::string program = ProgramPath();
  std::error_code ec;
  bool isProgram = path.empty() || std::filesystem::equivalent(path, program, ec);
  std::lock_guard g(S().lock);
  auto& known = S().byAddressPath[path];
  if (known == nullptr) {
    auto m = std::make_unique<Module>();
    m->path = isProgram ? program : path;
    m->program = isProgram;
    known = m.get();
    S().modules.emplace(known, std::move(m));
  }
  *module = reinterpret_cast<HMODULE>(known);
  return TRUE;
}

extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  std::string path;
  {
    std::lock_guard g(S().lock);
    if (module == nullptr) {
      // The program as the drivers see it, which tests set.
      auto named = platform::hooks::ExecutableNameOverride();
      path = named ? *named : ProgramPath();
    } else {
      Module* m = Find(module);
      if (m == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
      }
      path = m->program && S().moduleFileName ? *S().moduleFileName : m->path;
    }
  }
  std::u16string wide = platform::Utf8ToUtf16(path);
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (wide.size() >= size) {
    std::memcpy(fileName, wide.data(), (size - 1) * sizeof(WCHAR));
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(fileName, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return static_cast<DWORD>(wide.size());
}

extern "C" int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  if (buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard g(S().lock);
  Module* m = Find(instance);
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const auto* e = FindEntry(*m, RT_STRING_ID, id);
  if (e == nullptr || e->size < sizeof(WCHAR)) {
    if (bufferMax > 0) buffer[0] = 0;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  int length = static_cast<int>(e->size / sizeof(WCHAR));
  const auto* text = static_cast<const WCHAR*>(e->data);
  if (bufferMax == 0) {
    std::memcpy(buffer, &text, sizeof text);
    return length;
  }
  if (bufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int copied = length < bufferMax - 1 ? length : bufferMax - 1;
  std::memcpy(buffer, text, static_cast<size_t>(copied) * sizeof(WCHAR));
  buffer[copied] = 0;
  return copied;
}

extern "C" HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard g(S().lock);
  Module* m = Find(module);
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const auto* e = FindEntry(*m, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(type)),
                            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(name)));
  if (e == nullptr) {
    SetLastError(m->table == nullptr ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<platform::ResourceEntry*>(e));
}

extern "C" HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<void*>(reinterpret_cast<const platform::ResourceEntry*>(resource)->data);
}

extern "C" LPVOID LockResource(HGLOBAL data) { return data; }

extern "C" DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const platform::ResourceEntry*>(resource)->size;
}

extern "C" HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard g(S().lock);
  Module* m = Find(instance);
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const auto* e = FindEntry(*m, RT_BITMAP_ID, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(name)));
  if (e == nullptr || e->size < sizeof(BITMAPINFOHEADER)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  BITMAPINFOHEADER h;
  std::memcpy(&h, e->data, sizeof h);
  // Only uncompressed 24-bit pictures are stored; anything else is refused rather than misread.
  uint64_t stride = (static_cast<uint64_t>(h.biWidth > 0 ? h.biWidth : 0) * 3 + 3) / 4 * 4;
  uint64_t rows = h.biHeight > 0 ? static_cast<uint64_t>(h.biHeight) : 0;
  if (h.biSize != sizeof h || h.biBitCount != 24 || h.biCompression != 0 || stride == 0 || rows == 0 ||
      stride * rows > e->size - sizeof h) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  auto b = std::make_unique<Bitmap>();
  b->view.header = h;
  b->view.bits = {static_cast<const uint8_t*>(e->data) + sizeof h, static_cast<size_t>(stride * rows)};
  m->bitmaps.push_back(std::move(b));
  return reinterpret_cast<HBITMAP>(m->bitmaps.back().get());
}
