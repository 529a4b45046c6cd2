// The watermark of a job: a built-in or saved one by name, or a one-off text or image, given as
// watermark-* settings, and the devmode fields it fills.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include <map>

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

// The record the options describe: a name is looked up among the watermarks saved in the user's
// settings, then among the built-in ones; the other settings change it.
std::variant<WatermarkChoice, InputError> ResolveWatermark(const WatermarkOptions& options);

void ApplyWatermark(const WatermarkChoice& choice, devmode::StoredDevmode* stored);

// The watermark settings, for --help.
std::string WatermarkHelp();

}  // namespace rt7700print
