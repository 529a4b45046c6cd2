// The interface library's font-name reader over arbitrary bytes, as a plain font and as a
// collection: lying counts and offsets, names past the end. Nothing may read past the image, and
// every name it gives fits a substitution record.
#include <cstdint>
#include <vector>

#include "pages/font_name_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image(data, data + size);
  for (bool collection : {false, true}) {
    for (const auto& name : ui::fonts::ReadFullNames(image.data(), image.size(), collection)) {
      if (name.empty() || name.size() > 255) __builtin_trap();
    }
  }
  return 0;
}
