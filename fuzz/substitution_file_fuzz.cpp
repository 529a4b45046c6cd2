// The font substitution file's search over arbitrary bytes: short files, lying counts, names that
// fill their field. Nothing may read past the image.
#include <cstdint>
#include <vector>

#include "text/text_fonts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image(data, data + size);
  int number = 0;
  for (const char16_t* face : {u"Arial", u"", u"Times New Roman"}) {
    if (render::FindSubstitution(image.data(), image.size(), face, &number) && (number < 1 || number > 0xFFFF))
      __builtin_trap();
  }
  return 0;
}
