// The engine's device objects (HDEV) and surfaces (HSURF), shared by the engine services the
// driver calls and the GDI layer that creates devices for applications.
// Internal to the platform; exported only so that the platform's own tests can reach it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/winddi.h"

namespace platform::engine {

struct Device {
  HANDLE printer = nullptr;       // the spooler handle handed to DrvEnablePDEV
  std::u16string printerName;
  std::u16string dataFileName;    // EngGetPrinterDataFileName
  PFN_DrvCopyBits copyBits = nullptr;  // how the engine's own rendering reaches the device
};

struct Surface {
  DHSURF dhsurf = nullptr;  // the driver's handle (its PDEV)
  SIZEL size{};
  ULONG format = 0;
  HDEV hdev = nullptr;
  FLONG hooks = 0;
  // Engine bitmaps (STYPE_BITMAP): the rows, top row at scan0, `delta` bytes apart.
  USHORT type = STYPE_DEVICE;
  USHORT bitmapFlags = 0;
  PVOID bits = nullptr;
  ULONG bitsSize = 0;
  PVOID scan0 = nullptr;
  LONG delta = 0;
  std::shared_ptr<std::vector<BYTE>> ownedBits;  // null when the caller keeps the memory
  // What the pixel values mean (empty: the engine's default for the format).
  std::vector<COLORREF> palette;
  ULONG masks[3] = {0, 0, 0};
};

// Bytes in one row of a bitmap of `width` pixels in BMF_* `format`, padded to 4 bytes; 0 for an
// unknown format or a row too wide.
PLATFORM_API LONG BitmapRowBytes(ULONG format, LONG width);

PLATFORM_API HDEV CreateDevice(const Device& device);
PLATFORM_API void DeleteDevice(HDEV hdev);
// A copy of the device, or nothing for an unknown handle.
PLATFORM_API std::optional<Device> FindDevice(HDEV hdev);

PLATFORM_API HSURF CreateSurface(const Surface& surface);
PLATFORM_API bool UpdateSurface(HSURF hsurf, const Surface& surface);
PLATFORM_API bool DeleteSurface(HSURF hsurf);
PLATFORM_API std::optional<Surface> FindSurface(HSURF hsurf);

}  // namespace platform::engine
