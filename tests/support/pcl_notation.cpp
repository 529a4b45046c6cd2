#include "support/pcl_notation.h"

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

namespace testsupport {

std::string Pcl(std::string_view n) {
  std::string out;
  for (size_t i = 0; i < n.size(); ++i) {
    if (n[i] != '\\' || i + 1 == n.size()) {
      out += n[i];
      continue;
    }
    switch (n[++i]) {
      case 'e': out += '\x1b'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 'f': out += '\f'; break;
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      default: throw std::invalid_argument("unknown escape in printer notation: " + std::string(n));
    }
  }
  return out;
}

std::string PclF(const char* notation, ...) {
  char buffer[8192];
  va_list ap;
  va_start(ap, notation);
  std::vsnprintf(buffer, sizeof buffer, notation, ap);
  va_end(ap);
  return Pcl(buffer);
}

std::string AsString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace testsupport
