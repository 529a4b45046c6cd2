#include "device_table.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace platform::engine {
namespace {

std::mutex g_lock;
uintptr_t g_next = 0x1000;
std::map<uintptr_t, Device> g_devices;
std::map<uintptr_t, Surface> g_surfaces;

}  // namespace

HDEV CreateDevice(const Device& device) {
  std::lock_guard g(g_lock);
  uintptr_t id = g_next += 0x10;
  g_devices[id] = device;
  return reinterpret_cast<HDEV>(id);
}

void DeleteDevice(HDEV hdev) {
  std::lock_guard g(g_lock);
  g_devices.erase(reinterpret_cast<uintptr_t>(hdev));
}

std::optional<Device> FindDevice(HDEV hdev) {
  std::lock_guard g(g_lock);
  auto it = g_devices.find(reinterpret_cast<uintptr_t>(hdev));
  if (it == g_devices.end()) return std::nullopt;
  return it->second;
}

HSURF CreateSurface(const Surface& surface) {
  std::lock_guard g(g_lock);
  uintptr_t id = g_next += 0x10;
  g_surfaces[id] = surface;
  return reinterpret_cast<HSURF>(id);
}

bool UpdateSurface(HSURF hsurf, const Surface& surface) {
  std::lock_guard g(g_lock);
  auto it = g_surfaces.find(reinterpret_cast<uintptr_t>(hsurf));
  if (it == g_surfaces.end()) return false;
  it->second = surface;
  return true;
}

bool DeleteSurface(HSURF hsurf) {
  std::lock_guard g(g_lock);
  return g_surfaces.erase(reinterpret_cast<uintptr_t>(hsurf)) == 1;
}

std::optional<Surface> FindSurface(HSURF hsurf) {
  std::lock_guard g(g_lock);
  auto it = g_surfaces.find(reinterpret_cast<uintptr_t>(hsurf));
  if (it == g_surfaces.end()) return std::nullopt;
  return it->second;
}

}  // namespace platform::engine
