// Engine services a printer graphics library calls: device surfaces, palettes, job abort and
// the printer's data file name.
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "device_table.h"
#include "platform/utf16.h"
#include "spooler/spooler_internal.h"
#include "system/system_hooks_state.h"
#include "win/error.h"
#include "win/winddi.h"

namespace {

struct Palette {
  ULONG mode;
  std::vector<ULONG> colours;
};

std::mutex g_lock;
std::set<Palette*> g_palettes;
// EngGetPrinterDataFileName hands out a pointer that stays valid while the device lives.
std::map<HDEV, std::u16string> g_dataFileNames;

}  // namespace

extern "C" HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat) {
  if (sizl.cx <= 0 || sizl.cy <= 0 || iFormatCompat < BMF_1BPP || iFormatCompat > BMF_32BPP) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  platform::engine::Surface s;
  s.dhsurf = dhsurf;
  s.size = sizl;
  s.format = iFormatCompat;
  return platform::engine::CreateSurface(s);
}

extern "C" BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks) {
  auto surface = platform::engine::FindSurface(hsurf);
  if (!surface || !platform::engine::FindDevice(hdev)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  surface->hdev = hdev;
  surface->hooks = flHooks;
  return platform::engine::UpdateSurface(hsurf, *surface) ? TRUE : FALSE;
}

extern "C" BOOL EngDeleteSurface(HSURF hsurf) {
  if (!platform::engine::DeleteSurface(hsurf)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

extern "C" HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG, FLONG, FLONG) {
  if (platform::hooks::PaletteCreationFails() || (iMode == PAL_INDEXED && cColors != 0 && pulColors == nullptr)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* p = new Palette{iMode, {}};
  if (iMode == PAL_INDEXED && pulColors != nullptr) p->colours.assign(pulColors, pulColors + cColors);
  std::lock_guard g(g_lock);
  g_palettes.insert(p);
  return reinterpret_cast<HPALETTE>(p);
}

extern "C" BOOL EngDeletePalette(HPALETTE hpal) {
  auto* p = reinterpret_cast<Palette*>(hpal);
  {
    std::lock_guard g(g_lock);
    if (g_palettes.erase(p) != 1) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  delete p;
  return TRUE;
}

extern "C" BOOL EngCheckAbort(SURFOBJ* pso) {
  if (pso == nullptr) return FALSE;
  HDEV hdev = pso->hdev;
  if (hdev == nullptr && pso->hsurf != nullptr) {
    if (auto s = platform::engine::FindSurface(pso->hsurf)) hdev = s->hdev;
  }
  auto device = platform::engine::FindDevice(hdev);
  if (!device || device->printer == nullptr) return FALSE;
  return platform::spooler::JobCancelled(device->printer) ? TRUE : FALSE;
}

extern "C" LPWSTR EngGetPrinterDataFileName(HDEV hdev) {
  auto device = platform::engine::FindDevice(hdev);
  if (!device) return nullptr;
  std::u16string name = device->dataFileName;
  if (name.empty()) {
    auto path = platform::spooler::PrinterDataFilePath(device->printerName);
    if (!path) return nullptr;
    name = platform::Utf8ToUtf16(*path);
  }
  std::lock_guard g(g_lock);
  auto& kept = g_dataFileNames[hdev];
  if (kept != name) kept = name;
  return kept.data();
}
