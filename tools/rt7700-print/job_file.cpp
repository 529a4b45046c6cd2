#include "job_file.h"

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "input_file.h"

namespace rt7700print {
namespace {

using nlohmann::json;

constexpr char kFields[] = "expected only \"document\", \"unit\", \"settings\" and \"pages\"";
constexpr char kSettingValue[] = "expected a string, a whole number or true/false";
constexpr char kPagesValue[] = "expected a page count or a list of pages";
constexpr char kPageValue[] = "expected a page object {\"unit\": ..., \"draw\": [...]}";
constexpr char kPageFields[] = "expected only \"unit\" and \"draw\"";
constexpr char kUnitValue[] = "expected \"pt\" or \"mm\"";
constexpr char kDrawValue[] = "expected a list of drawing operations";
constexpr char kOpValue[] = "expected an operation object {\"op\": ..., ...}";
// An operation's JSON is held whole while it is read; this bounds it before its own checks can.
constexpr size_t kMaxOpValues = 8 * kMaxPointsPerOp + 1024;

// Containers open around a value inside a page, counted from the document.
constexpr int kPageDepth = 3;  // inside a page object
constexpr int kDrawDepth = 4;  // inside its "draw" list
constexpr int kOpDepth = 5;    // inside an operation

// One operation's JSON, built from the parser's events.
class OpBuilder {
 public:
  void Value(json v) {
    ++values;
    if (stack_.empty()) {
      root = std::move(v);
    } else if (stack_.back()->is_array()) {
      stack_.back()->push_back(std::move(v));
    } else {
      (*stack_.back())[key_] = std::move(v);
    }
  }
  void Open(json container) {
    Value(std::move(container));
    json* placed = stack_.empty() ? &root : stack_.back()->is_array() ? &stack_.back()->back() : &(*stack_.back())[key_];
    stack_.push_back(placed);
  }
  void Close() { stack_.pop_back(); }
  void Key(const std::string& k) { key_ = k; }
  void Reset() {
    root = json();
    stack_.clear();
    values = 0;
  }

  json root;
  size_t values = 0;

 private:
  std::vector<json*> stack_;  // a container's children are added only while it is on top
  std::string key_;
};

// Walks the parser's events without building a document: a list of a million pages costs a
// counter, not a million objects; only one drawing operation at a time is held as JSON.
class JobReader : public nlohmann::json_sax<json> {
 public:
  JobReader(const std::string& name, JobSettings& settings) : name_(name), settings_(settings) {}

  std::optional<InputError> error;
  JobFile job;
  bool sawPages = false;

  bool null() override {
    if (InOp()) return OpValue(nullptr);
    return Scalar(std::nullopt, false);
  }
  bool boolean(bool v) override {
    if (InOp()) return OpValue(v);
    return Scalar(std::string(v ? "true" : "false"), false);
  }
  bool number_integer(number_integer_t v) override {
    if (InOp()) return OpValue(v);
    if (InTop("pages")) return Pages(v);
    return Scalar(std::to_string(v), false);
  }
  bool number_unsigned(number_unsigned_t v) override {
    if (InOp()) return OpValue(v);
    if (InTop("pages")) return Pages(static_cast<long long>(std::min<number_unsigned_t>(v, kMaxPages + 1)));
    return Scalar(std::to_string(v), false);
  }
  bool number_float(number_float_t v, const string_t&) override {
    if (InOp()) return OpValue(v);
    return Scalar(std::nullopt, false);
  }
  bool string(string_t& v) override {
    if (InOp()) return OpValue(v);
    return Scalar(v, true);
  }
  bool binary(binary_t&) override { return Scalar(std::nullopt, false); }

  bool start_object(std::size_t) override {
    if (InOp() || (InPages() && depth_ == kDrawDepth)) {
      ++depth_;
      return OpOpen(json::object());
    }
    switch (depth_++) {
      case 0: return true;
      case 1:
        if (key_ == "settings") return true;
        return Fail(key_, key_ == "pages" ? kPagesValue : key_ == "document" ? "expected a string"
                                                      : key_ == "unit"   ? kUnitValue
                                                                         : kFields);
      case 2:
        if (key_ == "pages") {
          page_ = DrawnPage{};
          page_.number = job.pages + 1;
          page_.drawing.folder = std::filesystem::path(name_).parent_path().string();
          saves_ = 0;
          return true;
        }
        return Fail("settings." + setting_, kSettingValue);
      default: return PageValue();  // the value of a page's field
    }
  }
  bool end_object() override {
    --depth_;
    if (InOp()) {
      builder_.Close();
      return true;
    }
    if (InPages() && depth_ == kDrawDepth) {
      builder_.Close();
      return EndOp();
    }
    if (depth_ == 2 && key_ == "pages") {
      if (++job.pages > kMaxPages) return Fail("pages", "expected at most " + std::to_string(kMaxPages) + " pages");
      if (!page_.drawing.ops.empty() || page_.drawing.unit) job.drawn.push_back(std::move(page_));
    }
    return true;
  }
  bool start_array(std::size_t) override {
    if (InOp()) {
      ++depth_;
      return OpOpen(json::array());
    }
    if (InPages() && depth_ == kDrawDepth) return Fail(OpField(""), kOpValue);
    switch (depth_++) {
      case 0: return Fail("(file)", "expected a JSON object with \"document\", \"unit\", \"settings\", \"pages\"");
      case 1:
        if (key_ == "pages") {
          sawPages = true;
          job.pages = 0;
          job.drawn.clear();
          return true;
        }
        return Fail(key_, key_ == "settings" ? "expected an object of setting names and values"
                          : key_ == "document" ? "expected a string"
                          : key_ == "unit"     ? kUnitValue
                                               : kFields);
      case 2:
        if (key_ == "pages") return Fail(PageName(), kPageValue);
        return Fail("settings." + setting_, kSettingValue);
      case kPageDepth:
        if (pageKey_ == "draw") return true;
        return PageValue();
      default: return PageValue();
    }
  }
  bool end_array() override {
    --depth_;
    if (InOp()) builder_.Close();
    return true;
  }
  bool key(string_t& k) override {
    if (InOp()) {
      builder_.Key(k);
      return true;
    }
    if (depth_ == 1) {
      key_ = k;
      if (k != "document" && k != "unit" && k != "settings" && k != "pages") return Fail(k, kFields);
      return true;
    }
    if (depth_ == kPageDepth && InPages()) {
      pageKey_ = k;
      if (k != "unit" && k != "draw") return Fail(PageName() + ": " + k, kPageFields);
      return true;
    }
    setting_ = k;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    if (!error) error = InputError{name_, "(file)", "expected JSON text (the file does not parse)"};
    return false;
  }

 private:
  bool InTop(const char* key) const { return depth_ == 1 && key_ == key; }
  bool InPages() const { return depth_ >= kPageDepth && key_ == "pages"; }
  bool InOp() const { return depth_ >= kOpDepth && key_ == "pages"; }

  std::string PageName() const { return "page " + std::to_string(job.pages + 1); }
  // "page 2, op 5 (ellipse): pen.width"
  std::string OpField(const std::string& field) const {
    std::string out = PageName() + ", op " + std::to_string(page_.drawing.ops.size() + 1);
    if (!opName_.empty()) out += " (" + opName_ + ")";
    return field.empty() ? out : out + ": " + field;
  }

  bool Fail(const std::string& field, const std::string& expected) {
    error = InputError{name_, field, expected};
    return false;
  }
  bool Pages(long long n) {
    sawPages = true;
    if (n < 0 || n > kMaxPages) return Fail("pages", "expected a page count from 0 to " + std::to_string(kMaxPages));
    job.pages = n;
    job.drawn.clear();
    return true;
  }

  // A page field's value that is not what the field takes.
  bool PageValue() {
    if (pageKey_ == "unit") return Fail(PageName() + ": unit", kUnitValue);
    return Fail(PageName() + ": draw", kDrawValue);
  }

  bool OpOpen(json container) {
    if (depth_ == kOpDepth) {
      builder_.Reset();
      opName_.clear();
    }
    builder_.Open(std::move(container));
    return Bounded();
  }
  bool OpValue(json v) {
    builder_.Value(std::move(v));
    return Bounded();
  }
  bool Bounded() {
    if (builder_.values <= kMaxOpValues) return true;
    return Fail(OpField(""), "expected at most " + std::to_string(kMaxPointsPerOp) + " points in one operation");
  }
  bool EndOp() {
    PageDrawing& drawing = page_.drawing;
    size_t images = drawing.images.size();
    if (auto problem = ReadDrawOp(builder_.root, drawing, saves_, opName_))
      return Fail(OpField(problem->field), problem->expected);
    builder_.Reset();
    FindImagesBeside(drawing, images, name_);
    totalPoints_ += drawing.ops.back().count;
    std::string limit = ++totalOps_ > kMaxDrawOps ? std::to_string(kMaxDrawOps) + " drawing operations"
                        : totalPoints_ > kMaxDrawPoints ? std::to_string(kMaxDrawPoints) + " points"
                                                       : "";
    if (!limit.empty()) {
      drawing.ops.pop_back();  // named as the operation it is
      return Fail(OpField(""), "expected at most " + limit + " in a job");
    }
    opName_.clear();
    return true;
  }

  // A scalar: the whole document (not an object), a top-level field's value, a setting, a page
  // (which must be an object) or a page field's value.
  bool Scalar(const std::optional<std::string>& text, bool isString) {
    switch (depth_) {
      case 0: return Fail("(file)", "expected a JSON object with \"document\", \"unit\", \"settings\", \"pages\"");
      case 1:
        if (key_ == "document") {
          if (!isString) return Fail("document", "expected a string");
          job.document = *text;
          return true;
        }
        if (key_ == "unit") {
          job.unit = isString ? ParseUnit(*text) : std::nullopt;
          return job.unit ? true : Fail("unit", kUnitValue);
        }
        if (key_ == "settings") return Fail("settings", "expected an object of setting names and values");
        sawPages = true;
        return Fail("pages", kPagesValue);
      case 2: {
        if (key_ == "pages") return Fail(PageName(), kPageValue);
        std::string field = "settings." + setting_;
        if (!text) return Fail(field, kSettingValue);
        if (auto e = ApplySetting(settings_, setting_, *text, name_, field)) {
          error = *e;
          return false;
        }
        return true;
      }
      case kPageDepth:
        if (pageKey_ == "unit" && isString && (page_.drawing.unit = ParseUnit(*text))) return true;
        return PageValue();
      case kDrawDepth: return Fail(OpField(""), kOpValue);
      default: return PageValue();
    }
  }

  const std::string& name_;
  JobSettings& settings_;
  int depth_ = 0;
  std::string key_;      // the top-level field being read
  std::string setting_;  // the setting being read
  std::string pageKey_;  // the page field being read
  DrawnPage page_;       // the page being read
  int saves_ = 0;        // saves open on the page
  std::string opName_;
  OpBuilder builder_;
  size_t totalOps_ = 0, totalPoints_ = 0;
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
