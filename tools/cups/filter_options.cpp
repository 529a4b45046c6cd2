#include "filter_options.h"

#include <cups/cups.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "ppd_options.h"

namespace rt7700cups {
namespace {

// Job options rt7700-print takes under the same name that have no PPD option.
constexpr const char* kPassedThrough[] = {"orientation-requested", "page-ranges", "fit-to-page",
                                          "print-quality", "feed-orientation"};

class JobOptions {
 public:
  explicit JobOptions(const std::string& text) { count_ = cupsParseOptions(text.c_str(), 0, &options_); }
  ~JobOptions() { cupsFreeOptions(count_, options_); }
  JobOptions(const JobOptions&) = delete;
  JobOptions& operator=(const JobOptions&) = delete;

  // By the exact name: cupsGetOption ignores case, and a PPD choice such as Collate=True is not
  // the IPP option collate.
  const char* Get(const char* name) const {
    for (int i = 0; i < count_; ++i) {
      if (std::strcmp(options_[i].name, name) == 0) return options_[i].value;
    }
    return nullptr;
  }
  int count() const { return count_; }
  cups_option_t* options() const { return options_; }

 private:
  int count_ = 0;
  cups_option_t* options_ = nullptr;
};

std::string PointsText(float points) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(points));
  return text;
}

// The parts of a comma-separated list, empty ones left out.
std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> parts;
  for (size_t start = 0; start <= list.size();) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) parts.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return parts;
}

// The paper the marked page size names, as rt7700-print's media value. Empty when `media` names
// no size (only a tray or a media type), and, with `error` set, when it names one the printer
// does not have.
std::string MarkedMedia(ppd_file_t* ppd, const std::string& media, std::string* error) {
  ppd_choice_t* choice = ppdFindMarkedChoice(ppd, "PageSize");
  if (choice == nullptr) choice = ppdFindMarkedChoice(ppd, "PageRegion");
  if (choice == nullptr) return {};
  if (strcasecmp(choice->choice, "Custom") == 0) {
    ppd_coption_t* custom = ppdFindCustomOption(ppd, "PageSize");
    ppd_cparam_t* width = custom != nullptr ? ppdFindCustomParam(custom, "Width") : nullptr;
    ppd_cparam_t* height = custom != nullptr ? ppdFindCustomParam(custom, "Height") : nullptr;
    if (width == nullptr || height == nullptr) {
      *error = "the PPD has no custom page size";
      return {};
    }
    return "Custom." + PointsText(width->current.custom_points) + "x" +
           PointsText(height->current.custom_points);
  }
  // cupsMarkOptions leaves the default marked when no paper matches a size the job names.
  bool namesSize = false;
  for (const std::string& part : Split(media)) {
    if (ppdPageSize(ppd, part.c_str()) != nullptr) {
      namesSize = true;
      continue;
    }
    pwg_media_t* size = pwgMediaForPWG(part.c_str());
    if (size == nullptr) size = pwgMediaForLegacy(part.c_str());
    if (size == nullptr) size = pwgMediaForPPD(part.c_str());
    if (size == nullptr) continue;  // a tray or a media type
    namesSize = true;
    ppd_size_t* marked = ppdPageSize(ppd, nullptr);
    auto near = [](float points, int hundredthsMm) {
      return std::abs(points * 2540.0f / 72.0f - hundredthsMm) <= 100;
    };
    if (marked == nullptr || !near(marked->width, size->width) || !near(marked->length, size->length)) {
      *error = "media: the printer has no paper " + part;
      return {};
    }
  }
  if (!namesSize) return {};
  const PaperKeyword* paper = PaperByKeyword(choice->choice);
  if (paper == nullptr) {
    *error = std::string("media: the page size ") + choice->choice + " is not one of the printer's";
    return {};
  }
  return MediaValue(paper->paper);
}

}  // namespace

std::variant<std::vector<Setting>, std::string> TranslateJob(const std::string& copiesText,
                                                             const std::string& text, ppd_file_t* ppd) {
  std::vector<Setting> out;
  if (copiesText.empty() || copiesText.size() > 3 ||
      copiesText.find_first_not_of("0123456789") != std::string::npos || std::stoi(copiesText) < 1)
    return "copies: expected a whole number from 1 to 999, got \"" + copiesText + "\"";
  out.emplace_back("copies", copiesText);

  JobOptions job(text);
  if (ppd != nullptr) {
    ppdMarkDefaults(ppd);
    cupsMarkOptions(ppd, job.count(), job.options());
  }
  // A size the job asked for; without one each page gets the paper that fits it.
  if (job.Get("media") != nullptr || job.Get("PageSize") != nullptr || job.Get("PageRegion") != nullptr) {
    if (ppd != nullptr) {
      std::string error;
      const char* asked = job.Get("media");
      if (asked == nullptr) asked = job.Get("PageSize");
      if (asked == nullptr) asked = job.Get("PageRegion");
      std::string media = MarkedMedia(ppd, asked, &error);
      if (!error.empty()) return error;
      if (!media.empty()) out.emplace_back("media", media);
    } else if (job.Get("media") != nullptr) {
      out.emplace_back("media", job.Get("media"));
    }
  }
  // Each setting from, first, the PPD choice the job names; then the job's IPP option; then the
  // queue's default choice. The scheduler adds number-up=1 to every job, so that one IPP value
  // would otherwise hide the queue's default PagesPerSheet.
  for (const Option& o : Options()) {
    const char* value = ppd != nullptr && job.Get(o.keyword) != nullptr ? nullptr : job.Get(o.setting);
    if (value != nullptr && std::strcmp(o.setting, "number-up") == 0 && std::strcmp(value, "1") == 0)
      value = nullptr;
    const bool namedChoice = ppd != nullptr && job.Get(o.keyword) != nullptr;
    if (value == nullptr && !namedChoice && std::strcmp(o.setting, "output-order") == 0)
      value = job.Get("outputorder");
    if (value == nullptr && !namedChoice && std::strcmp(o.setting, "collate") == 0) {
      if (const char* handling = job.Get("multiple-document-handling")) {
        if (std::strcmp(handling, "separate-documents-collated-copies") == 0) value = "true";
        if (std::strcmp(handling, "separate-documents-uncollated-copies") == 0) value = "false";
      }
    }
    if (value != nullptr) {
      out.emplace_back(o.setting, value);
      continue;
    }
    ppd_choice_t* marked = ppd != nullptr ? ppdFindMarkedChoice(ppd, o.keyword) : nullptr;
    if (marked == nullptr) continue;
    for (const Choice& c : o.choices) {
      if (strcasecmp(c.keyword, marked->choice) == 0 && c.value != nullptr)
        out.emplace_back(o.setting, c.value);
    }
  }
  for (const char* name : kPassedThrough) {
    if (const char* value = job.Get(name)) out.emplace_back(name, value);
  }
  // lp -o landscape
  if (const char* landscape = job.Get("landscape");
      landscape != nullptr && job.Get("orientation-requested") == nullptr &&
      strcasecmp(landscape, "false") != 0 && strcasecmp(landscape, "no") != 0)
    out.emplace_back("orientation-requested", "landscape");
  // A one-off watermark, by rt7700-print's own names.
  for (int i = 0; i < job.count(); ++i) {
    if (std::strncmp(job.options()[i].name, "watermark-", 10) == 0)
      out.emplace_back(job.options()[i].name, job.options()[i].value);
  }
  for (const auto& [name, value] : out) {
    // rt7700-print splits -o on spaces.
    if (value.find_first_of(" \t\r\n") != std::string::npos || value.empty())
      return name + ": expected a value without spaces, got \"" + value + "\"";
  }
  return out;
}

}  // namespace rt7700cups

// libcups 2.4 does not free the names of the two-sided choices its PPD cache keeps
// (_ppdCacheCreateWithPPD) when the PPD is closed; the leak sanitizer is told so, here where the
// cache gets made.
extern "C" const char* __lsan_default_suppressions() { return "leak:_ppdCacheCreateWithPPD\n"; }
