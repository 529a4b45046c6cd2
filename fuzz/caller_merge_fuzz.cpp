// The interface library's merge of a caller's devmode into its working devmode.
#include <cstdlib>

#include "devmode/caller_merge.h"
#include "fuzz_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes = RecordFrom(data, size);
  devmode::StoredDevmode working{};
  devmode::InitStoredDevmode(&working, u"R7700 Fuzz", u"Default Settings");
  const devmode::CallerMergeContext context{u"Default Settings", [](int id, devmode::CustomPaperRecord* r) {
                                              r->width = static_cast<int16_t>(id * 10);
                                              r->height = static_cast<int16_t>(id * 20);
                                              return id % 2 == 0;
                                            }};
  devmode::MergeCallerDevmode(&working, reinterpret_cast<const DEVMODEW*>(bytes.data()), context);
  devmode::StoredPrivate check = working.priv;
  if (devmode::ValidatePrivateBlock(&check, u"Default Settings") != 0) std::abort();
  return 0;
}
