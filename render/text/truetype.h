// The one reader of TrueType files the soft-font download uses. Every read is bounds-checked
// against the file image; each table is validated once, when a Face is opened, so that the
// lookups afterwards cannot leave it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace render::truetype {

// Big-endian reads over a byte range; a read outside it fails and leaves the value untouched.
class Bytes {
 public:
  Bytes() = default;
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  bool Has(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }
  bool U8(size_t offset, uint8_t* v) const;
  bool U16(size_t offset, uint16_t* v) const;
  bool I16(size_t offset, int16_t* v) const;
  bool U32(size_t offset, uint32_t* v) const;
  // An empty range when [offset, offset + length) is not inside.
  Bytes Sub(size_t offset, size_t length) const;

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

constexpr uint32_t kCollectionTag = 0x74746366;  // "ttcf"
constexpr int kMaxCompositeDepth = 8;
constexpr int kMaxComponentsPerGlyph = 512;  // work budget of one character's component walk

// The table directory of one member; false when the file is not a font or the member is missing.
struct Directory {
  Bytes file;
  uint32_t base = 0;  // offset of the member's offset table
  uint16_t numTables = 0;
  bool Open(Bytes file, uint32_t collectionIndex);
  // The table's range, validated to lie within the file.
  bool Find(uint32_t tag, Bytes* table) const;
};

uint32_t CollectionMemberCount(Bytes file);

// The glyph source and character map of one member, validated on opening.
class Face {
 public:
  bool Open(Bytes file, uint32_t collectionIndex);
  uint16_t numGlyphs() const { return numGlyphs_; }
  bool longLoca() const { return indexToLocFormat_ != 0; }
  bool hasCharMap() const { return cmapFormat_ != 0; }
  // 0 (the missing glyph) when the code is not mapped or the map is unusable.
  uint16_t GlyphIndex(uint16_t code) const;
  // The glyph's bytes in `glyf`; an empty range for an empty glyph; false when `loca` lies.
  bool Glyph(uint16_t glyphIndex, Bytes* data) const;
  // The component glyph indexes of a composite glyph, depth first, within the depth and work
  // budget; false when the glyph refers to itself, nests too deep or is malformed.
  bool Components(uint16_t glyphIndex, std::vector<uint16_t>* out) const;

 private:
  bool OpenCharMap(const Directory& dir);
  bool ComponentsOf(uint16_t glyphIndex, int depth, std::vector<uint16_t>* chain, std::vector<uint16_t>* out,
                    int* budget) const;
  Bytes loca_;
  Bytes glyf_;
  Bytes cmap_;  // the chosen subtable
  uint16_t numGlyphs_ = 0;
  int16_t indexToLocFormat_ = 0;
  uint16_t cmapFormat_ = 0;  // 0: none usable
  uint16_t segCountX2_ = 0;
};

// Whether member `collectionIndex`'s naming table holds `ansiName` among its platform-3 names with
// an identifier below 4.
bool MemberHasName(Bytes file, uint32_t collectionIndex, const char* ansiName);

}  // namespace render::truetype
