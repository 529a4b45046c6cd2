// Writing a picture as an 8-bit RGB PNG, for the tools' previews.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace rt7700print {

// `row(y, rgb)` fills the 3 x width bytes of row y (top first). Nothing, or the one-line reason
// the file could not be written; a file cut short is removed.
std::optional<std::string> WriteRgbPng(const std::string& file, int width, int height,
                                       const std::function<void(int y, uint8_t* rgb)>& row);

}  // namespace rt7700print
