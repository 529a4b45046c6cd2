// A small tokenizer for failure messages: PCL escape sequences end at their upper-case letter,
// PJL lines at their line end, HP-GL/2 instructions at ";" or where the next mnemonic starts.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "support/pcl_notation.h"

namespace testsupport {
namespace {

std::string Visible(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == 0x1b) out += "\\e";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\f') out += "\\f";
    else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else out += static_cast<char>(c);
  }
  return out;
}

}  // namespace

std::string Decode(std::string_view s) {
  std::string out;
  size_t i = 0;
  auto emit = [&](size_t from, size_t to) {
    out += Visible(s.substr(from, to - from));
    out += '\n';
  };
  while (i < s.size()) {
    size_t start = i;
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == 0x1b) {
      ++i;
      if (i < s.size() && std::isupper(static_cast<unsigned char>(s[i]))) {
        ++i;  // two-character sequence such as \eE
      } else {
        while (i < s.size() && !(s[i] >= '@' && s[i] <= '^' && i > start + 1)) ++i;
        if (i < s.size() && s[i] == 'W') {
          // A data block follows: the number before W counts its bytes; it gets a line of its own.
          size_t digits = i;
          while (digits > start + 2 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
          const size_t length = digits < i ? std::stoul(std::string(s.substr(digits, i - digits))) : 0;
          ++i;
          emit(start, i);
          start = i;
          i += std::min(length, s.size() - i);
          if (i == start) continue;
        } else if (i < s.size()) {
          ++i;
        }
      }
    } else if (c == '\f') {
      ++i;
    } else if (s.compare(i, 4, "@PJL") == 0) {
      size_t end = s.find("\r\n", i);
      i = end == std::string_view::npos ? s.size() : end + 2;
    } else {
      // HP-GL/2 or data: up to ";" or to the next two-letter mnemonic.
      ++i;
      while (i < s.size() && s[i] != 0x1b && s[i] != '\f' && s[i - 1] != ';' &&
             !(i + 1 < s.size() && std::isupper(static_cast<unsigned char>(s[i])) &&
               std::isupper(static_cast<unsigned char>(s[i + 1])) && !std::isupper(static_cast<unsigned char>(s[i - 1]))))
        ++i;
    }
    emit(start, i);
  }
  return out;
}

}  // namespace testsupport
