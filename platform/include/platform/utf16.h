// UTF-16 helpers for fixed-size wide fields and conversions to UTF-8 and ANSI.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "win/base.h"

namespace platform {

// Length up to the first NUL, never looking past `capacity` characters.
PLATFORM_API size_t WideLength(const WCHAR* s, size_t capacity);
// The text of a wide field: up to its NUL, or the whole field when it has none.
PLATFORM_API std::u16string_view WideField(const WCHAR* field, size_t capacity);
// Copies into a field of `capacity` characters, cutting so the NUL always fits; the rest is zeroed.
PLATFORM_API void CopyWideField(WCHAR* field, size_t capacity, std::u16string_view text);
// True when the field holds a NUL within its first `capacity` characters.
PLATFORM_API bool WideFieldTerminated(const WCHAR* field, size_t capacity);

PLATFORM_API std::u16string Utf8ToUtf16(std::string_view text);
PLATFORM_API std::string Utf16ToUtf8(std::u16string_view text);
// Windows-1252 as CP_ACP: characters it cannot hold become '?'.
PLATFORM_API std::string Utf16ToAnsi(std::u16string_view text);
PLATFORM_API std::u16string AnsiToUtf16(std::string_view text);
// Plain ASCII text widened (for literals and numbers).
PLATFORM_API std::u16string Widen(std::string_view ascii);

}  // namespace platform
