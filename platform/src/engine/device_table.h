// The engine's device objects (HDEV) and surfaces (HSURF), shared by the engine services the
// driver calls and the GDI layer that creates devices for applications.
#pragma once

#include <optional>
#include <string>

#include "win/winddi.h"

namespace platform::engine {

struct Device {
  HANDLE printer = nullptr;       // the spooler handle handed to DrvEnablePDEV
  std::u16string printerName;
  std::u16string dataFileName;    // EngGetPrinterDataFileName
};

struct Surface {
  DHSURF dhsurf = nullptr;  // the driver's handle (its PDEV)
  SIZEL size{};
  ULONG format = 0;
  HDEV hdev = nullptr;
  FLONG hooks = 0;
};

HDEV CreateDevice(const Device& device);
void DeleteDevice(HDEV hdev);
// A copy of the device, or nothing for an unknown handle.
std::optional<Device> FindDevice(HDEV hdev);

HSURF CreateSurface(const Surface& surface);
bool UpdateSurface(HSURF hsurf, const Surface& surface);
bool DeleteSurface(HSURF hsurf);
std::optional<Surface> FindSurface(HSURF hsurf);

}  // namespace platform::engine
