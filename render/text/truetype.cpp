// The bounds-checked TrueType reader: table directory (plain files and collections), `cmap`
// formats 4 and 0, `loca`/`glyf`, composite glyph walks, the naming table, and ReadFontTable.
#include "text/truetype.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/utf16.h"
#include "text/text_fonts.h"

namespace render::truetype {

bool Bytes::U8(size_t offset, uint8_t* v) const {
  if (!Has(offset, 1)) return false;
  *v = data_[offset];
  return true;
}

bool Bytes::U16(size_t offset, uint16_t* v) const {
  if (!Has(offset, 2)) return false;
  *v = static_cast<uint16_t>((data_[offset] << 8) | data_[offset + 1]);
  return true;
}

bool Bytes::I16(size_t offset, int16_t* v) const {
  uint16_t u = 0;
  if (!U16(offset, &u)) return false;
  *v = static_cast<int16_t>(u);
  return true;
}

bool Bytes::U32(size_t offset, uint32_t* v) const {
  if (!Has(offset, 4)) return false;
  *v = (uint32_t(data_[offset]) << 24) | (uint32_t(data_[offset + 1]) << 16) | (uint32_t(data_[offset + 2]) << 8) |
       data_[offset + 3];
  return true;
}

Bytes Bytes::Sub(size_t offset, size_t length) const {
  if (!Has(offset, length)) return {};
  return {data_ + offset, length};
}

uint32_t CollectionMemberCount(Bytes file) {
  uint32_t tag = 0;
  uint32_t numFonts = 0;
  if (!file.U32(0, &tag) || tag != kCollectionTag || !file.U32(8, &numFonts)) return 0;
  // Each member needs its 4-byte offset inside the file.
  return file.Has(12, size_t{numFonts} * 4) ? numFonts : 0;
}

bool Directory::Open(Bytes f, uint32_t collectionIndex) {
  file = f;
  uint32_t tag = 0;
  if (!file.U32(0, &tag)) return false;
  base = 0;
  if (tag == kCollectionTag) {
    if (collectionIndex >= CollectionMemberCount(file)) return false;
    if (!file.U32(12 + size_t{collectionIndex} * 4, &base) || !file.U32(base, &tag)) return false;
  }
  if (tag != 0x00010000 && tag != 0x74727565 /* "true" */) return false;
  if (!file.U16(base + 4, &numTables)) return false;
  return file.Has(size_t{base} + 12, size_t{numTables} * 16);
}

bool Directory::Find(uint32_t tag, Bytes* table) const {
  for (uint32_t i = 0; i < numTables; ++i) {
    const size_t record = size_t{base} + 12 + size_t{i} * 16;
    uint32_t t = 0, offset = 0, length = 0;
    if (!file.U32(record, &t) || t != tag) continue;
    if (!file.U32(record + 8, &offset) || !file.U32(record + 12, &length) || !file.Has(offset, length)) return false;
    *table = file.Sub(offset, length);
    return true;
  }
  return false;
}

bool Face::Open(Bytes file, uint32_t collectionIndex) {
  *this = Face();
  Directory dir;
  if (!dir.Open(file, collectionIndex)) return false;
  Bytes head, maxp;
  if (!dir.Find(FontTag('h', 'e', 'a', 'd'), &head) || !head.I16(50, &indexToLocFormat_)) return false;
  if (indexToLocFormat_ != 0 && indexToLocFormat_ != 1) return false;
  if (!dir.Find(FontTag('m', 'a', 'x', 'p'), &maxp) || !maxp.U16(4, &numGlyphs_)) return false;
  if (!dir.Find(FontTag('l', 'o', 'c', 'a'), &loca_) || !dir.Find(FontTag('g', 'l', 'y', 'f'), &glyf_)) return false;
  // A short `loca` covers fewer glyphs than `maxp` claims: the rest do not exist.
  const size_t entry = longLoca() ? 4 : 2;
  const size_t covered = loca_.size() / entry;
  numGlyphs_ = static_cast<uint16_t>(std::min<size_t>(numGlyphs_, covered == 0 ? 0 : covered - 1));
  OpenCharMap(dir);
  return true;
}

bool Face::OpenCharMap(const Directory& dir) {
  Bytes cmap;
  uint16_t numTables = 0;
  if (!dir.Find(FontTag('c', 'm', 'a', 'p'), &cmap) || !cmap.U16(2, &numTables)) return false;
  for (uint32_t i = 0; i < numTables; ++i) {
    uint16_t platformID = 0;
    uint32_t offset = 0;
    if (!cmap.U16(4 + size_t{i} * 8, &platformID) || !cmap.U32(4 + size_t{i} * 8 + 4, &offset)) return false;
    if (platformID != 3) continue;
    uint16_t format = 0, length = 0;
    if (!cmap.U16(offset, &format) || !cmap.U16(size_t{offset} + 2, &length)) return false;
    const Bytes sub = cmap.Sub(offset, length);
    if (sub.size() == 0) return false;  // the subtable overruns `cmap`
    if (format == 4) {
      uint16_t segCountX2 = 0;
      if (!sub.U16(6, &segCountX2) || segCountX2 == 0 || segCountX2 % 2 != 0) return false;
      // endCode, reservedPad, startCode, idDelta, idRangeOffset must all lie in the subtable.
      if (!sub.Has(14, size_t{segCountX2} * 4 + 2)) return false;
      segCountX2_ = segCountX2;
    } else if (format == 0) {
      if (!sub.Has(6, 256)) return false;
    } else {
      return false;
    }
    cmap_ = sub;
    cmapFormat_ = format == 0 ? 0x100 : format;  // nonzero marks a usable map
    return true;
  }
  return false;
}

uint16_t Face::GlyphIndex(uint16_t code) const {
  uint16_t glyph = 0;
  if (cmapFormat_ == 0x100) {
    uint8_t g = 0;
    if (code < 256 && cmap_.U8(6 + code, &g)) glyph = g;
  } else if (cmapFormat_ == 4) {
    const size_t segCount = segCountX2_ / 2;
    const size_t endCode = 14, startCode = 16 + segCountX2_, idDelta = startCode + segCountX2_,
                 idRangeOffset = idDelta + segCountX2_;
    // endCode is sorted: the first segment ending at or after the code.
    size_t lo = 0, hi = segCount;
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      uint16_t end = 0;
      cmap_.U16(endCode + mid * 2, &end);
      if (end < code) lo = mid + 1; else hi = mid;
    }
    if (lo == segCount) return 0;
    uint16_t start = 0, delta = 0, rangeOffset = 0;
    cmap_.U16(startCode + lo * 2, &start);
    cmap_.U16(idDelta + lo * 2, &delta);
    cmap_.U16(idRangeOffset + lo * 2, &rangeOffset);
    if (code < start) return 0;
    if (rangeOffset == 0) {
      glyph = static_cast<uint16_t>(code + delta);
    } else {
      const size_t at = idRangeOffset + lo * 2 + rangeOffset + static_cast<size_t>(code - start) * 2;
      uint16_t g = 0;
      if (!cmap_.U16(at, &g) || g == 0) return 0;
      glyph = static_cast<uint16_t>(g + delta);
    }
  }
  return glyph < numGlyphs_ ? glyph : 0;
}

bool Face::Glyph(uint16_t glyphIndex, Bytes* data) const {
  if (glyphIndex >= numGlyphs_) return false;
  uint32_t start = 0, end = 0;
  if (longLoca()) {
    if (!loca_.U32(size_t{glyphIndex} * 4, &start) || !loca_.U32(size_t{glyphIndex} * 4 + 4, &end)) return false;
  } else {
    uint16_t s = 0, e = 0;
    if (!loca_.U16(size_t{glyphIndex} * 2, &s) || !loca_.U16(size_t{glyphIndex} * 2 + 2, &e)) return false;
    start = uint32_t{s} * 2;
    end = uint32_t{e} * 2;
  }
  if (start > end || end > glyf_.size()) return false;
  // Anything but an empty glyph starts with the 10-byte glyph header.
  if (end != start && end - start < 10) return false;
  *data = end == start ? Bytes(glyf_.data() + start, 0) : glyf_.Sub(start, end - start);
  return true;
}

namespace {
constexpr uint16_t ARG_1_AND_2_ARE_WORDS = 0x0001;
constexpr uint16_t WE_HAVE_A_SCALE = 0x0008;
constexpr uint16_t MORE_COMPONENTS = 0x0020;
constexpr uint16_t WE_HAVE_AN_X_AND_Y_SCALE = 0x0040;
constexpr uint16_t WE_HAVE_A_TWO_BY_TWO = 0x0080;
}  // namespace

bool Face::Components(uint16_t glyphIndex, std::vector<uint16_t>* out) const {
  out->clear();
  std::vector<uint16_t> chain;
  int budget = kMaxComponentsPerGlyph;
  return ComponentsOf(glyphIndex, 0, &chain, out, &budget);
}

bool Face::ComponentsOf(uint16_t glyphIndex, int depth, std::vector<uint16_t>* chain, std::vector<uint16_t>* out,
                        int* budget) const {
  Bytes glyph;
  int16_t numberOfContours = 0;
  if (!Glyph(glyphIndex, &glyph)) return false;
  if (glyph.size() == 0 || !glyph.I16(0, &numberOfContours) || numberOfContours >= 0) return true;
  if (depth >= kMaxCompositeDepth) return false;
  if (std::find(chain->begin(), chain->end(), glyphIndex) != chain->end()) return false;
  chain->push_back(glyphIndex);
  size_t at = 10;
  uint16_t flags = 0;
  do {
    uint16_t component = 0;
    if (--*budget < 0 || !glyph.U16(at, &flags) || !glyph.U16(at + 2, &component)) return false;
    at += 4 + ((flags & ARG_1_AND_2_ARE_WORDS) ? 4 : 2);
    if (flags & WE_HAVE_A_SCALE) at += 2;
    else if (flags & WE_HAVE_AN_X_AND_Y_SCALE) at += 4;
    else if (flags & WE_HAVE_A_TWO_BY_TWO) at += 8;
    if (at > glyph.size() || component == glyphIndex) return false;
    out->push_back(component);
    if (!ComponentsOf(component, depth + 1, chain, out, budget)) return false;
  } while (flags & MORE_COMPONENTS);
  chain->pop_back();
  return true;
}

bool MemberHasName(Bytes file, uint32_t collectionIndex, const char* ansiName) {
  Directory dir;
  Bytes name;
  uint16_t count = 0, stringOffset = 0;
  if (!dir.Open(file, collectionIndex) || !dir.Find(FontTag('n', 'a', 'm', 'e'), &name)) return false;
  if (!name.U16(2, &count) || !name.U16(4, &stringOffset)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t record = 6 + size_t{i} * 12;
    uint16_t platformID = 0, nameID = 0, length = 0, offset = 0;
    if (!name.U16(record, &platformID) || !name.U16(record + 6, &nameID) || !name.U16(record + 8, &length) ||
        !name.U16(record + 10, &offset))
      return false;
    if (platformID != 3 || nameID >= 4) continue;
    const Bytes text = name.Sub(size_t{stringOffset} + offset, length);
    if (text.size() != length) continue;
    std::u16string wide(length / 2, u'\0');
    for (size_t k = 0; k < wide.size(); ++k) {
      uint16_t unit = 0;
      text.U16(k * 2, &unit);
      wide[k] = static_cast<char16_t>(unit);
    }
    if (platform::Utf16ToAnsi(wide) == ansiName) return true;
  }
  return false;
}

}  // namespace render::truetype

namespace render {

namespace {
// The tables the driver reads or may be asked for.
constexpr uint32_t kKnownTables[] = {
    FontTag('c', 'v', 't', ' '), FontTag('f', 'p', 'g', 'm'), FontTag('h', 'e', 'a', 'd'), FontTag('h', 'h', 'e', 'a'),
    FontTag('h', 'm', 't', 'x'), FontTag('m', 'a', 'x', 'p'), FontTag('p', 'r', 'e', 'p'), FontTag('c', 'm', 'a', 'p'),
    FontTag('g', 'l', 'y', 'f'), FontTag('l', 'o', 'c', 'a'), FontTag('n', 'a', 'm', 'e'), FontTag('p', 'o', 's', 't'),
    FontTag('O', 'S', '/', '2'), FontTag('h', 'd', 'm', 'x'), FontTag('k', 'e', 'r', 'n'), FontTag('L', 'T', 'S', 'H'),
    FontTag('V', 'D', 'M', 'X'), FontTag('g', 'd', 'i', 'r'), FontTag('P', 'C', 'L', 'T'), FontTag('v', 'm', 't', 'x'),
    FontTag('v', 'h', 'e', 'a')};
}  // namespace

uint32_t ReadFontTable(const void* file, uint32_t fileSize, uint32_t tag, uint32_t offset, void* buffer,
                       uint32_t length, uint32_t collectionIndex) {
  if (file == nullptr || std::find(std::begin(kKnownTables), std::end(kKnownTables), tag) == std::end(kKnownTables))
    return 0;
  truetype::Directory dir;
  truetype::Bytes table;
  if (!dir.Open({static_cast<const uint8_t*>(file), fileSize}, collectionIndex) || !dir.Find(tag, &table)) return 0;
  if (buffer == nullptr) return static_cast<uint32_t>(table.size());
  if (offset >= table.size()) return 0;
  const uint32_t n = static_cast<uint32_t>(std::min<size_t>(length, table.size() - offset));
  std::memcpy(buffer, table.data() + offset, n);
  return n;
}

}  // namespace render
