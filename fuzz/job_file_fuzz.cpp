// The job file reader over arbitrary bytes: it must never crash or read past its input, and a job
// it accepts must be valid JSON with a page count in range, drawing operations whose points, pens and
// brushes lie inside their page's pools, and settings the printer can print.
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

#include "job_file.h"
#include "job_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  rt7700print::JobSettings settings;
  auto read = rt7700print::ReadJobText(text, "fuzz.json", settings);
  if (std::holds_alternative<rt7700print::InputError>(read)) return 0;
  const auto& job = std::get<rt7700print::JobFile>(read);
  if (!nlohmann::json::accept(text) || job.pages < 0 || job.pages > rt7700print::kMaxPages) std::abort();
  if (settings.copies < 1 || settings.copies > 999) std::abort();
  long long previous = 0;
  size_t ops = 0;
  for (const auto& drawn : job.drawn) {
    if (drawn.number <= previous || drawn.number > job.pages) std::abort();
    previous = drawn.number;
    const auto& page = drawn.drawing;
    if (page.types.size() != page.points.size()) std::abort();
    for (const auto& op : page.ops) {
      if (op.first > page.points.size() || op.count > page.points.size() - op.first) std::abort();
      if (op.count > rt7700print::kMaxPointsPerOp) std::abort();
      if (op.pen >= static_cast<int32_t>(page.pens.size()) || op.brush >= static_cast<int32_t>(page.brushes.size()))
        std::abort();
    }
    ops += page.ops.size();
  }
  if (ops > rt7700print::kMaxDrawOps) std::abort();
  if (rt7700print::CheckCombination(settings)) return 0;
  devmode::StoredDevmode stored{};
  rt7700print::BuildStoredDevmode(settings, u"Taliro R7700 PCL5e", &stored);
  if (rt7700print::SheetCount(settings, job.pages) < 0) std::abort();
  return 0;
}
