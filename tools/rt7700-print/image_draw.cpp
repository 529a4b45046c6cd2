// Image files become a bitmap selected into a memory DC, which the page then blits from: a PNG
// decoded with libpng into a DIB section, a BMP through LoadImageW.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "drawing_ops.h"
#include "image_ops.h"
#include "platform/utf16.h"
#include "win/error.h"

namespace rt7700print {
namespace {

struct Loaded {
  HBITMAP bitmap = nullptr;
  int width = 0, height = 0;
  std::string why;  // when there is no bitmap
};

Loaded LoadPng(HDC hdc, const std::string& path) {
  Loaded out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    out.why = std::string("not a readable PNG (") + image.message + ")";
    return out;
  }
  if (static_cast<unsigned long long>(image.width) * image.height > kMaxImagePixels || image.width > 0x7FFFFFFF / 4 ||
      image.height > 0x7FFFFFFF) {
    png_image_free(&image);
    out.why = "larger than " + std::to_string(kMaxImagePixels >> 20) + " megapixels";
    return out;
  }
  image.format = PNG_FORMAT_BGR;  // alpha is laid on white paper
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(image.width);
  info.bmiHeader.biHeight = -static_cast<LONG>(image.height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) {
    png_image_free(&image);
    out.why = "no memory for its " + std::to_string(image.width) + " x " + std::to_string(image.height) + " pixels";
    return out;
  }
  const png_int_32 stride = static_cast<png_int_32>((image.width * 3 + 3) & ~3u);
  png_color white{255, 255, 255};
  if (!png_image_finish_read(&image, &white, bits, stride, nullptr)) {
    out.why = std::string("a damaged PNG (") + image.message + ")";
    png_image_free(&image);
    (void)DeleteObject(bitmap);
    return out;
  }
  out = {bitmap, static_cast<int>(image.width), static_cast<int>(image.height), ""};
  return out;
}

Loaded LoadBmp(const std::string& path) {
  Loaded out;
  std::u16string wide = platform::Utf8ToUtf16(path);
  SetLastError(0);
  auto bitmap = static_cast<HBITMAP>(
      LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bitmap == nullptr) {
    DWORD e = GetLastError();
    out.why = e == ERROR_INVALID_DATA    ? "a damaged BMP"
              : e == ERROR_NOT_SUPPORTED ? "a BMP of a kind not read (embedded JPEG or PNG)"
                                         : "not a readable BMP (error " + std::to_string(e) + ")";
    return out;
  }
  BITMAP b{};
  if (GetObjectW(bitmap, sizeof b, &b) == 0) {
    (void)DeleteObject(bitmap);
    out.why = "not a readable BMP";
    return out;
  }
  out = {bitmap, static_cast<int>(b.bmWidth), static_cast<int>(b.bmHeight < 0 ? -b.bmHeight : b.bmHeight), ""};
  return out;
}

// By its first bytes, whatever its name says.
Loaded Load(HDC hdc, const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {nullptr, 0, 0, std::strerror(errno)};
  unsigned char head[8] = {};
  size_t got = std::fread(head, 1, sizeof head, file.get());
  file.reset();
  if (got == sizeof head && png_sig_cmp(head, 0, sizeof head) == 0) return LoadPng(hdc, path);
  if (got >= 2 && head[0] == 'B' && head[1] == 'M') return LoadBmp(path);
  return {nullptr, 0, 0, "neither a PNG nor a BMP file"};
}

std::optional<std::string> DrawImage(HDC hdc, const PageDrawing& page, const DrawOp& op, const std::string& where) {
  const ImageSpec& spec = page.images[op.item];
  Loaded image = Load(hdc, spec.file);
  if (image.bitmap == nullptr) return where + ": " + spec.file + ": " + image.why;
  std::optional<std::string> result;
  HDC memory = CreateCompatibleDC(hdc);
  HGDIOBJ previous = memory != nullptr ? SelectObject(memory, image.bitmap) : nullptr;
  if (previous == nullptr) {
    result = where + ": a memory DC for " + spec.file + " failed (error " + std::to_string(GetLastError()) + ")";
  } else {
    POINT a = page.points[op.first], b = page.points[op.first + 1];
    // A mirror is a destination extent running the other way from the opposite edge.
    int x = spec.mirrorX ? b.x : a.x, y = spec.mirrorY ? b.y : a.y;
    int w = spec.mirrorX ? a.x - b.x : b.x - a.x, h = spec.mirrorY ? a.y - b.y : b.y - a.y;
    bool ok = spec.transparent
                  ? TransparentBlt(hdc, x, y, w, h, memory, 0, 0, image.width, image.height, *spec.transparent)
                  : StretchBlt(hdc, x, y, w, h, memory, 0, 0, image.width, image.height, SourceRop(op.rop));
    if (!ok)
      result = where + ": " + (spec.transparent ? "TransparentBlt" : "StretchBlt") + " failed (error " +
               std::to_string(GetLastError()) + ")";
    (void)SelectObject(memory, previous);
  }
  if (memory != nullptr) (void)DeleteDC(memory);
  (void)DeleteObject(image.bitmap);
  return result;
}

std::optional<std::string> DrawGradient(HDC hdc, const PageDrawing& page, const DrawOp& op, const std::string& where) {
  const GradientSpec& g = page.gradients[op.item];
  std::vector<TRIVERTEX> vertices;
  for (uint32_t i = 0; i < op.count; ++i) {
    const POINT& p = page.points[op.first + i];
    COLORREF c = g.colours[i];
    vertices.push_back({p.x, p.y, static_cast<COLOR16>((c & 0xFF) << 8), static_cast<COLOR16>((c >> 8 & 0xFF) << 8),
                        static_cast<COLOR16>((c >> 16 & 0xFF) << 8), 0});
  }
  std::vector<ULONG> mesh = g.mesh;
  ULONG meshes = static_cast<ULONG>(mesh.size() / (g.mode == GRADIENT_FILL_TRIANGLE ? 3 : 2));
  if (!GradientFill(hdc, vertices.data(), static_cast<ULONG>(vertices.size()), mesh.data(), meshes, g.mode))
    return where + ": GradientFill failed (error " + std::to_string(GetLastError()) + ")";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> DrawPicture(HDC hdc, const PageDrawing& page, const DrawOp& op, const std::string& where) {
  return op.kind == OpKind::Image ? DrawImage(hdc, page, op, where) : DrawGradient(hdc, page, op, where);
}

}  // namespace rt7700print
