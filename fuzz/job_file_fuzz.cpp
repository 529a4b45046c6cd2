// The job file reader over arbitrary bytes: it must never crash or read past its input, and a job
// it accepts must be valid JSON with a page count in range and settings the printer can print.
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
  if (rt7700print::CheckCombination(settings)) return 0;
  devmode::StoredDevmode stored{};
  rt7700print::BuildStoredDevmode(settings, u"Taliro R7700 PCL5e", &stored);
  if (rt7700print::SheetCount(settings, job.pages) < 0) std::abort();
  return 0;
}
