// A small tokenizer for failure messages: PCL escape sequences end at their upper-case letter,
// PJL lines at their line end, HP-GL/2 instructions at ";" or where the next mnemonic starts.
// The structure check reads parameterised escapes field by field, as a printer does, and raster
// rows and pictures are decoded as a printer decodes them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/pcl_notation.h"
#include "support/raster_pictures.h"

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

namespace {

constexpr std::string_view kExit = "\x1b%-12345X";

bool IsParameterised(unsigned char c) { return c >= 0x21 && c <= 0x2F; }
bool IsGroupOrParameter(unsigned char c) { return c >= 0x60 && c <= 0x7E; }
bool IsTermination(unsigned char c) { return c >= 0x40 && c <= 0x5E; }

struct Escape {
  size_t end = 0;         // first byte after the escape and any data it carries
  std::string fault;      // empty when the escape is sound
};

// The escape at `at` (an ESC byte), read the way a PCL parser reads it.
Escape ReadEscape(std::string_view s, size_t at) {
  Escape e;
  size_t i = at + 1;
  if (i >= s.size()) return {s.size(), "escape cut off at the end of the stream"};
  const auto parameterised = static_cast<unsigned char>(s[i]);
  if (!IsParameterised(parameterised)) return {i + 1, ""};  // two-character escape such as \eE
  ++i;
  if (i < s.size() && IsGroupOrParameter(static_cast<unsigned char>(s[i])) && parameterised != '%') ++i;
  const size_t head = i;  // the escape's own prefix ends here
  while (true) {
    const size_t valueStart = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
    const std::string value(s.substr(valueStart, i - valueStart));
    if (i >= s.size()) return {s.size(), "escape cut off at the end of the stream: " + Visible(s.substr(at))};
    const auto c = static_cast<unsigned char>(s[i]);
    ++i;
    if (IsGroupOrParameter(c)) continue;  // combined: another parameter of the same group follows
    if (IsTermination(c)) {
      const std::string prefix(s.substr(at + 1, head - at - 1));
      // Commands that carry bytes: every "W", raster plane data and transparent print data.
      if (c == 'W' || (c == 'V' && prefix == "*b") || (c == 'X' && prefix == "&p")) {
        const long count = std::strtol(value.c_str(), nullptr, 10);
        if (count < 0 || static_cast<size_t>(count) > s.size() - i)
          return {s.size(), "data of " + Visible(s.substr(at, i - at)) + " runs past the end"};
        i += static_cast<size_t>(count);
      }
      return {i, ""};
    }
    size_t shown = i;  // the rest of what the printer will take as this escape
    while (shown < s.size() && shown - at < 32 && !IsTermination(static_cast<unsigned char>(s[shown - 1]))) ++shown;
    std::string where = Visible(s.substr(at, shown - at));
    if (IsParameterised(c) && i - 1 > head)
      return {i - 1, "group change inside a combined escape: " + where};
    return {i - 1, "malformed escape: " + where};
  }
}

// The PJL lines from just after the opening exit sequence up to the language switch.
void CheckPjlHeader(std::string_view s, size_t from, std::vector<std::string>& faults) {
  size_t i = from;
  while (i < s.size()) {
    size_t end = s.find("\r\n", i);
    std::string_view line = s.substr(i, end == std::string_view::npos ? s.size() - i : end - i);
    if (line.substr(0, 4) != "@PJL") {
      faults.push_back("PJL header line without @PJL: " + Visible(line.substr(0, 40)));
      return;
    }
    size_t quotes = 0;
    bool control = false;
    for (unsigned char c : line) {
      quotes += c == '"' ? 1 : 0;
      control = control || c < 0x20 || c == 0x7F;
    }
    if (control) faults.push_back("control byte in a PJL line: " + Visible(line));
    if (quotes % 2 != 0) faults.push_back("quote left open in a PJL line: " + Visible(line));
    if (end == std::string_view::npos) {
      faults.push_back("PJL line without its line end: " + Visible(line));
      return;
    }
    i = end + 2;
    if (line.substr(0, 19) == "@PJL ENTER LANGUAGE") return;
  }
}

}  // namespace

std::vector<std::string> StructureFaults(std::string_view s) {
  std::vector<std::string> faults;
  std::vector<size_t> exits;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '\x1b') {
      ++i;
      continue;
    }
    Escape e = ReadEscape(s, i);
    if (!e.fault.empty()) faults.push_back(e.fault);
    if (s.substr(i, kExit.size()) == kExit) exits.push_back(i);
    i = std::max(e.end, i + 1);
  }
  if (!exits.empty()) {
    if (exits.size() != 2 || exits[0] != 0 || exits[1] != s.size() - kExit.size())
      faults.push_back("exit sequences at " + std::to_string(exits.size()) +
                       " places; a job has one at each end and no other");
    if (exits[0] == 0 && s.substr(kExit.size(), 4) == "@PJL") CheckPjlHeader(s, kExit.size(), faults);
  }
  return faults;
}

}  // namespace testsupport

// --- raster rows and pictures ---

namespace testsupport {
namespace {

// Sets `seed[at]`, or says why it cannot.
bool Put(std::vector<uint8_t>& seed, size_t at, uint8_t value, std::string& fault) {
  if (at >= seed.size()) {
    fault = "row data past the row's " + std::to_string(seed.size()) + " bytes";
    return false;
  }
  seed[at] = value;
  return true;
}

std::string RunLength(std::string_view d, std::vector<uint8_t>& seed) {
  std::fill(seed.begin(), seed.end(), 0);
  std::string fault;
  size_t i = 0, o = 0;
  while (i < d.size()) {
    const auto control = static_cast<int8_t>(d[i++]);
    if (control == -128) continue;  // no operation
    if (control >= 0) {
      const size_t n = static_cast<size_t>(control) + 1;
      if (d.size() - i < n) return "literal of " + std::to_string(n) + " bytes cut short";
      for (size_t k = 0; k < n; ++k)
        if (!Put(seed, o++, static_cast<uint8_t>(d[i + k]), fault)) return fault;
      i += n;
    } else {
      if (i >= d.size()) return "repeat without its byte";
      const size_t n = static_cast<size_t>(1 - control);
      for (size_t k = 0; k < n; ++k)
        if (!Put(seed, o++, static_cast<uint8_t>(d[i]), fault)) return fault;
      ++i;
    }
  }
  return {};
}

std::string DeltaRow(std::string_view d, std::vector<uint8_t>& seed) {
  std::string fault;
  size_t i = 0, o = 0;
  while (i < d.size()) {
    const auto control = static_cast<uint8_t>(d[i++]);
    const size_t count = (control >> 5) + 1u;
    size_t offset = control & 31u;
    if (offset == 31) {
      uint8_t more;
      do {
        if (i >= d.size()) return "offset bytes cut short";
        more = static_cast<uint8_t>(d[i++]);
        offset += more;
      } while (more == 255);
    }
    o += offset;
    if (d.size() - i < count) return "replacement bytes cut short";
    for (size_t k = 0; k < count; ++k)
      if (!Put(seed, o++, static_cast<uint8_t>(d[i + k]), fault)) return fault;
    i += count;
  }
  return {};
}

}  // namespace

std::string DecodeRasterRow(int method, std::string_view data, std::vector<uint8_t>& seed) {
  switch (method) {
    case 0: {
      std::fill(seed.begin(), seed.end(), 0);
      std::string fault;
      for (size_t k = 0; k < data.size(); ++k)
        if (!Put(seed, k, static_cast<uint8_t>(data[k]), fault)) return fault;
      return {};
    }
    case 2: return RunLength(data, seed);
    case 3: return DeltaRow(data, seed);
    default: return "unknown compression method " + std::to_string(method);
  }
}

long RasterPage::BlackCount() const { return static_cast<long>(std::count(dots.begin(), dots.end(), 1)); }

RasterPage DrawRasterPictures(std::string_view s, long width, long height) {
  RasterPage page;
  page.width = width;
  page.height = height;
  page.dots.assign(static_cast<size_t>(width * height), 0);
  long cursorX = 0, cursorY = 0, pictureWidth = 0, pictureHeight = 0;
  int method = 0;
  bool open = false;
  std::vector<uint8_t> seed;
  RasterPicture* picture = nullptr;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '\x1b') {
      ++i;
      continue;
    }
    ++i;
    if (i >= s.size()) break;
    const char family = s[i++];
    if (family < 0x21 || family > 0x2F) continue;  // two-character escape
    char group = 0;
    if (i < s.size() && std::islower(static_cast<unsigned char>(s[i]))) group = s[i++];
    while (i < s.size()) {
      const size_t start = i;
      if (s[i] == '-' || s[i] == '+') ++i;
      while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
      const long v = std::strtol(std::string(s.substr(start, i - start)).c_str(), nullptr, 10);
      if (i >= s.size()) break;
      const char p = s[i++];
      const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(p)));
      if (family == '*' && group == 'p' && lower == 'x') cursorX = v;
      if (family == '*' && group == 'p' && lower == 'y') cursorY = v;
      if (family == '*' && group == 'r' && lower == 's') pictureWidth = v;
      if (family == '*' && group == 'r' && lower == 't') pictureHeight = v;
      if (family == '*' && group == 'r' && p == 'A') {
        open = true;
        method = 0;
        seed.assign(static_cast<size_t>((std::max(pictureWidth, 0L) + 7) / 8 + 3) / 4 * 4, 0);
        page.pictures.push_back(RasterPicture{cursorX, cursorY, pictureWidth, pictureHeight, {}});
        picture = &page.pictures.back();
      }
      if (family == '*' && group == 'r' && (p == 'C' || p == 'B')) open = false;
      if (family == '*' && group == 'b' && lower == 'm') method = static_cast<int>(v);
      if (p == 'W') {
        const size_t n = std::min(static_cast<size_t>(std::max(v, 0L)), s.size() - i);
        if (family == '*' && group == 'b' && open && picture != nullptr) {
          const long row = static_cast<long>(picture->methods.size());
          picture->methods.push_back(method);
          std::string fault = DecodeRasterRow(method, s.substr(i, n), seed);
          if (!fault.empty()) page.faults.push_back("row " + std::to_string(row) + ": " + fault);
          for (long x = 0; x < picture->width; ++x) {
            if (!((seed[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1)) continue;
            const long px = picture->x + x, py = picture->y + row;
            if (px < 0 || py < 0 || px >= width || py >= height) {
              page.faults.push_back("dot off the page at " + std::to_string(px) + "," + std::to_string(py));
              continue;
            }
            page.dots[static_cast<size_t>(py * width + px)] = 1;
          }
        }
        i += n;
        break;
      }
      if (std::isupper(static_cast<unsigned char>(p)) || !std::isalpha(static_cast<unsigned char>(p))) break;
    }
  }
  return page;
}

}  // namespace testsupport
