// The shared interface library exports exactly its published entry points, and the ones not
// built yet refuse cleanly.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "win/error.h"
#include "win/printer_ui.h"

namespace {

const std::string kLibrary = std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so";

// Names of the defined global symbols of an ELF64 file's dynamic symbol table.
std::set<std::string> DynamicExports(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> out;
  if (f.size() < sizeof(Elf64_Ehdr)) return out;
  Elf64_Ehdr eh;
  std::memcpy(&eh, f.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_shoff + eh.e_shnum * sizeof(Elf64_Shdr) > f.size())
    return out;
  std::vector<Elf64_Shdr> sections(eh.e_shnum);
  std::memcpy(sections.data(), f.data() + eh.e_shoff, eh.e_shnum * sizeof(Elf64_Shdr));
  for (const auto& s : sections) {
    if (s.sh_type != SHT_DYNSYM || s.sh_link >= sections.size()) continue;
    const Elf64_Shdr& strtab = sections[s.sh_link];
    for (size_t off = s.sh_offset; off + sizeof(Elf64_Sym) <= s.sh_offset + s.sh_size && off + sizeof(Elf64_Sym) <= f.size();
         off += sizeof(Elf64_Sym)) {
      Elf64_Sym sym;
      std::memcpy(&sym, f.data() + off, sizeof sym);
      int bind = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) || sym.st_name == 0) continue;
      if (strtab.sh_offset + sym.st_name < f.size()) out.insert(f.data() + strtab.sh_offset + sym.st_name);
    }
  }
  return out;
}

TEST(InterfaceLibrary, ExportsExactlyThePublishedEntryPoints) {
  std::set<std::string> expected = {"DrvDeviceCapabilities", "DrvConvertDevMode",   "DrvUpgradePrinter",
                                    "DevQueryPrintEx",       "DrvPrinterEvent",     "DrvDriverEvent",
                                    "DrvDocumentEvent",      "MxdcGetPDEVAdjustment", "DrvDocumentPropertySheets",
                                    "DrvDevicePropertySheets", "DllMain",           "DllCanUnloadNow"};
  EXPECT_EQ(DynamicExports(kLibrary), expected);
}

TEST(InterfaceLibrary, EntryPointsNotBuiltRefuseCleanly) {
  void* lib = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  using Caps = DWORD (*)(HANDLE, PWSTR, WORD, void*, PDEVMODEW);
  using Convert = BOOL (*)(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD);
  using Sheets = LONG (*)(PPROPSHEETUI_INFO, LPARAM);
  using Event = INT (*)(HANDLE, HDC, INT, ULONG, PVOID, ULONG, PVOID);
  using Unload = HRESULT (*)();
  using Main = BOOL (*)(HINSTANCE, DWORD, LPVOID);
  // Built entry points answer through the shared library too.
  EXPECT_EQ(reinterpret_cast<Caps>(dlsym(lib, "DrvDeviceCapabilities"))(nullptr, nullptr, 999, nullptr, nullptr), GDI_ERROR);
  EXPECT_EQ(reinterpret_cast<Caps>(dlsym(lib, "DrvDeviceCapabilities"))(nullptr, nullptr, 18, nullptr, nullptr), 999u);
  SetLastError(0xDEAD);
  EXPECT_FALSE(reinterpret_cast<Convert>(dlsym(lib, "DrvConvertDevMode"))(nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reinterpret_cast<Sheets>(dlsym(lib, "DrvDocumentPropertySheets"))(nullptr, 0), 0);  // no header
  EXPECT_EQ(reinterpret_cast<Sheets>(dlsym(lib, "DrvDevicePropertySheets"))(nullptr, 0), -1);
  EXPECT_EQ(reinterpret_cast<Event>(dlsym(lib, "DrvDocumentEvent"))(nullptr, nullptr, 0, 0, nullptr, 0, nullptr),
            DOCUMENTEVENT_UNSUPPORTED);
  EXPECT_EQ(reinterpret_cast<Unload>(dlsym(lib, "DllCanUnloadNow"))(), S_OK);
  auto dllMain = reinterpret_cast<Main>(dlsym(lib, "DllMain"));
  EXPECT_TRUE(dllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_TRUE(dllMain(nullptr, DLL_PROCESS_DETACH, nullptr));
  dlclose(lib);
}

}  // namespace
