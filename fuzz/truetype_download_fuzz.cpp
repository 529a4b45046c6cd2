// The TrueType reader and the glyph download over arbitrary font files: every character code a
// run could carry is mapped, its glyph and composite components read and sent to a scratch stream.
// Nothing may read past the file.
#include <cstdint>
#include <cstring>
#include <vector>

#include "text/text_fonts.h"
#include "text/truetype.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is a read past an allocation.
  std::vector<uint8_t> file(data, data + size);
  const render::truetype::Bytes bytes(file.data(), file.size());
  const uint32_t members = std::max<uint32_t>(1, std::min<uint32_t>(4, render::truetype::CollectionMemberCount(bytes)));
  uint8_t buffer[64];
  for (uint32_t m = 0; m < members; ++m) {
    for (uint32_t tag : {render::FontTag('h', 'e', 'a', 'd'), render::FontTag('c', 'm', 'a', 'p'),
                         render::FontTag('n', 'a', 'm', 'e'), render::FontTag('l', 'o', 'c', 'a')}) {
      const uint32_t length = render::ReadFontTable(file.data(), static_cast<uint32_t>(size), tag, 0, nullptr, 0, m);
      render::ReadFontTable(file.data(), static_cast<uint32_t>(size), tag, length / 2, buffer, sizeof buffer, m);
    }
    render::truetype::MemberHasName(bytes, m, "Liberation Sans");
    render::truetype::Face face;
    if (!face.Open(bytes, m)) continue;
    std::vector<uint16_t> parts;
    render::truetype::Bytes glyph;
    unsigned sum = 0;
    for (uint32_t code = 0; code < 0x10000; code += (code < 0x300 ? 1 : 61)) {
      const uint16_t g = face.GlyphIndex(static_cast<uint16_t>(code));
      if (!face.Glyph(g, &glyph) || !face.Components(g, &parts)) continue;
      for (size_t i = 0; i < glyph.size(); ++i) sum += glyph.data()[i];
      for (uint16_t c : parts)
        if (face.Glyph(c, &glyph)) sum += static_cast<unsigned>(glyph.size());
    }
    for (uint32_t g = 0; g < face.numGlyphs() && g < 4096; ++g) face.Components(static_cast<uint16_t>(g), &parts);
    volatile unsigned keep = sum;
    (void)keep;
  }
  return 0;
}
