// The print settings of a job under their IPP/CUPS names, and the stored devmode they become.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devmode/stored_devmode.h"
#include "input_error.h"
#include "watermark_options.h"

namespace rt7700print {

// Where a setting came from, for messages: "job.json: settings.copies" or "-o copies=0".
struct Origin {
  std::string text;
};


struct JobSettings {
  int copies = 1;
  bool collate = false;
  SHORT duplex = DMDUP_SIMPLEX;
  bool reverse = false;
  int numberUp = 1;
  std::optional<int> layout;  // NupOrder: 0 lrtb, 1 tblr, 2 rltb, 3 tbrl
  bool border = false;
  SHORT orientation = DMORIENT_PORTRAIT;
  std::optional<SHORT> paper;  // the locale's default paper when unset
  // A custom paper (paper number 288) as width and length in tenths of a millimetre.
  std::optional<std::pair<SHORT, SHORT>> customSize;
  SHORT source = DMBIN_AUTO;
  DWORD mediaType = DMMEDIA_STANDARD;
  SHORT quality = 600;
  int zoom = 100;
  bool rotate180 = false;
  int density = 1;  // Thickness 0..2
  bool poster = false;
  bool longEdgeFirst = false;  // FeedOrient 2
  bool tonerSaving = false;
  WatermarkOptions watermark;

  // Where each setting was last given, for messages about settings that do not go together.
  std::map<std::string, InputError> origins;
};

// One setting by its name and value; `where` and `field` name it in a message. Returns the error
// when the name is unknown or the value is not one the printer can print.
std::optional<InputError> ApplySetting(JobSettings& settings, const std::string& name, const std::string& value,
                                       const std::string& where, const std::string& field);

// Settings that cannot be printed together (checked once all of them are known).
std::optional<InputError> CheckCombination(const JobSettings& settings);

// The devmode the interface library would store for these settings.
void BuildStoredDevmode(const JobSettings& settings, const std::u16string& deviceName,
                        devmode::StoredDevmode* out);

// The sheets of paper a job of `pages` pages takes with these settings.
long long SheetCount(const JobSettings& settings, long long pages);

// The setting names and their values, for --help.
std::string SettingsHelp();

}  // namespace rt7700print
