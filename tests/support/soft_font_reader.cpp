#include "soft_font_reader.h"

#include <cstring>

namespace testsupport {

namespace {

unsigned U8(std::string_view s, size_t at) { return static_cast<uint8_t>(s[at]); }
unsigned U16(std::string_view s, size_t at) { return (U8(s, at) << 8) | U8(s, at + 1); }

// "<prefix><digits><final>" at `at`: the number, and `at` moved past the command.
std::optional<long> Command(std::string_view s, size_t& at, std::string_view prefix, char final) {
  if (s.substr(at, prefix.size()) != prefix) return std::nullopt;
  size_t i = at + prefix.size();
  bool negative = false;
  if (i < s.size() && s[i] == '-') negative = true, ++i;
  long v = 0;
  const size_t digits = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
  if (i == digits || i >= s.size() || s[i] != final) return std::nullopt;
  at = i + 1;
  return negative ? -v : v;
}

}  // namespace

SoftFontDownloads ReadSoftFontDownloads(std::string_view s,
                                        const std::function<std::optional<std::string>(int)>& glyfBytes) {
  SoftFontDownloads out;
  auto fault = [&](const std::string& m) { out.faults.push_back(m); };
  long fontId = -1, code = -1;
  DownloadedCharacter* open = nullptr;  // a bitmap character awaiting continuation blocks
  size_t bitmapMissing = 0;
  size_t at = 0;
  while (at < s.size()) {
    if (s[at] != '\x1b') {
      ++at;
      continue;
    }
    if (auto id = Command(s, at, "\x1b*c", 'D')) {
      fontId = *id;
    } else if (auto n = Command(s, at, "\x1b)s", 'W')) {
      const std::string where = "header of font " + std::to_string(fontId) + ": ";
      if (*n < 0 || at + static_cast<size_t>(*n) > s.size()) {
        fault(where + "cut off");
        break;
      }
      const std::string_view h = s.substr(at, static_cast<size_t>(*n));
      at += h.size();
      out.headerIds.push_back(static_cast<int>(fontId));
      if (h.size() < 72 + 10 + 2) {
        fault(where + "shorter than a descriptor and its segments");
        continue;
      }
      if (U16(h, 0) != 72) fault(where + "descriptor size " + std::to_string(U16(h, 0)));
      if (U8(h, 2) != 16) fault(where + "format " + std::to_string(U8(h, 2)));
      if (U8(h, 3) != 3) fault(where + "font type " + std::to_string(U8(h, 3)));
      if (U16(h, 36) != 0 || U16(h, 38) != 0xFFFF) fault(where + "code range");
      if (U16(h, 10) == 0 || U16(h, 18) == 0) fault(where + "zero cell height or height");
      // Segments: identifier, 32-bit size, data; the null segment ends them.
      size_t seg = 72;
      bool ended = false;
      while (seg + 6 <= h.size() - 2) {
        const unsigned tag = U16(h, seg);
        const size_t size = (size_t{U16(h, seg + 2)} << 16) | U16(h, seg + 4);
        if (tag == 0xFFFF) {
          ended = size == 0;
          seg += 6;
          break;
        }
        if (tag == 0x4252 /* BR */ && (size != 4 || U16(h, seg + 6) == 0 || U16(h, seg + 8) == 0))
          fault(where + "bad resolution segment");
        seg += 6 + size;
      }
      if (!ended) fault(where + "no null segment");
      if (seg + 2 != h.size()) fault(where + "bytes after the segments");
      unsigned sum = 0;
      for (size_t i = 64; i < h.size(); ++i) sum += U8(h, i);
      if (sum % 256 != 0) fault(where + "checksum");
    } else if (auto c = Command(s, at, "\x1b*c", 'E')) {
      code = *c;
      open = nullptr;
    } else if (auto n2 = Command(s, at, "\x1b(s", 'W')) {
      const std::string where = "character " + std::to_string(code) + ": ";
      if (*n2 < 2 || at + static_cast<size_t>(*n2) > s.size()) {
        fault(where + "cut off");
        break;
      }
      const std::string_view d = s.substr(at, static_cast<size_t>(*n2));
      at += d.size();
      const unsigned format = U8(d, 0), continuation = U8(d, 1);
      if (continuation == 1) {
        if (format != 4 || open == nullptr) fault(where + "continuation without a character");
        else if (d.size() - 2 > bitmapMissing) fault(where + "continuation beyond the image");
        else bitmapMissing -= d.size() - 2, open->dataBytes += d.size() - 2;
        continue;
      }
      if (open != nullptr && bitmapMissing != 0) fault("previous character's image incomplete");
      open = nullptr;
      if (format == 4) {
        if (d.size() < 16 || U8(d, 2) != 14 || U8(d, 3) != 1) {
          fault(where + "bad bitmap descriptor");
          continue;
        }
        DownloadedCharacter ch{static_cast<int>(code), 4, -1, static_cast<int>(U16(d, 10)),
                               static_cast<int>(U16(d, 12)), d.size() - 16};
        const size_t image = size_t((ch.width + 7) / 8) * ch.height;
        if (ch.width == 0 || ch.height == 0) fault(where + "empty image");
        if (ch.dataBytes > image) fault(where + "more data than the image");
        out.characters.push_back(ch);
        open = &out.characters.back();
        bitmapMissing = image - std::min(image, ch.dataBytes);
      } else if (format == 15) {
        if (d.size() < 10 || U8(d, 2) != 2 || U8(d, 3) != 15) {
          fault(where + "bad TrueType descriptor");
          continue;
        }
        const size_t length = d.size() - 10;
        if (U16(d, 4) != length + 4) fault(where + "character data size");
        if (U8(d, d.size() - 2) != 0) fault(where + "reserved byte");
        unsigned sum = 0;
        for (size_t i = 4; i < d.size(); ++i) sum += U8(d, i);
        if (sum % 256 != 0) fault(where + "checksum");
        const int glyph = static_cast<int>(U16(d, 6));
        if (glyfBytes) {
          const auto expected = glyfBytes(glyph);
          if (expected && *expected != d.substr(8, length)) fault(where + "glyph " + std::to_string(glyph) + " differs from the font's");
        }
        out.characters.push_back({static_cast<int>(code), 15, glyph, 0, 0, length});
      } else {
        fault(where + "format " + std::to_string(format));
      }
    } else {
      ++at;
    }
  }
  if (open != nullptr && bitmapMissing != 0) fault("last character's image incomplete");
  return out;
}

}  // namespace testsupport
