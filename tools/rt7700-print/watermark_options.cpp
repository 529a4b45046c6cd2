#include "watermark_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "devmode/builtin_watermarks.h"
#include "devmode/caller_merge.h"
#include "platform/utf16.h"

namespace rt7700print {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNames[] = {"watermark",          "watermark-text",     "watermark-font",
                                  "watermark-size",     "watermark-angle",    "watermark-position",
                                  "watermark-darkness", "watermark-bold",     "watermark-italic",
                                  "watermark-frame",    "watermark-repeat",   "watermark-image",
                                  "watermark-scale",    "watermark-first-page-only"};
// Settings that shape a text and mean nothing to a bitmap, and the other way round.
constexpr const char* kTextOnly[] = {"watermark-font", "watermark-size", "watermark-angle", "watermark-darkness",
                                     "watermark-bold", "watermark-italic", "watermark-frame"};

constexpr int kTemplateIndex = 3;  // the built-in record a new watermark starts from
constexpr size_t kTextChars = 64, kFaceChars = 31, kPathChars = 259, kNameChars = 32;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::optional<int> Whole(const std::string& text, int lo, int hi) {
  int v = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data() + (!text.empty() && text[0] == '+' ? 1 : 0), end, v);
  if (ec != std::errc() || p != end || text.empty() || v < lo || v > hi) return std::nullopt;
  return v;
}

std::optional<bool> Boolean(const std::string& text) {
  const std::string v = Lower(text);
  if (v == "true" || v == "yes" || v == "on") return true;
  if (v == "false" || v == "no" || v == "off") return false;
  return std::nullopt;
}

// UTF-16 of a text the user typed, when it fits and has no control characters.
std::optional<std::u16string> Wide(const std::string& text, size_t maxChars) {
  if (text.empty()) return std::nullopt;
  std::u16string wide = platform::Utf8ToUtf16(text);
  if (wide.empty() || wide.size() > maxChars) return std::nullopt;
  if (std::any_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x20 || c == 0x7F || c == 0xFFFD; }))
    return std::nullopt;
  return wide;
}

}  // namespace

bool SameWatermarkName(std::u16string_view a, std::u16string_view b) {
  auto fold = [](char16_t c) { return c < 0x80 ? static_cast<char16_t>(std::tolower(c)) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
           return fold(x) == fold(y);
         });
}

namespace {

std::optional<devmode::WatermarkRecord> BuiltInByName(const std::u16string& name) {
  for (int i = 1; i < devmode::kBuiltInWatermarkCount; ++i) {
    devmode::WatermarkRecord r = devmode::BuiltInWatermark(i);
    if (!SameWatermarkName(platform::WideField(r.Name, std::size(r.Name)), name)) continue;
    r.WatermarkIndex = static_cast<uint16_t>(i);
    return r;
  }
  return std::nullopt;
}

devmode::WatermarkRecord NewWatermark(uint16_t kind, std::u16string_view name) {
  devmode::WatermarkRecord r = devmode::BuiltInWatermark(kTemplateIndex);
  r.WatermarkIndex = kTemplateIndex;
  r.WatermarkKind = kind;
  platform::CopyWideField(r.Name, std::size(r.Name), name.substr(0, kNameChars));
  if (kind == 2) {
    r.Scale = 100;
    r.Reserved802 = 0;
  }
  return r;
}

}  // namespace

bool IsWatermarkOption(const std::string& name) {
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

std::optional<InputError> ApplyWatermarkOption(WatermarkOptions& o, const std::string& name, const std::string& value,
                                               const std::string& where, const std::string& field) {
  auto bad = [&](const std::string& expected) {
    return InputError{where, field, expected + ", got \"" + value + "\""};
  };
  auto number = [&](std::optional<int>& target, int lo, int hi, const std::string& unit) -> std::optional<InputError> {
    target = Whole(value, lo, hi);
    if (!target) return bad("expected " + unit + " from " + std::to_string(lo) + " to " + std::to_string(hi));
    return std::nullopt;
  };
  auto flag = [&](std::optional<bool>& target) -> std::optional<InputError> {
    target = Boolean(value);
    if (!target) return bad("expected true or false");
    return std::nullopt;
  };
  std::optional<InputError> error;
  // The watermark itself is chosen once: a later choice (the command line's) replaces an earlier one.
  auto choose = [&](std::optional<std::string>& source, std::string v) {
    for (const char* other : {"watermark", "watermark-text", "watermark-image"}) o.given.erase(other);
    o.name.reset();
    o.text.reset();
    o.image.reset();
    source = std::move(v);
  };
  if (name == "watermark") {
    if (!Wide(value, kNameChars)) return bad("expected the name of a watermark (at most 32 characters)");
    choose(o.name, value);
  } else if (name == "watermark-text") {
    if (!Wide(value, kTextChars)) return bad("expected a text of 1 to 64 characters");
    choose(o.text, value);
  } else if (name == "watermark-font") {
    if (!Wide(value, kFaceChars)) return bad("expected a font name of 1 to 31 characters");
    o.font = value;
  } else if (name == "watermark-size") {
    error = number(o.size, 6, 600, "points");
  } else if (name == "watermark-angle") {
    error = number(o.angle, -90, 90, "degrees");
  } else if (name == "watermark-darkness") {
    error = number(o.darkness, 0, 4, "a level");
  } else if (name == "watermark-scale") {
    error = number(o.scale, 2, 1000, "percent");
  } else if (name == "watermark-position") {
    const size_t comma = value.find(',');
    if (comma == std::string::npos) {
      error = number(o.position, 1, 9, "a cell");
      if (error) return bad("expected a cell from 1 (top left) to 9 (bottom right) or X,Y in percent (0 to 100)");
      o.at.reset();
    } else {
      auto x = Whole(value.substr(0, comma), 0, 100), y = Whole(value.substr(comma + 1), 0, 100);
      if (!x || !y) return bad("expected a cell from 1 (top left) to 9 (bottom right) or X,Y in percent (0 to 100)");
      o.at = std::pair{*x, *y};
      o.position.reset();
    }
  } else if (name == "watermark-bold") {
    error = flag(o.bold);
  } else if (name == "watermark-italic") {
    error = flag(o.italic);
  } else if (name == "watermark-repeat") {
    error = flag(o.repeat);
  } else if (name == "watermark-first-page-only") {
    error = flag(o.firstPageOnly);
  } else if (name == "watermark-frame") {
    const std::string v = Lower(value);
    if (v == "none") o.frame = 0;
    else if (v == "ellipse") o.frame = 1;
    else if (v == "rectangle") o.frame = 2;
    else return bad("expected none, ellipse or rectangle");
  } else if (name == "watermark-image") {
    std::error_code ec;
    // A job file names its bitmap beside itself.
    const fs::path base = where == "command line" ? fs::path() : fs::path(where).parent_path();
    const fs::path path = fs::absolute(base / value, ec);
    if (value.empty() || ec || !fs::is_regular_file(path, ec))
      return bad("expected a BMP file that exists");
    if (!Wide(path.string(), kPathChars)) return bad("expected a BMP file whose full path has at most 259 characters");
    choose(o.image, path.string());
  }
  if (error) return error;
  o.given[name] = InputError{where, field, ""};
  return std::nullopt;
}

std::variant<WatermarkChoice, InputError> ResolveWatermark(const WatermarkOptions& o, const SavedLookup& saved) {
  WatermarkChoice choice;
  choice.firstPageOnly = o.firstPageOnly.value_or(false);
  if (!o.name && !o.text && !o.image) {
    for (const auto& [name, where] : o.given)
      if (name != "watermark-first-page-only")
        return InputError{where.where, where.field, "expected watermark, watermark-text or watermark-image too"};
    return choice;
  }

  devmode::WatermarkRecord r{};
  if (o.name) {
    const std::u16string name = platform::Utf8ToUtf16(*o.name);
    if (SameWatermarkName(name, u"none")) {
      r = devmode::BuiltInWatermark(0);
    } else if (auto mine = saved ? saved(name) : std::nullopt) {
      r = *mine;
    } else if (auto builtIn = BuiltInByName(name)) {
      r = *builtIn;
    } else {
      const InputError& at = o.given.at("watermark");
      return InputError{at.where, at.field,
                        "expected none, Confidential, Watermark or a watermark saved in the printing preferences, "
                        "got \"" + *o.name + "\""};
    }
  } else if (o.text) {
    const std::u16string text = platform::Utf8ToUtf16(*o.text);
    r = NewWatermark(1, text);
    platform::CopyWideField(r.Text, std::size(r.Text), text);
  } else {
    r = NewWatermark(2, platform::Utf8ToUtf16(fs::path(*o.image).filename().string()).substr(0, kNameChars));
    platform::CopyWideField(r.ImagePath, std::size(r.ImagePath), platform::Utf8ToUtf16(*o.image));
  }
  const bool image = r.WatermarkKind == 2;
  for (const char* option : kTextOnly)
    if (image && o.given.count(option))
      return InputError{o.given.at(option).where, o.given.at(option).field, "applies to text watermarks only"};
  if (!image && r.WatermarkKind == 1 && o.given.count("watermark-scale"))
    return InputError{o.given.at("watermark-scale").where, o.given.at("watermark-scale").field,
                      "applies to image watermarks only"};
  if (image && o.at)
    return InputError{o.given.at("watermark-position").where, o.given.at("watermark-position").field,
                      "expected a cell from 1 to 9 for an image watermark"};

  if (o.font) platform::CopyWideField(r.Typeface, std::size(r.Typeface), platform::Utf8ToUtf16(*o.font));
  if (o.size) r.Size = static_cast<uint16_t>(*o.size);
  if (o.angle) r.Angle = static_cast<int16_t>(*o.angle);
  if (o.darkness) r.GreyLevel = static_cast<uint16_t>(*o.darkness);
  if (o.bold) r.Bold = *o.bold ? 1 : 0;
  if (o.italic) r.Italic = *o.italic ? 1 : 0;
  if (o.frame) r.Frame = static_cast<uint16_t>(*o.frame);
  if (o.repeat) r.Repeat = *o.repeat ? 1 : 0;
  if (o.scale) r.Scale = static_cast<uint16_t>(*o.scale);
  if (o.position) r.Position = static_cast<uint16_t>(*o.position);
  if (o.at) {
    r.Position = 10;
    r.HorizontalPosition = static_cast<int16_t>(o.at->first);
    r.VerticalPosition = static_cast<int16_t>(o.at->second);
  }
  devmode::ValidateWatermarkRecord(&r);
  choice.record = r;
  return choice;
}

void ApplyWatermark(const WatermarkChoice& choice, devmode::StoredDevmode* stored) {
  if (choice.record) stored->priv.WatermarkData = *choice.record;
  stored->priv.FirstPageOnly = choice.firstPageOnly ? 1 : 0;
}

std::string WatermarkHelp() {
  return "\nWatermark settings (drawn over every page, or the first page only):\n"
         "  watermark=NAME         none, Confidential, Watermark, or one saved in the printing\n"
         "                          preferences; the settings below change it\n"
         "  watermark-text=TEXT    a text watermark of up to 64 characters (quote spaces:\n"
         "                          -o 'watermark-text=\"Do not copy\"')\n"
         "  watermark-font=FACE    its font (default Arial)\n"
         "  watermark-size=POINTS  6 to 600 (default 72)\n"
         "  watermark-angle=DEG    -90 to 90, counter-clockwise (default 0)\n"
         "  watermark-bold=BOOL, watermark-italic=BOOL\n"
         "  watermark-frame=       none, ellipse, rectangle\n"
         "  watermark-darkness=N   0 (lightest) to 4 (darkest); default 1\n"
         "  watermark-image=FILE   a BMP file instead of a text\n"
         "  watermark-scale=PCT    the image's size, 2 to 1000 percent of 96 pixels an inch\n"
         "  watermark-position=    1 to 9, the cells of a 3 x 3 grid from the top left (5 centre),\n"
         "                          or X,Y for a text: moved from the centre, in percent across and\n"
         "                          down (0 to 100; 50,50 is the centre)\n"
         "  watermark-repeat=BOOL  tile the page with it\n"
         "  watermark-first-page-only=BOOL\n";
}

}  // namespace rt7700print
