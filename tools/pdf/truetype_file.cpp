#include "truetype_file.h"

#include <algorithm>
#include <map>

namespace rt7700pdf {
namespace {

uint32_t Read32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFF);
}

uint32_t Tag(const char* t) { return Read32(reinterpret_cast<const uint8_t*>(t)); }

std::vector<uint8_t> NameTable(const std::u16string& family) {
  const std::u16string regular = u"Regular";
  // Family, subfamily, full name, PostScript name: Windows, Unicode BMP, US English.
  const std::pair<uint16_t, const std::u16string*> names[] = {{1, &family}, {2, &regular}, {4, &family}, {6, &family}};
  std::vector<uint8_t> strings;
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 4);
  Put16(out, 6 + 4 * 12);
  for (const auto& [id, text] : names) {
    Put16(out, 3);
    Put16(out, 1);
    Put16(out, 0x409);
    Put16(out, id);
    Put16(out, static_cast<uint32_t>(text->size() * 2));
    Put16(out, static_cast<uint32_t>(strings.size()));
    for (char16_t c : *text) Put16(strings, c);
  }
  out.insert(out.end(), strings.begin(), strings.end());
  return out;
}

// In each row, glyphs on the low bytes 0x21 to 0x7E and 0xA1 to 0xFE.
constexpr int kRowGlyphs = 188;
constexpr int kHalfRow = 94;

// High bytes: private use first, then the printable bytes but for surrogates.
int RowByte(int row) {
  if (row < 25) return 0xE0 + row;
  row -= 25;
  if (row < 94) return 0x21 + row;
  row -= 94;
  if (row < 0xD8 - 0xA1) return 0xA1 + row;
  row -= 0xD8 - 0xA1;
  return 0xF9 + row;  // 0xF9 to 0xFE
}

// Format 4, two segments a row the glyphs reach, each a run of glyphs by idDelta, and the final
// segment at U+FFFF.
std::vector<uint8_t> GlyphCmap(int glyphs) {
  struct Segment {
    uint16_t start, end, delta;
  };
  std::vector<Segment> runs;
  for (int g = 0; g < std::min(glyphs, kMaxGlyphs); g += kHalfRow) {
    const uint16_t first = static_cast<uint16_t>(GlyphCharacter(g));
    const int count = std::min(kHalfRow, glyphs - g);
    runs.push_back({first, static_cast<uint16_t>(first + count - 1), static_cast<uint16_t>((g - first) & 0xFFFF)});
  }
  // Segments go in the order of their characters.
  std::sort(runs.begin(), runs.end(), [](const Segment& a, const Segment& b) { return a.start < b.start; });
  runs.push_back({0xFFFF, 0xFFFF, 1});
  std::vector<uint16_t> starts, ends, deltas;
  for (const Segment& r : runs) {
    starts.push_back(r.start);
    ends.push_back(r.end);
    deltas.push_back(r.delta);
  }
  const uint16_t segments = static_cast<uint16_t>(starts.size());
  uint16_t power = 1, log = 0;
  while (power * 2 <= segments) {
    power = static_cast<uint16_t>(power * 2);
    ++log;
  }
  std::vector<uint8_t> sub;
  Put16(sub, 4);
  Put16(sub, 16 + 8u * segments);
  Put16(sub, 0);
  Put16(sub, 2u * segments);
  Put16(sub, 2u * power);
  Put16(sub, log);
  Put16(sub, 2u * segments - 2u * power);
  for (uint16_t e : ends) Put16(sub, e);
  Put16(sub, 0);
  for (uint16_t st : starts) Put16(sub, st);
  for (uint16_t d : deltas) Put16(sub, d);
  for (size_t i = 0; i < starts.size(); ++i) Put16(sub, 0);
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 3);
  Put16(out, 1);
  Put32(out, 12);
  out.insert(out.end(), sub.begin(), sub.end());
  return out;
}

uint32_t Checksum(const std::vector<uint8_t>& table) {
  uint32_t sum = 0;
  for (size_t i = 0; i < table.size(); i += 4) {
    uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k) word = word << 8 | (i + k < table.size() ? table[i + k] : 0);
    sum += word;
  }
  return sum;
}

}  // namespace

char16_t GlyphCharacter(int glyph) {
  if (glyph < 0 || glyph >= kMaxGlyphs) return 0;
  const int row = glyph / kRowGlyphs, column = glyph % kRowGlyphs;
  const int low = column < kHalfRow ? 0x21 + column : 0xA1 + column - kHalfRow;
  return static_cast<char16_t>(RowByte(row) << 8 | low);
}

std::optional<std::vector<uint8_t>> RenamedTrueType(const uint8_t* data, size_t size, const std::u16string& family) {
  if (data == nullptr || size < 12) return std::nullopt;
  const uint32_t version = Read32(data);
  const bool cff = version == Tag("OTTO");
  if (version != 0x00010000 && version != Tag("true") && !cff) return std::nullopt;
  const uint16_t count = Read16(data + 4);
  if (size < 12 + 16 * size_t(count)) return std::nullopt;
  std::map<uint32_t, std::vector<uint8_t>> tables;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + 12 + 16 * size_t(i);
    const uint32_t offset = Read32(entry + 8), length = Read32(entry + 12);
    if (offset > size || length > size - offset) return std::nullopt;
    tables[Read32(entry)] = std::vector<uint8_t>(data + offset, data + offset + length);
  }
  const bool outlines = cff ? tables.count(Tag("CFF ")) != 0 : tables.count(Tag("glyf")) && tables.count(Tag("loca"));
  if (!outlines || !tables.count(Tag("head")) ||
      !tables.count(Tag("maxp")) || tables[Tag("maxp")].size() < 6)
    return std::nullopt;
  tables[Tag("name")] = NameTable(family);
  tables[Tag("cmap")] = GlyphCmap(Read16(tables[Tag("maxp")].data() + 4));

  std::vector<uint8_t> out;
  const uint16_t n = static_cast<uint16_t>(tables.size());
  uint16_t power = 1, log = 0;
  while (power * 2 <= n) {
    power = static_cast<uint16_t>(power * 2);
    ++log;
  }
  Put32(out, cff ? Tag("OTTO") : 0x00010000);
  Put16(out, n);
  Put16(out, power * 16u);
  Put16(out, log);
  Put16(out, n * 16u - power * 16u);
  uint32_t offset = 12 + 16 * uint32_t(n);
  for (const auto& [tag, table] : tables) {  // a std::map keeps the tags sorted, as the directory must be
    Put32(out, tag);
    Put32(out, Checksum(table));
    Put32(out, offset);
    Put32(out, static_cast<uint32_t>(table.size()));
    offset += (static_cast<uint32_t>(table.size()) + 3) & ~3u;
  }
  for (const auto& entry : tables) {
    out.insert(out.end(), entry.second.begin(), entry.second.end());
    out.resize((out.size() + 3) & ~size_t{3}, 0);
  }
  return out;
}

bool IsOpenTypeCff(const uint8_t* data, size_t size) { return data != nullptr && size >= 4 && Read32(data) == Tag("OTTO"); }

bool IsType1OrBareCff(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 4) return false;
  if ((data[0] == '%' && data[1] == '!') || (data[0] == 0x80 && data[1] == 0x01)) return true;
  // A CFF header: major version 1, then its own size and the offset size.
  return data[0] == 1 && data[2] >= 4 && data[3] >= 1 && data[3] <= 4;
}

}  // namespace rt7700pdf
