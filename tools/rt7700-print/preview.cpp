// Page previews: the page's drawing replayed on a memory DC at the preview's resolution (the same
// replay that prints it), and the bitmap written with libpng.
#include "preview.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "page_drawing.h"
#include "platform/memory_dc.h"
#include "win/error.h"

namespace rt7700print {
namespace {

// Writes top-down B,G,R rows as an 8-bit RGB PNG; the file is removed when anything fails.
std::optional<std::string> WritePng(const std::string& file, const uint8_t* bits, int width, int height, size_t stride) {
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return "cannot write " + file + ": " + std::strerror(errno);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> row(size_t(width) * 3);
  bool ok = png != nullptr && info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = bits + size_t(y) * stride;
      for (int x = 0; x < width; ++x) {
        row[3 * size_t(x)] = src[3 * size_t(x) + 2];
        row[3 * size_t(x) + 1] = src[3 * size_t(x) + 1];
        row[3 * size_t(x) + 2] = src[3 * size_t(x)];
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  int error = std::ferror(out) ? errno : 0;
  if (std::fclose(out) != 0 && error == 0) error = errno;
  if (ok && error == 0) return std::nullopt;
  std::remove(file.c_str());
  return "cannot write " + file + ": " + (error != 0 ? std::strerror(error) : "the PNG encoder failed");
}

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
    result = WritePng(file, static_cast<const uint8_t*>(bits), width, height, stride);
  }
  if (previous != nullptr) SelectObject(dc, previous);
  if (dc != nullptr) DeleteDC(dc);
  DeleteObject(bitmap);
  return result;
}

}  // namespace rt7700print
