#include "png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace rt7700print {

std::optional<std::string> WriteRgbPng(const std::string& file, int width, int height,
                                       const std::function<void(int y, uint8_t* rgb)>& row) {
  if (width <= 0 || height <= 0) return "cannot write " + file + ": the picture is empty";
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return "cannot write " + file + ": " + std::strerror(errno);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * 3);
  bool ok = png != nullptr && info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      row(y, bytes.data());
      png_write_row(png, bytes.data());
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

}  // namespace rt7700print
