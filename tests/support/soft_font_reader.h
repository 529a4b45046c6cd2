// Reads the soft-font downloads in a PCL stream and checks each against the PCL rules: format-16
// font headers (descriptor size, format, 16-bit type, segments, checksum), format-4 bitmap
// characters (descriptor size, class, data length with continuation blocks) and format-15
// TrueType characters (class 15, data size, checksum, glyph bytes equal to the font's own).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

struct DownloadedCharacter {
  int code;
  int format;        // 4 or 15
  int glyphIndex;    // format 15
  int width, height; // format 4
  size_t dataBytes;
};

struct SoftFontDownloads {
  std::vector<int> headerIds;  // font identifiers whose header was sent, in order
  std::vector<DownloadedCharacter> characters;
  std::vector<std::string> faults;
};

// glyfBytes: the font file's `glyf` bytes of a glyph index (nothing when unknown: not compared).
SoftFontDownloads ReadSoftFontDownloads(
    std::string_view stream,
    const std::function<std::optional<std::string>(int glyphIndex)>& glyfBytes = nullptr);

}  // namespace testsupport
