// Small TrueType files made to order for tests, honest or lying: a glyph table of given glyph
// bytes, a format-4 character map, a naming table, and collections of such files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A simple glyph of one contour: a 10-byte header and `extra` bytes that vary with `seed`.
std::vector<uint8_t> SimpleGlyph(int seed, int extra = 14);
// A composite glyph referring to `components` (word arguments, no scale).
std::vector<uint8_t> CompositeGlyph(const std::vector<uint16_t>& components);

struct TestFont {
  std::vector<std::vector<uint8_t>> glyphs;              // glyph 0 first
  std::vector<std::pair<uint16_t, uint16_t>> charMap;    // code, glyph; sorted by code
  std::u16string family = u"Test Sans";
  bool longLoca = false;
  std::vector<uint8_t> Build() const;
  // The byte offsets of the tables in the last Build(), for tests that then corrupt them.
  mutable uint32_t locaOffset = 0, glyfOffset = 0, cmapOffset = 0;
};

std::vector<uint8_t> Collection(const std::vector<std::vector<uint8_t>>& members);

void PutU16(std::vector<uint8_t>& v, size_t at, uint16_t x);
void PutU32(std::vector<uint8_t>& v, size_t at, uint32_t x);

}  // namespace testsupport
