// Settings by their IPP/CUPS names and values, checked against what the printer can print, and
// written into the stored devmode the way the interface library lays it out.
#include "job_settings.h"

#include <algorithm>
#include <cctype>

#include "devmode/caller_merge.h"
#include "devmode/paper_tables.h"
#include "platform/utf16.h"

namespace rt7700print {
namespace {

// Papers by name: the printer's own (PJL) name in lower case with '-' for spaces, the PWG
// self-describing name where one exists, and a common alias.
struct PaperName {
  SHORT paper;
  const char* pwg;
  const char* alias;
};

constexpr PaperName kPaperNames[] = {
    {9, "iso_a4_210x297mm", nullptr},
    {1, "na_letter_8.5x11in", nullptr},
    {5, "na_legal_8.5x14in", nullptr},
    {7, "na_executive_7.25x10.5in", "executive"},
    {13, "jis_b5_182x257mm", nullptr},
    {70, "iso_a6_105x148mm", nullptr},
    {11, "iso_a5_148x210mm", nullptr},
    {20, "na_number-10_4.125x9.5in", "env10"},
    {27, "iso_dl_110x220mm", nullptr},
    {28, "iso_c5_162x229mm", nullptr},
    {31, "iso_c6_114x162mm", "c6"},
    {34, "iso_b5_176x250mm", nullptr},
    {37, "na_monarch_3.875x7.5in", nullptr},
    {43, "jpn_hagaki_100x148mm", "hagaki"},
    {6, "na_invoice_5.5x8.5in", nullptr},
    {14, "na_foolscap_8.5x13in", nullptr},
    {241, "iso_b6_125x176mm", nullptr},
    {242, nullptr, nullptr},
    {243, nullptr, nullptr},
    {245, nullptr, nullptr},
    {250, nullptr, nullptr},
    {246, nullptr, nullptr},
    {252, nullptr, nullptr},
    {276, "jpn_you4_105x235mm", nullptr},
    {277, "jpn_oufuku_148x200mm", nullptr},
    {278, nullptr, nullptr},
    {279, "jpn_chou3_120x235mm", nullptr},
    {280, nullptr, nullptr},
    {240, nullptr, nullptr},
};

struct Named {
  const char* name;
  int value;
};

constexpr Named kSides[] = {
    {"one-sided", DMDUP_SIMPLEX}, {"two-sided-long-edge", DMDUP_VERTICAL}, {"two-sided-short-edge", DMDUP_HORIZONTAL}};
constexpr Named kOrder[] = {{"normal", 0}, {"reverse", 1}};
// Cell orders the printer knows: across the rows or down the columns, from the left or the right.
constexpr Named kLayouts[] = {{"lrtb", 0}, {"tblr", 1}, {"rltb", 2}, {"tbrl", 3}};
constexpr Named kBorders[] = {{"none", 0}, {"single", 1}};
constexpr Named kOrientations[] = {
    {"portrait", DMORIENT_PORTRAIT}, {"landscape", DMORIENT_LANDSCAPE}, {"3", DMORIENT_PORTRAIT}, {"4", DMORIENT_LANDSCAPE}};
// Tray 1 is the multi-purpose tray the printer feeds by hand; tray 2 the main cassette.
constexpr Named kSources[] = {{"auto", DMBIN_AUTO},  {"manual", DMBIN_MANUAL}, {"by-pass-tray", DMBIN_MANUAL},
                              {"tray-1", DMBIN_MANUAL}, {"tray-2", DMBIN_UPPER}, {"main", DMBIN_UPPER},
                              {"tray-3", 257},          {"tray-4", 258}};
constexpr Named kMediaTypes[] = {{"stationery", 1},  {"plain", 1},         {"stationery-heavyweight", 257},
                                 {"tough", 257},     {"envelope", 258},    {"cardstock", 259},
                                 {"labels", 263},    {"transparency", 2},  {"stationery-lightweight", 264},
                                 {"tissue", 264}};
constexpr Named kQualities[] = {{"600", 600}, {"1200", 1200}, {"4", 600}, {"5", 1200}, {"normal", 600}, {"high", 1200}};
constexpr Named kResolutions[] = {{"600dpi", 600}, {"1200dpi", 1200}};
constexpr Named kDensities[] = {{"light", 0}, {"normal", 1}, {"dark", 2}};
constexpr Named kFeeds[] = {{"short-edge-first", 0}, {"long-edge-first", 1}};
constexpr Named kBooleans[] = {{"true", 1}, {"false", 0}, {"yes", 1}, {"no", 0}, {"on", 1}, {"off", 0}};
constexpr int kNumberUp[] = {1, 2, 4, 6, 8, 9, 16};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

template <size_t N>
std::optional<int> Lookup(const Named (&table)[N], const std::string& value) {
  std::string v = Lower(value);
  for (const auto& e : table) {
    if (v == e.name) return e.value;
  }
  return std::nullopt;
}

template <size_t N>
std::string Choices(const Named (&table)[N]) {
  std::string out;
  for (const auto& e : table) {
    if (!out.empty()) out += ", ";
    out += e.name;
  }
  return out;
}

std::optional<int> WholeNumber(const std::string& value, int low, int high) {
  if (value.empty() || value.size() > 6 || value.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  int v = std::stoi(value);
  if (v < low || v > high) return std::nullopt;
  return v;
}

// The printer's own name of a paper as a setting value ("JIS B5" becomes "jis-b5").
std::string OwnName(SHORT paper) {
  if (paper >= devmode::kFirstCustomPaper) return "custom";
  const char* pjl = devmode::LookupPaper(paper).pjlName;
  std::string s = Lower(pjl != nullptr ? pjl : "");
  std::replace(s.begin(), s.end(), ' ', '-');
  return s;
}

std::optional<SHORT> PaperByName(const std::string& value) {
  std::string v = Lower(value);
  for (const auto& p : kPaperNames) {
    if (v == OwnName(p.paper) || (p.pwg != nullptr && v == p.pwg) || (p.alias != nullptr && v == p.alias))
      return p.paper;
  }
  return std::nullopt;
}

// The custom sizes the printer feeds: 90 to 216 mm wide, 120 to 356 mm long.
constexpr int kCustomWidthMin = 900, kCustomWidthMax = 2160;
constexpr int kCustomLengthMin = 1200, kCustomLengthMax = 3560;

// A positive decimal number of at most 4 digits before and 3 after the point, in thousandths.
std::optional<long> Thousandths(const std::string& text) {
  size_t point = text.find('.');
  std::string whole = text.substr(0, point), part = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() || whole.size() > 4 || part.size() > 3 || (point != std::string::npos && part.empty()) ||
      whole.find_first_not_of("0123456789") != std::string::npos ||
      part.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  while (part.size() < 3) part.push_back('0');
  return std::stol(whole) * 1000 + std::stol(part);
}

// "custom_WxHmm" / "custom_WxHin" (PWG) and "Custom.WxH" (CUPS; points unless it ends in mm, cm or
// in): the size in tenths of a millimetre, or nothing when the text names no size.
std::optional<std::pair<int, int>> CustomSizeByName(const std::string& value) {
  std::string v = Lower(value);
  std::string size, unit;
  if (v.rfind("custom_", 0) == 0) {
    size = v.substr(7);
    // A PWG custom name may carry a label before the size: custom_label_WxHmm.
    if (size_t us = size.rfind('_'); us != std::string::npos) size = size.substr(us + 1);
  } else if (v.rfind("custom.", 0) == 0) {
    size = v.substr(7);
  } else {
    return std::nullopt;
  }
  for (const char* u : {"mm", "cm", "in"}) {
    if (size.size() > 2 && size.compare(size.size() - 2, 2, u) == 0) {
      unit = u;
      size.resize(size.size() - 2);
    }
  }
  if (unit.empty() && v.rfind("custom_", 0) == 0) return std::nullopt;  // PWG names always say their unit
  size_t x = size.find('x');
  if (x == std::string::npos) return std::nullopt;
  auto w = Thousandths(size.substr(0, x)), h = Thousandths(size.substr(x + 1));
  if (!w || !h) return std::nullopt;
  // Tenths of a millimetre per thousandth of the unit.
  const double scale = unit == "mm" ? 0.01 : unit == "cm" ? 0.1 : unit == "in" ? 0.254 : 254.0 / 72000.0;
  return std::pair<int, int>{static_cast<int>(*w * scale + 0.5), static_cast<int>(*h * scale + 0.5)};
}

std::string PaperChoices() {
  std::string out;
  for (const auto& p : kPaperNames) {
    if (!out.empty()) out += ", ";
    out += OwnName(p.paper);
  }
  return out;
}

std::string Quoted(const std::string& value) { return "\"" + value + "\""; }

}  // namespace

std::optional<InputError> ApplySetting(JobSettings& s, const std::string& rawName, const std::string& value,
                                       const std::string& where, const std::string& field) {
  std::string name = Lower(rawName);
  if (name == "outputorder") name = "output-order";  // CUPS's own spelling
  if (IsWatermarkOption(name)) return ApplyWatermarkOption(s.watermark, name, value, where, field);
  auto bad = [&](const std::string& expected) {
    return InputError{where, field, expected + ", got " + Quoted(value)};
  };
  auto boolean = [&](bool& target) -> std::optional<InputError> {
    auto v = Lookup(kBooleans, value);
    if (!v) return bad("expected true or false");
    target = *v != 0;
    return std::nullopt;
  };
  std::optional<InputError> error;
  if (name == "copies") {
    auto v = WholeNumber(value, 1, 999);
    if (!v) return bad("expected a whole number from 1 to 999");
    s.copies = *v;
  } else if (name == "collate") {
    error = boolean(s.collate);
  } else if (name == "sides") {
    auto v = Lookup(kSides, value);
    if (!v) return bad("expected " + Choices(kSides));
    s.duplex = static_cast<SHORT>(*v);
  } else if (name == "output-order") {
    auto v = Lookup(kOrder, value);
    if (!v) return bad("expected normal or reverse");
    s.reverse = *v != 0;
  } else if (name == "number-up") {
    auto v = WholeNumber(value, 1, 16);
    if (!v || std::find(std::begin(kNumberUp), std::end(kNumberUp), *v) == std::end(kNumberUp))
      return bad("expected 1, 2, 4, 6, 8, 9 or 16");
    s.numberUp = *v;
  } else if (name == "number-up-layout") {
    auto v = Lookup(kLayouts, value);
    if (!v) return bad("expected " + Choices(kLayouts));
    s.layout = *v;
  } else if (name == "page-border") {
    auto v = Lookup(kBorders, value);
    if (!v) return bad("expected none or single");
    s.border = *v != 0;
  } else if (name == "orientation-requested") {
    auto v = Lookup(kOrientations, value);
    if (!v) return bad("expected portrait or landscape (3 or 4)");
    s.orientation = static_cast<SHORT>(*v);
  } else if (name == "media") {
    if (auto custom = CustomSizeByName(value)) {
      auto [w, h] = *custom;
      if (w < kCustomWidthMin || w > kCustomWidthMax || h < kCustomLengthMin || h > kCustomLengthMax)
        return bad("expected a custom size from 90 x 120 mm to 216 x 356 mm");
      s.paper = static_cast<SHORT>(devmode::kFirstCustomPaper);
      s.customSize = std::pair<SHORT, SHORT>{static_cast<SHORT>(w), static_cast<SHORT>(h)};
    } else {
      auto v = PaperByName(value);
      if (!v) return bad("expected a paper the printer knows: " + PaperChoices() + ", or custom_WxHmm");
      s.paper = *v;
      s.customSize.reset();
    }
  } else if (name == "media-source") {
    auto v = Lookup(kSources, value);
    if (!v) return bad("expected " + Choices(kSources));
    s.source = static_cast<SHORT>(*v);
  } else if (name == "media-type") {
    auto v = Lookup(kMediaTypes, value);
    if (!v) return bad("expected " + Choices(kMediaTypes));
    s.mediaType = static_cast<DWORD>(*v);
  } else if (name == "print-quality") {
    auto v = Lookup(kQualities, value);
    if (!v) return bad("expected 600 or 1200 (normal or high)");
    s.quality = static_cast<SHORT>(*v);
  } else if (name == "printer-resolution") {
    auto v = Lookup(kResolutions, value);
    if (!v) return bad("expected 600dpi or 1200dpi");
    s.quality = static_cast<SHORT>(*v);
  } else if (name == "zoom") {
    auto v = WholeNumber(value, 25, 400);
    if (!v) return bad("expected a percentage from 25 to 400");
    s.zoom = *v;
  } else if (name == "rotate-180") {
    error = boolean(s.rotate180);
  } else if (name == "density") {
    auto v = Lookup(kDensities, value);
    if (!v) return bad("expected light, normal or dark");
    s.density = *v;
  } else if (name == "poster") {
    error = boolean(s.poster);
  } else if (name == "toner-saving") {
    error = boolean(s.tonerSaving);
  } else if (name == "feed-orientation") {
    auto v = Lookup(kFeeds, value);
    if (!v) return bad("expected short-edge-first or long-edge-first");
    s.longEdgeFirst = *v != 0;
  } else {
    return InputError{where, field, "expected a setting name (see rt7700-print --help), got " + Quoted(rawName)};
  }
  if (error) return error;
  s.origins[name] = InputError{where, field, ""};
  return std::nullopt;
}

std::optional<InputError> CheckCombination(const JobSettings& s) {
  auto at = [&](const char* name, std::string expected) {
    InputError e = s.origins.at(name);
    e.expected = std::move(expected);
    return e;
  };
  if (s.poster && s.numberUp > 1) {
    return at(s.origins.count("number-up") != 0 ? "number-up" : "poster",
              "poster printing takes one page per sheet; expected number-up=1 with poster=true");
  }
  if (s.duplex != DMDUP_SIMPLEX && s.paper && !devmode::TwoSidedPaper(*s.paper)) {
    return at("sides", "two-sided printing needs a4, letter, legal, folio or oficio paper; media is " +
                           OwnName(*s.paper));
  }
  return std::nullopt;
}

void BuildStoredDevmode(const JobSettings& s, const std::u16string& deviceName, devmode::StoredDevmode* out) {
  devmode::InitStoredDevmode(out, deviceName.c_str(), u"Default Settings");
  DEVMODEW& pub = out->pub;
  devmode::StoredPrivate& priv = out->priv;
  pub.dmCopies = static_cast<SHORT>(s.copies);
  pub.dmCollate = s.collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
  pub.dmDuplex = s.duplex;
  pub.dmOrientation = s.orientation;
  if (s.paper) {
    const devmode::PageGeometry* g = devmode::PortraitGeometry(*s.paper);
    pub.dmPaperSize = *s.paper;
    if (g != nullptr) {
      pub.dmPaperWidth = static_cast<SHORT>(devmode::PixelsToTenthMm(g->width));
      pub.dmPaperLength = static_cast<SHORT>(devmode::PixelsToTenthMm(g->height));
    }
    const char* form = devmode::LookupPaper(*s.paper).pjlName;
    platform::CopyWideField(pub.dmFormName, CCHFORMNAME, platform::Widen(form != nullptr ? form : ""));
    if (s.customSize) {
      pub.dmPaperWidth = s.customSize->first;
      pub.dmPaperLength = s.customSize->second;
      platform::CopyWideField(pub.dmFormName, CCHFORMNAME, u"Custom");
    }
  }
  pub.dmDefaultSource = s.source;
  pub.dmMediaType = s.mediaType;
  pub.dmPrintQuality = s.quality;
  pub.dmYResolution = s.quality;

  priv.reverseOrder = s.reverse ? 1 : 0;
  int order = s.layout.value_or(0);
  if (s.poster) {
    priv.MultipleUp = 22;
    priv.PageOrder = 0;
  } else {
    priv.MultipleUp = static_cast<uint16_t>(s.numberUp);
    switch (s.numberUp) {
      case 2:
        // Two pages share one row, so across and down give the same sheet; the stored order
        // counts from the second cell order.
        priv.PageOrder = static_cast<uint16_t>(std::max(order - 1, 0));
        break;
      case 4:
      case 8:
      case 16: priv.PageOrder = static_cast<uint16_t>(order + 2); break;
      case 6:
      case 9: priv.PageOrder = static_cast<uint16_t>(order); break;
      default: priv.PageOrder = 0;
    }
  }
  priv.PageBorder = s.border ? 1 : 0;
  priv.Rotate180 = s.rotate180 ? 1 : 0;
  priv.Thickness = static_cast<uint16_t>(s.density);
  priv.zoomPercent = static_cast<uint16_t>(s.zoom);
  priv.FeedOrient = s.longEdgeFirst ? 2 : 1;
  priv.TonerSavingMode = s.tonerSaving ? 1 : 0;
}

long long SheetCount(const JobSettings& s, long long pages) {
  long long perSheet = s.poster ? 1 : s.numberUp;
  long long sides = (pages + perSheet - 1) / perSheet;
  long long sheets = s.duplex != DMDUP_SIMPLEX ? (sides + 1) / 2 : sides;
  return sheets * s.copies;
}

std::string SettingsHelp() {
  std::string papers = PaperChoices();
  std::string wrapped;
  size_t column = 0;
  for (size_t start = 0; start < papers.size();) {
    size_t end = papers.find(", ", start);
    std::string word = papers.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    if (column + word.size() > 64) {
      wrapped.pop_back();
      wrapped += "\n                          ";
      column = 0;
    }
    wrapped += word + (end == std::string::npos ? "" : " ");
    column += word.size() + 1;
    start = end == std::string::npos ? papers.size() : end + 2;
  }
  return "  copies=N               1 to 999 (also -n N)\n"
         "  collate=BOOL           true: whole copies one after another; false: each page N times\n"
         "  sides=                 one-sided, two-sided-long-edge, two-sided-short-edge\n"
         "  output-order=          normal, reverse (last page first; also outputorder=)\n"
         "  number-up=N            pages per sheet: 1, 2, 4, 6, 8, 9, 16\n"
         "  number-up-layout=      lrtb, tblr, rltb, tbrl\n"
         "  page-border=           none, single\n"
         "  orientation-requested= portrait, landscape (or 3, 4)\n"
         "  media=                 " + wrapped + "\n"
         "                          (or the PWG names, e.g. iso_a4_210x297mm, na_letter_8.5x11in)\n"
         "                          custom_WxHmm, custom_WxHin or Custom.WxH (points, or mm/cm/in):\n"
         "                          90 to 216 mm wide, 120 to 356 mm long\n"
         "  media-source=          auto, manual (tray-1, by-pass-tray), tray-2 (main), tray-3, tray-4\n"
         "  media-type=            stationery (plain), stationery-heavyweight (tough), envelope,\n"
         "                          cardstock, labels, transparency, stationery-lightweight (tissue)\n"
         "  print-quality=         600, 1200 (or normal, high; printer-resolution=600dpi|1200dpi)\n"
         "  zoom=PERCENT           25 to 400\n"
         "  rotate-180=BOOL        true, false\n"
         "  density=               light, normal, dark\n"
         "  poster=BOOL            true: poster layout, each page a tile, in groups of four\n"
         "                          (number-up must be 1)\n"
         "  feed-orientation=      short-edge-first, long-edge-first\n"
         "  toner-saving=BOOL      true, false\n"
         "  BOOL is true or false (yes/no, on/off). Two-sided printing needs a4, letter, legal,\n"
         "  folio or oficio paper.\n";
}

}  // namespace rt7700print
