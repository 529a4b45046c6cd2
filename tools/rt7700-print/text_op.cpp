#include "text_op.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "win/error.h"

namespace rt7700print {
namespace {

using nlohmann::json;

constexpr double kMaxSize = 1000;   // the em height, in points or the page's unit
constexpr double kMaxSpacing = 1000;

// Strict UTF-8 to UTF-16: no overlong forms, surrogates or values past U+10FFFF.
std::optional<std::u16string> Utf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + extra > s.size() - 1) return std::nullopt;
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (t & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += 1 + extra;
  }
  return out;
}

std::string Quoted(const std::string& s) { return "\"" + s.substr(0, 40) + (s.size() > 40 ? "...\"" : "\""); }

class TextReader {
 public:
  TextReader(const json& op, PageDrawing& page) : op_(op), page_(page) {}
  std::optional<OpProblem> problem;

  bool Fail(std::string field, std::string expected) {
    if (!problem) problem = OpProblem{std::move(field), std::move(expected)};
    return false;
  }
  const json* Field(const char* name) const {
    auto it = op_.find(name);
    return it == op_.end() ? nullptr : &*it;
  }

  bool Number(const json& v, const std::string& field, double lo, double hi, const char* what, double* out) {
    if (!v.is_number() || !(v.get<double>() >= lo && v.get<double>() <= hi)) return Fail(field, std::string("expected ") + what);
    *out = v.get<double>();
    return true;
  }
  bool Flag(const char* field, bool* out) {
    const json* v = Field(field);
    if (v == nullptr) return true;
    if (!v->is_boolean()) return Fail(field, "expected true or false");
    *out = v->get<bool>();
    return true;
  }

  // "#rrggbb", "black" or "white".
  bool ColourName(const json& v, const std::string& field, COLORREF* out) {
    const std::string expected = "expected \"#rrggbb\", \"black\" or \"white\"";
    if (!v.is_string()) return Fail(field, expected);
    const std::string& s = v.get_ref<const std::string&>();
    if (s == "black" || s == "white") {
      *out = s == "black" ? RGB(0, 0, 0) : RGB(255, 255, 255);
      return true;
    }
    if (s.size() != 7 || s[0] != '#' || s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
      return Fail(field, expected + ", got " + Quoted(s));
    unsigned long rgb = std::stoul(s.substr(1), nullptr, 16);
    *out = RGB(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
    return true;
  }
  bool Gray(const json& v, const std::string& field, COLORREF* out) {
    double g;
    if (!Number(v, field, 0, 100, "a number from 0 to 100", &g)) return false;
    auto level = static_cast<BYTE>(std::lround(255 * (100 - g) / 100));
    *out = RGB(level, level, level);
    return true;
  }

  bool Read(DrawOp& d) {
    TextSpec t;
    const json* text = Field("text");
    if (text == nullptr) return Fail("text", "expected the text, a string (the field is missing)");
    std::optional<std::u16string> units = text->is_string() ? Utf16(text->get<std::string>()) : std::nullopt;
    const std::string length = "expected a string of 1 to " + std::to_string(kMaxTextLength) + " UTF-16 units";
    if (!text->is_string()) return Fail("text", length);
    if (!units) return Fail("text", "expected UTF-8 text");
    if (units->empty() || units->size() > kMaxTextLength) return Fail("text", length);
    t.text = std::move(*units);

    const json* at = Field("at");
    const std::string where = "expected the text's reference point [x, y], numbers from -10000 to 10000";
    if (at == nullptr) return Fail("at", where + " (the field is missing)");
    if (!at->is_array() || at->size() != 2 || !(*at)[0].is_number() || !(*at)[1].is_number()) return Fail("at", where);
    double x = (*at)[0].get<double>(), y = (*at)[1].get<double>();
    if (!(std::abs(x) <= kMaxCoordinate && std::abs(y) <= kMaxCoordinate)) return Fail("at", where);
    page_.points.push_back({static_cast<LONG>(std::lround(x * kLogicalPerUnit)), static_cast<LONG>(std::lround(y * kLogicalPerUnit))});

    if (const json* v = Field("face")) {
      auto face = v->is_string() ? Utf16(v->get<std::string>()) : std::nullopt;
      if (!face || face->empty() || face->size() >= static_cast<size_t>(LF_FACESIZE) ||
          face->find(u'\0') != std::u16string::npos)
        return Fail("face", "expected a face name of 1 to " + std::to_string(LF_FACESIZE - 1) + " characters");
      t.face = std::move(*face);
    }
    if (const json* v = Field("size")) {
      // A number is in the page's unit; "10pt" is in points whatever the page's unit.
      const std::string expected = "expected an em height above 0 and at most 1000, in the page's unit or as \"10pt\"";
      if (v->is_number()) {
        t.sizeInPoints = false;
        t.size = v->get<double>();
      } else if (v->is_string()) {
        const std::string& s = v->get_ref<const std::string&>();
        char* end = nullptr;
        errno = 0;
        double size = s.size() > 2 && s.compare(s.size() - 2, 2, "pt") == 0 ? std::strtod(s.c_str(), &end) : 0;
        if (end != s.c_str() + s.size() - 2 || errno != 0 || s.find_first_of(" \t\n") != std::string::npos)
          return Fail("size", expected + ", got " + Quoted(s));
        t.size = size;
      } else {
        return Fail("size", expected);
      }
      if (!(t.size > 0 && t.size <= kMaxSize)) return Fail("size", expected);
    }
    if (const json* v = Field("weight")) {
      if (v->is_string() && (v->get<std::string>() == "bold" || v->get<std::string>() == "normal")) {
        t.weight = v->get<std::string>() == "bold" ? FW_BOLD : FW_NORMAL;
      } else if (!v->is_number_integer() || v->get<long long>() < 100 || v->get<long long>() > 900 ||
                 v->get<long long>() % 100 != 0) {
        return Fail("weight", "expected 100, 200, ... 900, \"normal\" or \"bold\"");
      } else {
        t.weight = static_cast<LONG>(v->get<long long>());
      }
    }
    if (!Flag("italic", &t.italic) || !Flag("underline", &t.underline) || !Flag("strike-out", &t.strikeOut))
      return false;
    if (const json* v = Field("angle")) {
      double degrees;
      if (!Number(*v, "angle", -360, 360, "an angle in degrees from -360 to 360", &degrees)) return false;
      t.angle = std::lround(degrees * 10);
    }
    const json* color = Field("color");
    const json* gray = Field("gray");
    if (color != nullptr && gray != nullptr) return Fail("gray", "expected a color or a gray, not both");
    if (color != nullptr && !ColourName(*color, "color", &t.color)) return false;
    if (gray != nullptr && !Gray(*gray, "gray", &t.color)) return false;
    if (const json* v = Field("background")) {
      // "none", a colour name, or {"gray": percent}.
      COLORREF c;
      if (v->is_string() && v->get<std::string>() == "none") {
      } else if (v->is_object()) {
        if (v->size() != 1 || !v->contains("gray"))
          return Fail("background", "expected \"none\", \"#rrggbb\", \"black\", \"white\" or {\"gray\": percent}");
        if (!Gray(v->at("gray"), "background.gray", &c)) return false;
        t.background = c;
      } else {
        if (!v->is_string())
          return Fail("background", "expected \"none\", \"#rrggbb\", \"black\", \"white\" or {\"gray\": percent}");
        if (!ColourName(*v, "background", &c)) return false;
        t.background = c;
      }
    }
    if (const json* v = Field("align") ; v != nullptr && !Align(*v, &t.align)) return false;
    if (const json* v = Field("spacing"); v != nullptr && !Spacing(*v, t)) return false;
    if (const json* v = Field("font-file"); v != nullptr && !FontFile(*v, &t.fontFile)) return false;

    d.text = static_cast<int32_t>(page_.texts.size());
    page_.texts.push_back(std::move(t));
    return true;
  }

  // One or two words: left, center or right, and top, baseline or bottom.
  bool Align(const json& v, UINT* out) {
    const std::string expected =
        "expected left, center or right and top, baseline or bottom, e.g. \"center baseline\"";
    if (!v.is_string()) return Fail("align", expected);
    const std::string& s = v.get_ref<const std::string&>();
    std::optional<UINT> horizontal, vertical;
    size_t words = 0;
    for (size_t i = 0; i <= s.size() && words <= 2;) {
      size_t end = std::min(s.find(' ', i), s.size());
      std::string w = s.substr(i, end - i);
      i = end + 1;
      if (w.empty()) continue;
      ++words;
      auto& slot = w == "left" || w == "center" || w == "right" ? horizontal : vertical;
      UINT value = w == "left" ? TA_LEFT : w == "center" ? TA_CENTER : w == "right" ? TA_RIGHT
                 : w == "top" ? TA_TOP : w == "baseline" ? TA_BASELINE : w == "bottom" ? TA_BOTTOM : ~0u;
      if (value == ~0u || slot) return Fail("align", expected + ", got " + Quoted(s));
      slot = value;
    }
    if (words == 0 || words > 2) return Fail("align", expected + ", got " + Quoted(s));
    *out = horizontal.value_or(TA_LEFT) | vertical.value_or(TA_BASELINE);
    return true;
  }

  // One advance per character (a character past U+FFFF takes two UTF-16 units, the second advancing 0).
  bool Spacing(const json& v, TextSpec& t) {
    size_t characters = 0;
    for (char16_t u : t.text) characters += u < 0xDC00 || u > 0xDFFF;
    const std::string expected = "expected " + std::to_string(characters) +
                                 " advances (one per character), numbers from -1000 to 1000";
    if (!v.is_array() || v.size() != characters) return Fail("spacing", expected);
    size_t k = 0;
    for (char16_t u : t.text) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        t.spacing.push_back(0);
        continue;
      }
      double advance;
      if (!Number(v[k], "spacing[" + std::to_string(k) + "]", -kMaxSpacing, kMaxSpacing,
                  "a number from -1000 to 1000", &advance))
        return false;
      t.spacing.push_back(static_cast<INT>(std::lround(advance * kLogicalPerUnit)));
      ++k;
    }
    return true;
  }

  // Beside the job file; it must be there and readable now, so that a job is refused before it prints.
  bool FontFile(const json& v, std::string* out) {
    if (!v.is_string() || v.get<std::string>().empty() || !Utf16(v.get<std::string>()))
      return Fail("font-file", "expected the path of a font file, relative to the job file");
    std::filesystem::path path = v.get<std::string>();
    if (path.is_relative() && !page_.folder.empty()) path = std::filesystem::path(page_.folder) / path;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
      return Fail("font-file", "expected a font file, got the folder " + Quoted(path.string()));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
      return Fail("font-file", "expected a readable font file, " + Quoted(path.string()) + ": " + std::strerror(errno));
    std::fclose(f);
    *out = path.string();
    return true;
  }

 private:
  const json& op_;
  PageDrawing& page_;
};

// A face is brought once per run, however many pages and copies use it.
bool Bring(const std::string& path) {
  static std::mutex lock;
  static std::set<std::string> brought;
  std::lock_guard<std::mutex> hold(lock);
  if (brought.count(path) != 0) return true;
  auto name = Utf16(path);
  if (!name || AddFontResourceExW(reinterpret_cast<LPCWSTR>(name->c_str()), FR_PRIVATE, nullptr) == 0) return false;
  brought.insert(path);
  return true;
}

}  // namespace

std::optional<OpProblem> ReadTextOp(const json& op, PageDrawing& page, DrawOp& d) {
  TextReader reader(op, page);
  if (!reader.Read(d)) return reader.problem;
  return std::nullopt;
}

std::optional<std::string> DrawTextOp(HDC hdc, const TextSpec& t, POINT at, Unit unit) {
  if (!t.fontFile.empty() && !Bring(t.fontFile)) return "AddFontResourceExW of " + Quoted(t.fontFile);
  double height = t.size * kLogicalPerUnit;
  if (t.sizeInPoints && unit == Unit::Millimetre) height = height * 25.4 / 72;
  LOGFONTW lf{};
  lf.lfHeight = -std::max(1L, std::lround(height));  // negative: the em height, not the cell's
  lf.lfEscapement = lf.lfOrientation = t.angle;
  lf.lfWeight = t.weight;
  lf.lfItalic = t.italic;
  lf.lfUnderline = t.underline;
  lf.lfStrikeOut = t.strikeOut;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::copy(t.face.begin(), t.face.end(), lf.lfFaceName);
  HFONT font = CreateFontIndirectW(&lf);
  if (font == nullptr) return "CreateFontIndirectW";
  HGDIOBJ previousFont = SelectObject(hdc, font);
  if (previousFont == nullptr) {
    (void)DeleteObject(font);
    return "SelectObject of the font";
  }
  UINT previousAlign = SetTextAlign(hdc, t.align);
  COLORREF previousColor = SetTextColor(hdc, t.color);
  int previousMode = SetBkMode(hdc, t.background ? OPAQUE : TRANSPARENT);
  COLORREF previousBk = t.background ? SetBkColor(hdc, *t.background) : CLR_INVALID;
  std::optional<std::string> failed;
  if (previousAlign == GDI_ERROR || previousColor == CLR_INVALID || previousMode == 0 ||
      (t.background && previousBk == CLR_INVALID))
    failed = "setting the text's alignment and colours";
  else if (!ExtTextOutW(hdc, at.x, at.y, 0, nullptr, reinterpret_cast<LPCWSTR>(t.text.data()),
                        static_cast<UINT>(t.text.size()), t.spacing.empty() ? nullptr : t.spacing.data()))
    failed = "ExtTextOutW";
  if (previousBk != CLR_INVALID) (void)SetBkColor(hdc, previousBk);
  if (previousMode != 0) (void)SetBkMode(hdc, previousMode);
  if (previousColor != CLR_INVALID) (void)SetTextColor(hdc, previousColor);
  if (previousAlign != GDI_ERROR) (void)SetTextAlign(hdc, previousAlign);
  (void)SelectObject(hdc, previousFont);
  (void)DeleteObject(font);
  return failed;
}

}  // namespace rt7700print
