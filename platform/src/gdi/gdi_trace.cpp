#include "gdi_trace.h"

#include <cstdarg>
#include <cstdio>

#include "win/debug.h"

namespace platform::gdi {

void GdiTrace(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  OutputDebugStringA(line);
}

}  // namespace platform::gdi
