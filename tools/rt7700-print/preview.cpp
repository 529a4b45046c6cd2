// Page previews: the page's drawing replayed on a memory DC at the preview's resolution (the same
// replay that prints it), and the bitmap written as PNG.
#include "preview.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "page_drawing.h"
#include "png_file.h"
#include "platform/memory_dc.h"
#include "win/error.h"

namespace rt7700print {
namespace {

LONG Scaled(int value, int dpi, int deviceDpi) {
  return static_cast<LONG>(std::lround(static_cast<double>(value) * dpi / deviceDpi));
}

}  // namespace

std::string PreviewFileName(const std::string& dir, long long page) {
  char name[32];
  std::snprintf(name, sizeof name, "page-%03lld.png", page);
  return dir + "/" + name;
}

std::optional<std::string> PreviewPage(HDC printer, const PageDrawing* drawing, Unit unit, int dpi,
                                       const std::string& file) {
  return PreviewPicture(printer, dpi, file, [&](HDC dc) -> std::optional<std::string> {
    if (drawing == nullptr) return std::nullopt;
    return DrawPage(dc, *drawing, unit);
  });
}

std::optional<std::string> PreviewPicture(HDC printer, int dpi, const std::string& file,
                                          const std::function<std::optional<std::string>(HDC)>& draw) {
  int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
  int paperX = GetDeviceCaps(printer, PHYSICALWIDTH), paperY = GetDeviceCaps(printer, PHYSICALHEIGHT);
  if (dpiX <= 0 || dpiY <= 0 || paperX <= 0 || paperY <= 0) return std::string("the printer reports no paper size");
  LONG width = std::max<LONG>(1, Scaled(paperX, dpi, dpiX)), height = std::max<LONG>(1, Scaled(paperY, dpi, dpiY));

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return "cannot make a " + std::to_string(width) + "x" + std::to_string(height) + " picture";
  HDC dc = CreateCompatibleDC(printer);
  HGDIOBJ previous = dc != nullptr ? SelectObject(dc, bitmap) : nullptr;
  std::optional<std::string> result;
  // The whole paper is the picture, so nothing is offset for a printable area.
  platform::gdi::MemoryDcDevice device;
  device.dpiX = device.dpiY = dpi;
  device.physicalWidth = width;
  device.physicalHeight = height;
  if (dc == nullptr || previous == nullptr || !platform::gdi::SetMemoryDcDevice(dc, device) ||
      !PatBlt(dc, 0, 0, width, height, WHITENESS)) {
    result = "cannot set up the picture (error " + std::to_string(GetLastError()) + ")";
  } else {
    result = draw(dc);
  }
  if (!result) {
    size_t stride = (size_t(width) * 3 + 3) & ~size_t{3};
    const auto* pixels = static_cast<const uint8_t*>(bits);
    result = WriteRgbPng(file, width, height, [&](int y, uint8_t* rgb) {
      const uint8_t* src = pixels + size_t(y) * stride;
      for (size_t x = 0; x < size_t(width); ++x) {
        rgb[3 * x] = src[3 * x + 2];
        rgb[3 * x + 1] = src[3 * x + 1];
        rgb[3 * x + 2] = src[3 * x];
      }
    });
  }
  if (previous != nullptr) SelectObject(dc, previous);
  if (dc != nullptr) DeleteDC(dc);
  DeleteObject(bitmap);
  return result;
}

}  // namespace rt7700print
