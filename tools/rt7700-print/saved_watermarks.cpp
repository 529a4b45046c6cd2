// The watermarks the user saved in the printing preferences, read from the interface library's
// settings file. Kept apart so that what only parses settings needs no settings store.
#include <cstring>

#include "store/settings_store.h"
#include "watermark_options.h"

namespace rt7700print {

std::optional<devmode::WatermarkRecord> SavedWatermark(const std::u16string& name) {
  ui::WatermarkStore store;
  auto items = store.Items();
  if (!items) return std::nullopt;
  for (const auto& item : *items) {
    if (!SameWatermarkName(item.name, name) || item.data.size() != sizeof(devmode::WatermarkRecord)) continue;
    devmode::WatermarkRecord r;
    std::memcpy(&r, item.data.data(), sizeof r);
    return r;
  }
  return std::nullopt;
}

}  // namespace rt7700print
