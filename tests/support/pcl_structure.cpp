// Structure checks over a printer stream: the language switches, PCL escape sequences with their
// data blocks, and the HP-GL/2 instructions whose order the printer relies on.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "support/pcl_notation.h"
#include "support/raster_pictures.h"

namespace testsupport {
namespace {

class Checker {
 public:
  Checker(std::string_view s, const StreamLimits& limits) : s_(s), limits_(limits), hpgl_(limits.startsInHpgl) {}

  std::vector<std::string> Run() {
    while (i_ < s_.size()) {
      if (s_[i_] == 0x1b) {
        Escape();
      } else if (hpgl_) {
        Instruction();
      } else {
        ++i_;  // PCL text, PJL lines, form feeds
      }
    }
    if (polygonOpen_) Problem("polygon mode left open at the end of the stream");
    if (rasterOpen_) Problem("raster picture left open at the end of the stream");
    return problems_;
  }

 private:
  void Problem(const std::string& what) {
    char where[32];
    std::snprintf(where, sizeof where, " (byte %zu)", start_);
    problems_.push_back(what + where);
  }

  // A signed number at i_, or `fallback` when none is there.
  long Number(long fallback) {
    size_t j = i_;
    if (j < s_.size() && (s_[j] == '-' || s_[j] == '+')) ++j;
    if (j >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[j]))) return fallback;
    long v = std::strtol(std::string(s_.substr(i_, 12)).c_str(), nullptr, 10);
    i_ = j;
    while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.')) ++i_;
    return v;
  }

  void Escape() {
    start_ = i_++;
    if (i_ >= s_.size()) return Problem("escape at the end of the stream");
    const char c = s_[i_];
    if (c >= '0' && c <= '~' && !(c == '%' || c == '&' || c == '*' || c == '(' || c == ')')) {
      ++i_;  // two-character sequence: \eE resets the printer, patterns included
      if (c == 'E') downloaded_.clear();
      return;
    }
    if (c == '%') {
      ++i_;
      const long v = Number(0);
      if (i_ >= s_.size()) return Problem("unterminated language switch");
      const char t = s_[i_++];
      if (t == 'B') {
        if (rasterOpen_) Problem("HP-GL/2 entered inside a raster picture");
        hpgl_ = true;
      } else if (t == 'A' || t == 'X') {
        if (polygonOpen_) Problem("PCL entered while polygon mode is open");
        hpgl_ = false;
      } else {
        Problem(std::string("unknown language switch terminator ") + t);
      }
      (void)v;
      return;
    }
    // Parameterised: group character, then value + parameter character, lower case continuing.
    const char family = s_[i_++];
    if (i_ >= s_.size()) return Problem("unterminated escape sequence");
    // Font selections such as "\e(8U" have no group character.
    const bool grouped = std::islower(static_cast<unsigned char>(s_[i_])) != 0;
    const char group = grouped ? s_[i_++] : 0;
    long patternId = -1;
    for (;;) {
      const long v = Number(0);
      if (i_ >= s_.size()) return Problem("unterminated escape sequence");
      const char p = s_[i_++];
      if (p == 'W') {
        const size_t data = static_cast<size_t>(v < 0 ? 0 : v);
        if (family == '*' && group == 'c') PatternData(patternId, data);
        if (s_.size() - i_ < data) return Problem("data block runs past the end of the stream");
        if (family == '*' && group == 'b') RasterRow(data);
        i_ += data;
        return;
      }
      const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(p)));
      if (family == '*' && group == 'r') Raster(lower, p, v);
      if (family == '*' && group == 'b' && lower == 'm') rasterMethod_ = static_cast<int>(v);
      if (family == '*' && group == 'c' && lower == 'g') {
        if (p == 'G' && downloaded_.count(v) == 0) Problem("pattern " + std::to_string(v) + " selected before its download");
        patternId = v;
      }
      if (!std::isalpha(static_cast<unsigned char>(p))) return Problem(std::string("bad parameter character ") + p);
      if (std::isupper(static_cast<unsigned char>(p))) return;
    }
  }

  bool twoByteLabels_ = false;  // "LM1": label codes are byte pairs

  void PatternData(long id, size_t length) {
    if (id < 0) return Problem("pattern data without an identifier");
    if (length < 12 || s_.size() - i_ < 12) return Problem("pattern shorter than its header");
    const auto* h = reinterpret_cast<const unsigned char*>(s_.data() + i_);
    const size_t height = static_cast<size_t>(h[4] << 8 | h[5]), width = static_cast<size_t>(h[6] << 8 | h[7]);
    if (h[0] != 20 || h[2] != 1) Problem("pattern header is not a one-bit resolution-specified pattern");
    if (length != 12 + height * ((width + 7) / 8)) Problem("pattern length disagrees with its header");
    downloaded_.insert(id);
  }

  // "\e*r%ds%dt1A" starts a picture of that many dots, "\e*rC" (or B) ends one.
  void Raster(char lower, char p, long v) {
    if (lower == 's') rasterWidth_ = v;
    if (p == 'A') {
      if (rasterOpen_) Problem("raster picture started inside another");
      rasterOpen_ = true;
      rasterMethod_ = 0;
      // Rows as the driver pads them: whole 32-bit words; without a width, anything goes.
      const size_t room = rasterWidth_ >= 0 ? static_cast<size_t>((rasterWidth_ + 31) / 32 * 4) : 65536;
      rasterSeed_.assign(room, 0);
      rasterWidth_ = -1;
    }
    if (p == 'C' || p == 'B') rasterOpen_ = false;
  }

  void RasterRow(size_t length) {
    if (!rasterOpen_) return Problem("raster row outside a raster picture");
    const std::string fault = DecodeRasterRow(rasterMethod_, s_.substr(i_, length), rasterSeed_);
    if (!fault.empty()) Problem("raster row: " + fault);
  }

  void Instruction() {
    start_ = i_;
    const char c = s_[i_];
    if (c == ';' || std::isspace(static_cast<unsigned char>(c)) || c == '\f') {
      ++i_;
      return;
    }
    if (!(std::isupper(static_cast<unsigned char>(c)) && i_ + 1 < s_.size() &&
          std::isupper(static_cast<unsigned char>(s_[i_ + 1])))) {
      ++i_;
      return Problem(std::string("stray byte in HP-GL/2: ") + std::to_string(static_cast<unsigned char>(c)));
    }
    const std::string name(s_.substr(i_, 2));
    i_ += 2;
    if (name == "PE") {  // encoded bytes up to the mandatory terminator
      const size_t end = s_.find(';', i_);
      if (end == std::string_view::npos) return Problem("PE without its terminator");
      i_ = end + 1;
      return;
    }
    if (name == "LB") {  // label text up to its terminator: ETX, or 0x00 0x03 in two-byte mode
      if (twoByteLabels_) {
        for (; i_ + 1 < s_.size(); i_ += 2) {
          if (s_[i_] == '\0' && s_[i_ + 1] == '\x03') {
            i_ += 2;
            return;
          }
        }
      } else {
        const size_t end = s_.find('\x03', i_);
        if (end != std::string_view::npos) {
          i_ = end + 1;
          return;
        }
      }
      i_ = s_.size();
      return Problem("LB without its terminator");
    }
    std::vector<long> args;
    for (;;) {
      const size_t before = i_;
      const long v = Number(0);
      if (i_ != before) args.push_back(v);
      if (i_ < s_.size() && s_[i_] == ',') {
        ++i_;
        continue;
      }
      break;
    }
    if (name == "LM") twoByteLabels_ = !args.empty() && args[0] == 1;
    Check(name, args);
  }

  void Check(const std::string& name, const std::vector<long>& args) {
    if (name == "PM") {
      const long mode = args.empty() ? 0 : args[0];
      if (mode == 0) {
        if (polygonOpen_) Problem("PM0 while polygon mode is open");
        polygonOpen_ = true;
        polygonClosed_ = false;
      } else if (mode == 1) {
        if (!polygonOpen_) Problem("PM1 outside polygon mode");
      } else if (mode == 2) {
        if (!polygonOpen_) Problem("PM2 outside polygon mode");
        polygonOpen_ = false;
        polygonClosed_ = true;
      }
    } else if (name == "FP" || name == "EP") {
      if (polygonOpen_ || !polygonClosed_) Problem(name + " without a closed polygon");
    } else if (name == "IW") {
      if (args.empty() || limits_.width <= 0) return;
      if (args.size() != 4) return Problem("IW needs four corners");
      for (size_t k = 0; k < 4; ++k) {
        const long limit = k % 2 == 0 ? limits_.width : limits_.height;
        if (args[k] < 0 || args[k] > limit) Problem("IW corner outside the page: " + std::to_string(args[k]));
      }
    } else if (name == "FT" || name == "SV") {
      if (args.size() >= 2 && args[0] == 22 && downloaded_.count(args[1]) == 0)
        Problem(name + "22 selects pattern " + std::to_string(args[1]) + " before its download");
    }
  }

  std::string_view s_;
  StreamLimits limits_;
  size_t i_ = 0;
  size_t start_ = 0;
  bool hpgl_;
  bool polygonOpen_ = false;
  bool polygonClosed_ = false;
  std::set<long> downloaded_;
  bool rasterOpen_ = false;
  long rasterWidth_ = -1;
  int rasterMethod_ = 0;
  std::vector<uint8_t> rasterSeed_;
  std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> StructureProblems(std::string_view stream, const StreamLimits& limits) {
  return Checker(stream, limits).Run();
}

}  // namespace testsupport
