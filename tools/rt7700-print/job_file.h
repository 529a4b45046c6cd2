// A job file: the document name, the printer settings and the pages of a job, in JSON.
//
//   { "document": "Quarterly report",
//     "settings": { "copies": 3, "collate": true, "sides": "two-sided-long-edge" },
//     "unit": "mm",
//     "pages": [ {}, { "draw": [ { "op": "line", "from": [20, 20], "to": [190, 20] } ] } ] }
//
// "pages" is a count of empty pages or a list of page objects, each with its drawing operations
// (drawing_ops.h) and optionally its own "unit" ("pt" or "mm"; the job's, else points).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "drawing_ops.h"
#include "job_settings.h"

namespace rt7700print {

struct DrawnPage {
  long long number = 0;  // from 1
  PageDrawing drawing;
};

struct JobFile {
  std::optional<std::string> document;
  long long pages = 0;
  std::optional<Unit> unit;
  std::vector<DrawnPage> drawn;  // the pages that draw, in order; the others are empty
};

constexpr long long kMaxPages = 1000000;
// A job file of a million pages with every setting fits many times over.
constexpr size_t kMaxJobFileBytes = 64u << 20;

// Reads `path` and applies its settings to `settings`. Every problem names the file and the field.
std::variant<JobFile, InputError> ReadJobFile(const std::string& path, JobSettings& settings);

// The same for text already in memory; `name` stands for the file in messages. Fields are taken
// in the order they are written, and the first problem ends the reading, so memory stays within
// the text's own size however many pages or settings it lists.
std::variant<JobFile, InputError> ReadJobText(std::string_view text, const std::string& name, JobSettings& settings);

}  // namespace rt7700print
