// Import of an application's devmode into render settings, then the validating merge.
#include <cstdlib>

#include "devmode/render_devmode.h"
#include "fuzz_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes = RecordFrom(data, size);
  const auto* record = reinterpret_cast<const DEVMODEW*>(bytes.data());
  devmode::RenderSettings settings{}, scratch{};
  devmode::Devmod2_InitDevMode(&settings, u"R7700 Fuzz");
  devmode::ImportStoredDevmode(record, &scratch);
  if (devmode::Devmod2_MergeFieldsHigh(&settings, &scratch.pub) && !devmode::RenderSettingsValid(settings)) std::abort();
  devmode::RenderSettings direct{};
  devmode::Devmod2_InitDevMode(&direct, u"R7700 Fuzz");
  devmode::Devmod2_MergeFieldsHigh(&direct, record);
  return 0;
}
