// Where the platform keeps its state, and facts about the calling process. Internal to the
// platform (exported only so that the platform's own tests can reach it).
#pragma once

#include <string>

#include "win/base.h"

namespace platform {

// Root folder of the spooler store, the registry and other platform state
// ($RT7700_PLATFORM_ROOT, else $XDG_STATE_HOME/rt7700-platform, else ~/.local/state/rt7700-platform).
PLATFORM_API std::string PlatformRoot();
// File name (no folder) of the program this process runs.
PLATFORM_API std::string ExecutableName();
// The local time, or the clock hook's time.
PLATFORM_API SYSTEMTIME CurrentLocalTime();
// The user's name, or the user-name hook's.
PLATFORM_API std::u16string CurrentUserName();

}  // namespace platform
