// Where the platform keeps its state, and facts about the calling process.
#pragma once

#include <string>

namespace platform {

// Root folder of the spooler store, the registry and other platform state
// ($RT7700_PLATFORM_ROOT, else $XDG_STATE_HOME/rt7700-platform, else ~/.local/state/rt7700-platform).
std::string PlatformRoot();
// File name (no folder) of the program this process runs.
std::string ExecutableName();

}  // namespace platform
