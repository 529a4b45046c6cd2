// UTF-16 field helpers and conversions.
#include "platform/utf16.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Windows-1252 code points for bytes 0x80..0x9F; 0 where the code page has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

}  // namespace

size_t WideLength(const WCHAR* s, size_t capacity) {
  if (s == nullptr) return 0;
  size_t n = 0;
  while (n < capacity && s[n] != 0) ++n;
  return n;
}

std::u16string_view WideField(const WCHAR* field, size_t capacity) {
  return std::u16string_view(field, WideLength(field, capacity));
}

void CopyWideField(WCHAR* field, size_t capacity, std::u16string_view text) {
  if (capacity == 0) return;
  size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.data(), n, field);
  std::fill(field + n, field + capacity, u'\0');
}

bool WideFieldTerminated(const WCHAR* field, size_t capacity) {
  return WideLength(field, capacity) < capacity;
}

// Ill-formed input becomes U+FFFD, one for each maximal part of a sequence that could still have
// been valid: overlong forms, surrogates, values past U+10FFFF and cut sequences never decode to a
// character, so a filter on the bytes sees what the wide string holds.
std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i++]);
    if (b < 0x80) {
      out.push_back(b);
      continue;
    }
    size_t more = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the byte after the lead
    if (b >= 0xC2 && b <= 0xDF) {
      more = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      more = 2;
      cp = b & 0x0F;
      if (b == 0xE0) low = 0xA0;   // overlong below U+0800
      if (b == 0xED) high = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      more = 3;
      cp = b & 0x07;
      if (b == 0xF0) low = 0x90;   // overlong below U+10000
      if (b == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      out.push_back(u'\uFFFD');  // C0, C1, F5..FF, or a stray continuation byte
      continue;
    }
    bool whole = true;
    for (size_t k = 0; k < more; ++k, low = 0x80, high = 0xBF) {
      if (i >= text.size()) {
        whole = false;
        break;
      }
      auto c = static_cast<unsigned char>(text[i]);
      if (c < low || c > high) {
        whole = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
      ++i;
    }
    if (whole) {
      AppendUtf16(out, cp);
    } else {
      out.push_back(u'\uFFFD');
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] != 0 && kCp1252High[k] == c) mapped = static_cast<char>(0x80 + k);
    }
    out.push_back(mapped);
  }
  return out;
}

std::u16string AnsiToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char ch : text) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0) {
      out.push_back(kCp1252High[b - 0x80] != 0 ? kCp1252High[b - 0x80] : u'?');
    } else {
      out.push_back(b);
    }
  }
  return out;
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace platform
