#include "job_file.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace rt7700print {
namespace {

using nlohmann::json;

// A setting's value as text: strings as they are, numbers and booleans written out.
std::optional<std::string> SettingText(const json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
  if (v.is_number_unsigned()) return std::to_string(v.get<unsigned long long>());
  if (v.is_number_integer()) return std::to_string(v.get<long long>());
  return std::nullopt;
}

}  // namespace

std::variant<JobFile, InputError> ReadJobFile(const std::string& path, JobSettings& settings) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return InputError{path, "(file)", "expected a readable job file"};
  std::stringstream text;
  text << in.rdbuf();
  json doc = json::parse(text.str(), nullptr, false);
  if (doc.is_discarded()) return InputError{path, "(file)", "expected JSON text (the file does not parse)"};
  if (!doc.is_object()) return InputError{path, "(file)", "expected a JSON object with \"document\", \"settings\", \"pages\""};

  JobFile job;
  bool sawPages = false;
  for (const auto& [key, value] : doc.items()) {
    if (key == "document") {
      if (!value.is_string()) return InputError{path, "document", "expected a string"};
      job.document = value.get<std::string>();
    } else if (key == "settings") {
      if (!value.is_object()) return InputError{path, "settings", "expected an object of setting names and values"};
      for (const auto& [name, setting] : value.items()) {
        std::string field = "settings." + name;
        auto v = SettingText(setting);
        if (!v) return InputError{path, field, "expected a string, a whole number or true/false"};
        if (auto error = ApplySetting(settings, name, *v, path, field)) return *error;
      }
    } else if (key == "pages") {
      sawPages = true;
      if (value.is_number_integer() || value.is_number_unsigned()) {
        long long n = value.is_number_unsigned() ? static_cast<long long>(std::min<unsigned long long>(
                                                       value.get<unsigned long long>(), kMaxPages + 1))
                                                 : value.get<long long>();
        if (n < 0 || n > kMaxPages)
          return InputError{path, "pages", "expected a page count from 0 to " + std::to_string(kMaxPages)};
        job.pages = n;
      } else if (value.is_array()) {
        if (value.size() > static_cast<size_t>(kMaxPages))
          return InputError{path, "pages", "expected at most " + std::to_string(kMaxPages) + " pages"};
        for (size_t i = 0; i < value.size(); ++i) {
          if (!value[i].is_object() || !value[i].empty())
            return InputError{path, "pages[" + std::to_string(i) + "]",
                              "expected an empty page object {} (pages carry no content yet)"};
        }
        job.pages = static_cast<long long>(value.size());
      } else {
        return InputError{path, "pages", "expected a page count or a list of pages"};
      }
    } else {
      return InputError{path, key, "expected only \"document\", \"settings\" and \"pages\""};
    }
  }
  if (!sawPages) return InputError{path, "pages", "expected a page count or a list of pages (the field is missing)"};
  return job;
}

}  // namespace rt7700print
