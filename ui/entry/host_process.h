// Which application the interface library runs in, as the window it prints from tells.
#pragma once

#include <string_view>

namespace ui {

// Whether the module that owns the application's top-level window has the file name `name`
// (ASCII case ignored; the part after the last '\\', '/' or ':').
bool IsHostProcess(std::u16string_view name);

}  // namespace ui
