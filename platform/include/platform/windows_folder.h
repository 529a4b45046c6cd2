// Test hook of the Windows folder: which font files its "Fonts" folder shows.
#pragma once

#include <string>

#include "win/base.h"

namespace platform::hooks {

// The "Fonts" folder shows the files of `folder` instead of the installed fonts; empty restores
// the installed fonts. Reset by ResetAll().
PLATFORM_API void SetFontsFolderSource(std::string folder);

}  // namespace platform::hooks
