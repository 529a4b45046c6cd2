// Full font names (name 4 of the "name" table) of TrueType files and collections, read with
// bounded reads from any bytes: a file that lies about its sizes gives fewer names, never more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui::fonts {

// Bytes of one font file, read at absolute offsets.
class FontBytes {
 public:
  virtual ~FontBytes() = default;
  // False unless all `length` bytes at `offset` were read.
  virtual bool Read(uint64_t offset, void* out, size_t length) = 0;
};

// Only "*.ttf" and "*.ttc" files (any case) hold names we read.
bool IsTrueTypeFileName(std::u16string_view fileName);

// One full name per font of the file (a collection has several), in font order.
std::vector<std::u16string> ReadFullNames(FontBytes& bytes, bool collection);
std::vector<std::u16string> ReadFullNames(const uint8_t* data, size_t size, bool collection);
// Through the platform's file calls; nothing for a file of another kind or one that cannot be opened.
std::vector<std::u16string> ReadFullNamesOfFile(const std::u16string& path);

}  // namespace ui::fonts
