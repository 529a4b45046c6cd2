#include "ppd_options.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "devmode/paper_tables.h"

namespace rt7700cups {
namespace {

constexpr Choice kInputSlots[] = {{"Auto", "Automatic", "auto"},
                                  {"Tray1", "Tray 1 (multi-purpose)", "tray-1"},
                                  {"Tray2", "Tray 2", "tray-2"},
                                  {"Tray3", "Tray 3", "tray-3"},
                                  {"Tray4", "Tray 4", "tray-4"}};
constexpr Choice kMediaTypes[] = {{"Plain", "Plain", "stationery"},
                                  {"Thick", "Thick", "stationery-heavyweight"},
                                  {"Envelope", "Envelope", "envelope"},
                                  {"Cardstock", "Cardstock", "cardstock"},
                                  {"Labels", "Labels", "labels"},
                                  {"Transparency", "Transparency", "transparency"},
                                  {"Thin", "Thin", "stationery-lightweight"}};
constexpr Choice kDuplex[] = {{"None", "Off", "one-sided"},
                              {"DuplexNoTumble", "Long edge (standard)", "two-sided-long-edge"},
                              {"DuplexTumble", "Short edge (flip)", "two-sided-short-edge"}};
constexpr Choice kResolutions[] = {{"600dpi", "600 dpi", "600dpi"}, {"1200dpi", "1200 dpi", "1200dpi"}};
constexpr Choice kBooleans[] = {{"False", "Off", "false"}, {"True", "On", "true"}};
constexpr Choice kOutputOrder[] = {{"Normal", "Normal", "normal"}, {"Reverse", "Reverse", "reverse"}};
constexpr Choice kPagesPerSheet[] = {{"1", "1", "1"}, {"2", "2", "2"}, {"4", "4", "4"},   {"6", "6", "6"},
                                     {"8", "8", "8"}, {"9", "9", "9"}, {"16", "16", "16"}};
constexpr Choice kPageOrders[] = {{"LRTB", "Across, left to right", "lrtb"},
                                  {"TBLR", "Down, left to right", "tblr"},
                                  {"RLTB", "Across, right to left", "rltb"},
                                  {"TBRL", "Down, right to left", "tbrl"}};
constexpr Choice kBorders[] = {{"None", "None", "none"}, {"Single", "Thin line", "single"}};
constexpr Choice kZooms[] = {{"25", "25 %", "25"},    {"50", "50 %", "50"},    {"75", "75 %", "75"},
                             {"100", "100 %", "100"}, {"125", "125 %", "125"}, {"150", "150 %", "150"},
                             {"200", "200 %", "200"}, {"300", "300 %", "300"}, {"400", "400 %", "400"}};
constexpr Choice kDensities[] = {
    {"Light", "Light", "light"}, {"Normal", "Normal", "normal"}, {"Dark", "Dark", "dark"}};
// The built-in watermarks, by the names the settings store gives them.
constexpr Choice kWatermarks[] = {{"None", "None", nullptr},
                                  {"Confidential", "Confidential", "Confidential"},
                                  {"Watermark", "Watermark", "Watermark"}};

constexpr Option kOptions[] = {
    {"InputSlot", "Paper Source", "media-source", "Auto", kInputSlots},
    {"MediaType", "Media Type", "media-type", "Plain", kMediaTypes},
    {"Duplex", "Two-Sided", "sides", "None", kDuplex},
    {"Resolution", "Resolution", "printer-resolution", "600dpi", kResolutions},
    {"Collate", "Collate Copies", "collate", "False", kBooleans},
    {"OutputOrder", "Output Order", "output-order", "Normal", kOutputOrder},
    {"PagesPerSheet", "Pages per Sheet", "number-up", "1", kPagesPerSheet},
    {"LayoutOrder", "Page Order on the Sheet", "number-up-layout", "LRTB", kPageOrders},
    {"LayoutBorder", "Page Borders", "page-border", "None", kBorders},
    {"Poster", "Poster", "poster", "False", kBooleans},
    {"Zoom", "Zoom", "zoom", "100", kZooms},
    {"Density", "Density", "density", "Normal", kDensities},
    {"TonerSaving", "Toner Saving", "toner-saving", "False", kBooleans},
    {"Rotate180", "Rotate by 180 Degrees", "rotate-180", "False", kBooleans},
    {"Watermark", "Watermark", "watermark", "None", kWatermarks},
};

// The standard PPD names; two sizes the printer names twice keep its own names.
constexpr PaperKeyword kPapers[] = {
    {9, "A4", "A4"},
    {1, "Letter", "Letter"},
    {5, "Legal", "Legal"},
    {7, "Executive", "Executive"},
    {13, "B5", "JIS B5"},
    {70, "A6", "A6"},
    {11, "A5", "A5"},
    {20, "Env10", "Envelope #10"},
    {27, "EnvDL", "Envelope DL"},
    {28, "EnvC5", "Envelope C5"},
    {31, "EnvC6", "Envelope C6"},
    {34, "EnvISOB5", "Envelope B5"},
    {37, "98x190mm", "Envelope Monarch"},
    {43, "Postcard", "Postcard"},
    {6, "Statement", "Statement"},
    {14, "216x330mm", "Folio 8.5x13in"},
    {241, "ISOB6", "B6"},
    {242, "Env120x230mm", "Envelope ZL"},
    {243, "216x343mm", "Oficio"},
    {245, "185x260mm", "16K"},
    {250, "195x270mm", "Big 16K"},
    {246, "130x185mm", "32K"},
    {252, "135x195mm", "Big 32K"},
    {276, "EnvYou4", "Envelope You 4"},
    {277, "DoublePostcardRotated", "Double Postcard"},
    {278, "EnvYouNaga3", "Envelope You Naga 3"},
    {279, "EnvChou3", "Envelope Chou 3"},
    {280, "EnvYou2", "Envelope You 2"},
    {240, "210x1200mm", "Long Paper"},
};

}  // namespace

std::span<const Option> Options() {
  return kOptions;
}

const Option* OptionByKeyword(const char* keyword) {
  for (const auto& o : kOptions) {
    if (std::strcmp(o.keyword, keyword) == 0) return &o;
  }
  return nullptr;
}

std::span<const PaperKeyword> PaperKeywords() {
  return kPapers;
}

const PaperKeyword* PaperByKeyword(const std::string& keyword) {
  for (const auto& p : kPapers) {
    if (keyword == p.keyword) return &p;
  }
  return nullptr;
}

std::string MediaValue(int paper) {
  const char* name = devmode::LookupPaper(paper).pjlName;
  std::string s = name != nullptr ? name : "";
  for (char& c : s) c = c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace rt7700cups
