// Locale information: the user's country code and the system language.
#pragma once

#include "win/base.h"

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCTYPE LOCALE_ICOUNTRY = 0x0005;
constexpr LCTYPE LOCALE_SISO3166CTRYNAME = 0x005A;

extern "C" {
// Returns the characters written including the NUL, 0 on failure (last error set).
// With cchData 0 returns the size needed.
PLATFORM_API int WINAPI GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int cchData);
PLATFORM_API LANGID WINAPI GetSystemDefaultLangID();
PLATFORM_API LANGID WINAPI GetUserDefaultLangID();
}
