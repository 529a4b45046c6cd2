#include "terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace rt7700print {
namespace {

void Escape(std::string& out, unsigned char byte) {
  switch (byte) {
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
}

// The length of the well-formed UTF-8 sequence at `i` and its code point, or 0.
size_t Sequence(std::string_view s, size_t i, uint32_t& cp) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  unsigned char lead = b(0);
  size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (n == 0 || lead > 0xF4 || i + n > s.size()) return 0;
  cp = lead & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  return overlong || surrogate || cp > 0x10FFFF ? 0 : n;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) {
        Escape(out, c);
      } else {
        out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    uint32_t cp = 0;
    size_t n = Sequence(text, i, cp);
    if (n == 0 || cp <= 0x9F) {  // a stray byte, or a C1 control such as CSI
      for (size_t k = 0; k < (n == 0 ? 1 : n); ++k) Escape(out, static_cast<unsigned char>(text[i + k]));
      i += n == 0 ? 1 : n;
      continue;
    }
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace rt7700print
