#include "job_file.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "input_file.h"

namespace rt7700print {
namespace {

using nlohmann::json;

constexpr char kFields[] = "expected only \"document\", \"settings\" and \"pages\"";
constexpr char kSettingValue[] = "expected a string, a whole number or true/false";
constexpr char kPagesValue[] = "expected a page count or a list of pages";

// Walks the parser's events without building a document: a list of a million pages costs a
// counter, not a million objects.
class JobReader : public nlohmann::json_sax<json> {
 public:
  JobReader(const std::string& name, JobSettings& settings) : name_(name), settings_(settings) {}

  std::optional<InputError> error;
  JobFile job;
  bool sawPages = false;

  bool null() override { return Scalar(std::nullopt, false); }
  bool boolean(bool v) override { return Scalar(std::string(v ? "true" : "false"), false); }
  bool number_integer(number_integer_t v) override {
    if (InTop("pages")) return Pages(v);
    return Scalar(std::to_string(v), false);
  }
  bool number_unsigned(number_unsigned_t v) override {
    if (InTop("pages")) return Pages(static_cast<long long>(std::min<number_unsigned_t>(v, kMaxPages + 1)));
    return Scalar(std::to_string(v), false);
  }
  bool number_float(number_float_t, const string_t&) override { return Scalar(std::nullopt, false); }
  bool string(string_t& v) override { return Scalar(v, true); }
  bool binary(binary_t&) override { return Scalar(std::nullopt, false); }

  bool start_object(std::size_t) override {
    switch (depth_++) {
      case 0: return true;
      case 1:
        if (key_ == "settings") return true;
        return Fail(key_, key_ == "pages" ? kPagesValue : key_ == "document" ? "expected a string" : kFields);
      case 2:
        if (key_ == "pages") {
          pageOpen_ = true;
          return true;
        }
        return Fail("settings." + setting_, kSettingValue);
      default: return true;  // only reached inside a page, which the key event refuses first
    }
  }
  bool end_object() override {
    if (--depth_ == 2 && key_ == "pages") {
      pageOpen_ = false;
      if (++job.pages > kMaxPages) return Fail("pages", "expected at most " + std::to_string(kMaxPages) + " pages");
    }
    return true;
  }
  bool start_array(std::size_t) override {
    switch (depth_++) {
      case 0: return Fail("(file)", "expected a JSON object with \"document\", \"settings\", \"pages\"");
      case 1:
        if (key_ == "pages") {
          sawPages = true;
          job.pages = 0;
          return true;
        }
        return Fail(key_, key_ == "settings" ? "expected an object of setting names and values"
                          : key_ == "document" ? "expected a string"
                                               : kFields);
      case 2:
        if (key_ == "pages") return BadPage();
        return Fail("settings." + setting_, kSettingValue);
      default: return BadPage();
    }
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool key(string_t& k) override {
    if (depth_ == 1) {
      key_ = k;
      if (k != "document" && k != "settings" && k != "pages") return Fail(k, kFields);
      return true;
    }
    if (depth_ == 3 && pageOpen_) return BadPage();
    setting_ = k;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    if (!error) error = InputError{name_, "(file)", "expected JSON text (the file does not parse)"};
    return false;
  }

 private:
  bool InTop(const char* key) const { return depth_ == 1 && key_ == key; }

  bool Fail(const std::string& field, const std::string& expected) {
    error = InputError{name_, field, expected};
    return false;
  }
  bool BadPage() {
    return Fail("pages[" + std::to_string(job.pages) + "]", "expected an empty page object {} (pages carry no content yet)");
  }
  bool Pages(long long n) {
    sawPages = true;
    if (n < 0 || n > kMaxPages) return Fail("pages", "expected a page count from 0 to " + std::to_string(kMaxPages));
    job.pages = n;
    return true;
  }

  // A scalar: the whole document (not an object), a top-level field's value, a setting, or a
  // page (which must be an object).
  bool Scalar(const std::optional<std::string>& text, bool isString) {
    switch (depth_) {
      case 0: return Fail("(file)", "expected a JSON object with \"document\", \"settings\", \"pages\"");
      case 1:
        if (key_ == "document") {
          if (!isString) return Fail("document", "expected a string");
          job.document = *text;
          return true;
        }
        if (key_ == "settings") return Fail("settings", "expected an object of setting names and values");
        sawPages = true;
        return Fail("pages", kPagesValue);
      case 2: {
        if (key_ == "pages") return BadPage();
        std::string field = "settings." + setting_;
        if (!text) return Fail(field, kSettingValue);
        if (auto e = ApplySetting(settings_, setting_, *text, name_, field)) {
          error = *e;
          return false;
        }
        return true;
      }
      default: return BadPage();
    }
  }

  const std::string& name_;
  JobSettings& settings_;
  int depth_ = 0;
  std::string key_;      // the top-level field being read
  std::string setting_;  // the setting being read
  bool pageOpen_ = false;
};

}  // namespace

std::variant<JobFile, InputError> ReadJobText(std::string_view text, const std::string& name, JobSettings& settings) {
  // Syntax first, as a whole: a file that does not parse is reported as such wherever its first
  // wrong field is.
  if (!json::accept(text)) return InputError{name, "(file)", "expected JSON text (the file does not parse)"};
  JobReader reader(name, settings);
  if (!json::sax_parse(text, &reader) || reader.error) {
    if (reader.error) return *reader.error;
    return InputError{name, "(file)", "expected JSON text (the file does not parse)"};
  }
  if (!reader.sawPages) return InputError{name, "pages", "expected a page count or a list of pages (the field is missing)"};
  return reader.job;
}

std::variant<JobFile, InputError> ReadJobFile(const std::string& path, JobSettings& settings) {
  InputFile file = ReadInputFile(path, kMaxJobFileBytes, Beyond::Refuse);
  switch (file.problem) {
    case InputFile::Problem::None: break;
    case InputFile::Problem::Folder: return InputError{path, "(file)", "expected a job file, got a folder"};
    case InputFile::Problem::TooLarge:
      return InputError{path, "(file)", "expected a job file of at most " + std::to_string(kMaxJobFileBytes >> 20) +
                                            " MB; this one is larger"};
    case InputFile::Problem::Unreadable:
      return InputError{path, "(file)", std::string("expected a readable job file (") + std::strerror(file.error) + ")"};
  }
  return ReadJobText(file.bytes, path, settings);
}

}  // namespace rt7700print
