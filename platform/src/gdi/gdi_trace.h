// Debug traces of the GDI layer, written like every other platform trace.
#pragma once

namespace platform::gdi {

// printf-style, C locale, cut at 255 characters.
void GdiTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform::gdi
