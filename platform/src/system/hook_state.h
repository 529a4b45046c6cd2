// Hook values as the platform's own modules read them; empty means "use the real service".
#pragma once

#include <optional>
#include <string>

#include "win/base.h"

namespace platform::hooks {

struct CountryOverride {
  std::optional<int> code;  // nullopt: unreadable
};

std::optional<SYSTEMTIME> LocalTimeOverride();
std::optional<std::string> ComputerNameOverride();
std::optional<std::u16string> UserNameOverride();
std::optional<CountryOverride> CountryCodeOverride();
std::optional<LANGID> SystemLangIdOverride();
std::optional<std::string> TempFolderOverride();
std::optional<std::string> AppDataFolderOverride();
std::optional<std::string> PlatformRootOverride();
std::optional<std::string> ExecutableNameOverride();
bool TracesCaptured();
void KeepTrace(std::string line);

}  // namespace platform::hooks
