#include "truetype_builder.h"

#include <map>

namespace testsupport {

namespace {
void Add16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}
void Add32(std::vector<uint8_t>& v, uint32_t x) {
  Add16(v, static_cast<uint16_t>(x >> 16));
  Add16(v, static_cast<uint16_t>(x));
}
uint32_t Tag(const char* t) {
  return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) | (uint32_t(uint8_t(t[2])) << 8) |
         uint8_t(t[3]);
}
}  // namespace

void PutU16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
  v[at] = static_cast<uint8_t>(x >> 8);
  v[at + 1] = static_cast<uint8_t>(x);
}
void PutU32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  PutU16(v, at, static_cast<uint16_t>(x >> 16));
  PutU16(v, at + 2, static_cast<uint16_t>(x));
}

std::vector<uint8_t> SimpleGlyph(int seed, int extra) {
  std::vector<uint8_t> g;
  Add16(g, 1);  // numberOfContours
  for (int i = 0; i < 4; ++i) Add16(g, static_cast<uint16_t>(seed * 7 + i));
  for (int i = 0; i < extra; ++i) g.push_back(static_cast<uint8_t>(seed * 31 + i * 5));
  if (g.size() % 2) g.push_back(0);
  return g;
}

std::vector<uint8_t> CompositeGlyph(const std::vector<uint16_t>& components) {
  std::vector<uint8_t> g;
  Add16(g, 0xFFFF);  // numberOfContours -1
  for (int i = 0; i < 4; ++i) Add16(g, 0);
  for (size_t i = 0; i < components.size(); ++i) {
    const uint16_t flags = 0x0001 | (i + 1 < components.size() ? 0x0020 : 0);
    Add16(g, flags);
    Add16(g, components[i]);
    Add32(g, 0);
  }
  return g;
}

std::vector<uint8_t> TestFont::Build() const {
  std::map<uint32_t, std::vector<uint8_t>> tables;
  // glyf and loca
  std::vector<uint8_t> glyf, loca;
  for (const auto& g : glyphs) {
    if (longLoca) Add32(loca, static_cast<uint32_t>(glyf.size()));
    else Add16(loca, static_cast<uint16_t>(glyf.size() / 2));
    glyf.insert(glyf.end(), g.begin(), g.end());
    if (glyf.size() % 2) glyf.push_back(0);
  }
  if (longLoca) Add32(loca, static_cast<uint32_t>(glyf.size()));
  else Add16(loca, static_cast<uint16_t>(glyf.size() / 2));
  tables[Tag("glyf")] = glyf;
  tables[Tag("loca")] = loca;
  std::vector<uint8_t> head(54, 0);
  PutU32(head, 0, 0x00010000);
  PutU32(head, 12, 0x5F0F3CF5);
  PutU16(head, 18, 2048);
  PutU16(head, 50, longLoca ? 1 : 0);
  tables[Tag("head")] = head;
  std::vector<uint8_t> maxp(6, 0);
  PutU32(maxp, 0, 0x00005000);
  PutU16(maxp, 4, static_cast<uint16_t>(glyphs.size()));
  tables[Tag("maxp")] = maxp;
  // cmap: one format-4 subtable, a segment per mapping and the closing one.
  std::vector<uint8_t> sub;
  const uint16_t segCount = static_cast<uint16_t>(charMap.size() + 1);
  Add16(sub, 4);
  Add16(sub, static_cast<uint16_t>(16 + segCount * 8));
  Add16(sub, 0);
  Add16(sub, static_cast<uint16_t>(segCount * 2));
  Add16(sub, 0);
  Add16(sub, 0);
  Add16(sub, 0);
  for (const auto& m : charMap) Add16(sub, m.first);
  Add16(sub, 0xFFFF);
  Add16(sub, 0);
  for (const auto& m : charMap) Add16(sub, m.first);
  Add16(sub, 0xFFFF);
  for (const auto& m : charMap) Add16(sub, static_cast<uint16_t>(m.second - m.first));
  Add16(sub, 1);
  for (size_t i = 0; i < segCount; ++i) Add16(sub, 0);
  std::vector<uint8_t> cmap;
  Add16(cmap, 0);
  Add16(cmap, 1);
  Add16(cmap, 3);
  Add16(cmap, 1);
  Add32(cmap, 12);
  cmap.insert(cmap.end(), sub.begin(), sub.end());
  tables[Tag("cmap")] = cmap;
  // name: the family (1) and full name (4 is not looked at) for platform 3.
  std::vector<uint8_t> name;
  Add16(name, 0);
  Add16(name, 1);
  Add16(name, 6 + 12);
  Add16(name, 3);
  Add16(name, 1);
  Add16(name, 0x409);
  Add16(name, 1);
  Add16(name, static_cast<uint16_t>(family.size() * 2));
  Add16(name, 0);
  for (char16_t c : family) Add16(name, c);
  tables[Tag("name")] = name;

  std::vector<uint8_t> out;
  Add32(out, 0x00010000);
  Add16(out, static_cast<uint16_t>(tables.size()));
  Add16(out, 0);
  Add16(out, 0);
  Add16(out, 0);
  uint32_t offset = static_cast<uint32_t>(12 + 16 * tables.size());
  std::vector<uint8_t> body;
  for (const auto& [tag, data] : tables) {
    Add32(out, tag);
    Add32(out, 0);
    Add32(out, offset);
    Add32(out, static_cast<uint32_t>(data.size()));
    if (tag == Tag("loca")) locaOffset = offset;
    if (tag == Tag("glyf")) glyfOffset = offset;
    if (tag == Tag("cmap")) cmapOffset = offset;
    body.insert(body.end(), data.begin(), data.end());
    while (body.size() % 4) body.push_back(0);
    offset = static_cast<uint32_t>(12 + 16 * tables.size() + body.size());
  }
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> Collection(const std::vector<std::vector<uint8_t>>& members) {
  std::vector<uint8_t> out;
  Add32(out, 0x74746366);
  Add32(out, 0x00010000);
  Add32(out, static_cast<uint32_t>(members.size()));
  uint32_t at = static_cast<uint32_t>(12 + 4 * members.size());
  for (const auto& m : members) {
    Add32(out, at);
    at += static_cast<uint32_t>(m.size());
  }
  for (const auto& m : members) {
    // Table offsets in a collection count from the start of the file.
    std::vector<uint8_t> copy = m;
    const uint32_t base = static_cast<uint32_t>(out.size());
    const uint16_t numTables = static_cast<uint16_t>((copy[4] << 8) | copy[5]);
    for (uint16_t t = 0; t < numTables; ++t) {
      const size_t rec = 12 + t * 16 + 8;
      const uint32_t o = (uint32_t(copy[rec]) << 24) | (uint32_t(copy[rec + 1]) << 16) | (uint32_t(copy[rec + 2]) << 8) |
                         copy[rec + 3];
      PutU32(copy, rec, o + base);
    }
    out.insert(out.end(), copy.begin(), copy.end());
  }
  return out;
}

}  // namespace testsupport
