// The printer's options as the PPD offers them and the rt7700-print settings they become. The PPD
// generator and the filter both read these tables, so the file and the filter cannot disagree.
#pragma once

#include <span>
#include <string>

namespace rt7700cups {

struct Choice {
  const char* keyword;  // the PPD choice
  const char* text;     // what a print dialog shows
  const char* value;    // the rt7700-print setting value; nullptr leaves the setting unset
};

struct Option {
  const char* keyword;  // the PPD main keyword
  const char* text;
  const char* setting;  // the rt7700-print (IPP/CUPS) setting name
  const char* defaultChoice;
  std::span<const Choice> choices;
};

// Every PPD option but the page size, in the order the PPD lists them.
std::span<const Option> Options();
const Option* OptionByKeyword(const char* keyword);

// A table paper under its PPD name.
struct PaperKeyword {
  int paper;            // the devmode paper number
  const char* keyword;  // PageSize choice
  const char* text;
};
// Every paper of the driver's paper table, in the table's order.
std::span<const PaperKeyword> PaperKeywords();
const PaperKeyword* PaperByKeyword(const std::string& keyword);

// The rt7700-print media value of a table paper: its own name, lower case, '-' for spaces.
std::string MediaValue(int paper);

// Custom sizes the printer feeds, in tenths of a millimetre.
constexpr int kCustomWidthMin = 900, kCustomWidthMax = 2160;
constexpr int kCustomLengthMin = 1200, kCustomLengthMax = 3560;

}  // namespace rt7700cups
