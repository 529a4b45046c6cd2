// Test hooks: every platform service a test must control can be replaced here.
// A hook stays in force until ResetAll(); the test main resets after every test.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"

namespace platform::hooks {

PLATFORM_API void SetLocalTime(const SYSTEMTIME& time);
PLATFORM_API void SetComputerName(std::string name);
PLATFORM_API void SetUserName(std::u16string name);
// A country code as LOCALE_ICOUNTRY reports it; std::nullopt makes it unreadable.
PLATFORM_API void SetCountryCode(std::optional<int> code);
PLATFORM_API void SetSystemLangId(LANGID lang);
PLATFORM_API void SetTempFolder(std::string folder);
PLATFORM_API void SetAppDataFolder(std::string folder);
// Root folder under which the spooler's printers, the registry and other platform state live.
PLATFORM_API void SetPlatformRoot(std::string folder);
// File name of the program the calling process runs (as the driver sees the printing application).
PLATFORM_API void SetExecutableName(std::string name);

// Debug traces: while capturing, every OutputDebugString line is kept for TakeTraces().
PLATFORM_API void CaptureTraces(bool on);
PLATFORM_API std::vector<std::string> TakeTraces();

// Platform modules register how to drop their own hooks; ResetAll() runs them all.
PLATFORM_API void OnReset(std::function<void()> reset);
PLATFORM_API void ResetAll();

}  // namespace platform::hooks
