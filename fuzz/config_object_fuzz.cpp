// The settings file reader over arbitrary bytes: it must never read past its input, and
// whatever it accepts must be written and read back to the same bytes.
#include <cstdlib>
#include <string>

#include "store/config_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ui::ConfigReadResult read = ui::ReadConfigObjects({data, size});
  if (read.error != ui::ConfigReadError::None || read.root == nullptr) return 0;
  std::string first;
  if (ui::SerializeConfigObject(*read.root, first)) {
    ui::ConfigReadResult again =
        ui::ReadConfigObjects({reinterpret_cast<const uint8_t*>(first.data()), first.size()});
    if (again.error != ui::ConfigReadError::None || again.root == nullptr) std::abort();
    std::string second;
    if (!ui::SerializeConfigObject(*again.root, second) || second != first) std::abort();
    ui::FreeConfigObject(again.root);
  }
  ui::FreeConfigObject(read.root);
  return 0;
}
