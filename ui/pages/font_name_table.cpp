// Reading the full names of TrueType fonts. The English (or Unicode-platform) record wins; a
// Macintosh record's bytes are taken one to one; a record in Chinese (PRC) ends the file, so that
// such fonts keep the English name they gave first.
#include "pages/font_name_table.h"

#include <cstring>

#include "win/fileapi.h"

namespace ui::fonts {

namespace {

constexpr uint32_t kTrueTypeVersion = 0x00010000;
constexpr uint32_t kNameTag = 0x6E616D65;  // "name"
constexpr uint16_t kFullName = 4;
constexpr size_t kMaxNameBytes = 510;
constexpr uint32_t kMaxCollectionFonts = 1024;
constexpr uint16_t kEnglishUs = 0x0409;
constexpr uint16_t kChinesePrc = 0x0804;

class Reader {
 public:
  explicit Reader(FontBytes& bytes) : bytes_(bytes) {}
  bool U16(uint64_t at, uint16_t& v) {
    uint8_t b[2];
    if (!bytes_.Read(at, b, 2)) return false;
    v = static_cast<uint16_t>((b[0] << 8) | b[1]);
    return true;
  }
  bool U32(uint64_t at, uint32_t& v) {
    uint8_t b[4];
    if (!bytes_.Read(at, b, 4)) return false;
    v = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    return true;
  }
  bool Bytes(uint64_t at, uint8_t* out, size_t n) { return n == 0 || bytes_.Read(at, out, n); }

 private:
  FontBytes& bytes_;
};

enum class FontResult { kNext, kStopFile };

// The name of the font whose offset table is at `font`, appended to `names` when one was taken.
FontResult ReadFont(Reader& r, uint64_t font, std::vector<std::u16string>& names) {
  uint32_t version = 0;
  uint16_t tableCount = 0;
  if (!r.U32(font, version) || version != kTrueTypeVersion || !r.U16(font + 4, tableCount))
    return FontResult::kStopFile;
  uint32_t nameTable = 0;
  bool found = false;
  for (uint32_t i = 0; i < tableCount && !found; ++i) {
    uint32_t tag = 0;
    const uint64_t record = font + 12 + uint64_t{i} * 16;
    if (!r.U32(record, tag)) return FontResult::kNext;
    if (tag == kNameTag) found = r.U32(record + 8, nameTable);
  }
  if (!found) return FontResult::kNext;
  uint16_t format = 0, count = 0, storage = 0;
  if (!r.U16(nameTable, format) || !r.U16(nameTable + 2, count) || !r.U16(nameTable + 4, storage))
    return FontResult::kNext;
  std::u16string taken;
  FontResult result = FontResult::kNext;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t record = uint64_t{nameTable} + 6 + uint64_t{i} * 12;
    uint16_t platformId = 0, encoding = 0, language = 0, nameId = 0, length = 0, offset = 0;
    if (!r.U16(record, platformId) || !r.U16(record + 2, encoding) || !r.U16(record + 4, language) ||
        !r.U16(record + 6, nameId) || !r.U16(record + 8, length) || !r.U16(record + 10, offset))
      break;
    if (nameId != kFullName) continue;
    if (language == kChinesePrc) {
      result = FontResult::kStopFile;
      break;
    }
    const size_t n = length < kMaxNameBytes ? length : kMaxNameBytes;
    uint8_t text[kMaxNameBytes];
    const bool mac = platformId == 1;
    const bool unicode = platformId == 0 || (encoding == 1 && language == 0) || language == kEnglishUs;
    if ((!mac && !unicode) || n == 0) continue;
    if (!r.Bytes(uint64_t{nameTable} + storage + offset, text, n)) continue;
    std::u16string name;
    if (mac) {
      for (size_t k = 0; k < n && text[k] != 0; ++k) name += static_cast<char16_t>(text[k]);
    } else {
      for (size_t k = 0; k + 1 < n; k += 2) {
        const char16_t c = static_cast<char16_t>((text[k] << 8) | text[k + 1]);
        if (c == 0) break;
        name += c;
      }
    }
    if (!name.empty()) taken = std::move(name);
  }
  if (!taken.empty()) names.push_back(std::move(taken));
  return result;
}

class MemoryBytes : public FontBytes {
 public:
  MemoryBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Read(uint64_t offset, void* out, size_t length) override {
    if (data_ == nullptr || offset > size_ || length > size_ - offset) return false;
    std::memcpy(out, data_ + offset, length);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

class FileBytes : public FontBytes {
 public:
  explicit FileBytes(HANDLE file) : file_(file) {}
  bool Read(uint64_t offset, void* out, size_t length) override {
    if (offset > 0xFFFFFFFFull) return false;
    LONG high = 0;
    if (SetFilePointer(file_, static_cast<LONG>(static_cast<uint32_t>(offset)), &high, FILE_BEGIN) ==
        INVALID_SET_FILE_POINTER)
      return false;
    DWORD got = 0;
    return ReadFile(file_, out, static_cast<DWORD>(length), &got, nullptr) && got == length;
  }

 private:
  HANDLE file_;
};

bool EndsWith(std::u16string_view name, std::u16string_view suffix) {
  if (name.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char16_t c = name[name.size() - suffix.size() + i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsTrueTypeFileName(std::u16string_view fileName) { return EndsWith(fileName, u"ttf") || EndsWith(fileName, u"ttc"); }

std::vector<std::u16string> ReadFullNames(FontBytes& bytes, bool collection) {
  std::vector<std::u16string> names;
  Reader r(bytes);
  if (!collection) {
    ReadFont(r, 0, names);
    return names;
  }
  uint32_t fonts = 0;
  if (!r.U32(8, fonts)) return names;
  for (uint32_t i = 0; i < fonts && i < kMaxCollectionFonts; ++i) {
    uint32_t offset = 0;
    if (!r.U32(12 + uint64_t{i} * 4, offset)) break;
    if (ReadFont(r, offset, names) == FontResult::kStopFile) break;
  }
  return names;
}

std::vector<std::u16string> ReadFullNames(const uint8_t* data, size_t size, bool collection) {
  MemoryBytes bytes(data, size);
  return ReadFullNames(bytes, collection);
}

std::vector<std::u16string> ReadFullNamesOfFile(const std::u16string& path) {
  if (!IsTrueTypeFileName(path)) return {};
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  FileBytes bytes(file);
  std::vector<std::u16string> names = ReadFullNames(bytes, EndsWith(path, u"ttc"));
  CloseHandle(file);
  return names;
}

}  // namespace ui::fonts
