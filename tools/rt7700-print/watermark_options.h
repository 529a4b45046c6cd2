// The watermark of a job: a built-in or saved one by name, or a one-off text or image, given as
// watermark-* settings, and the devmode fields it fills.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include <functional>
#include <map>
#include <string_view>

#include "devmode/stored_devmode.h"
#include "input_error.h"

namespace rt7700print {

struct WatermarkOptions {
  // At most one of these three: the watermark by name, a one-off text, or a bitmap's absolute path.
  std::optional<std::string> name;
  std::optional<std::string> text;
  std::optional<std::string> image;
  std::optional<std::string> font;
  std::optional<int> size, angle, darkness, frame, scale, position;
  std::optional<std::pair<int, int>> at;  // free position, percent across and down
  std::optional<bool> bold, italic, repeat, firstPageOnly;
  // Where each was given, for messages about settings that do not go together.
  std::map<std::string, InputError> given;
};

// Whether a (lower-case) setting name is one of the watermark's.
bool IsWatermarkOption(const std::string& name);

std::optional<InputError> ApplyWatermarkOption(WatermarkOptions& options, const std::string& name,
                                               const std::string& value, const std::string& where,
                                               const std::string& field);

struct WatermarkChoice {
  std::optional<devmode::WatermarkRecord> record;  // nothing: the devmode keeps its default
  bool firstPageOnly = false;
};

// A watermark the user saved, by name; nothing when there is none of that name.
using SavedLookup = std::function<std::optional<devmode::WatermarkRecord>(const std::u16string& name)>;
// The one in the printing preferences' settings file (saved_watermarks.cpp).
std::optional<devmode::WatermarkRecord> SavedWatermark(const std::u16string& name);
// Names compare without regard to the case of ASCII letters.
bool SameWatermarkName(std::u16string_view a, std::u16string_view b);

// The record the options describe: a name is looked up among the saved watermarks first, then
// among the built-in ones; the other settings change it.
std::variant<WatermarkChoice, InputError> ResolveWatermark(const WatermarkOptions& options, const SavedLookup& saved);

void ApplyWatermark(const WatermarkChoice& choice, devmode::StoredDevmode* stored);

// The watermark settings, for --help.
std::string WatermarkHelp();

}  // namespace rt7700print
