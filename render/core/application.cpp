// Which application prints: the watermark program's output is captured as a page fragment.
#include <cctype>
#include <cstring>

#include "pdev.h"
#include "win/sysinfo.h"

namespace render {
namespace {

constexpr char kWatermarkProgram[] = "rt7700PCL5eWM.EXE";

}  // namespace

bool IsWatermarkProgram() {
  char path[1024] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0) return false;
  const char* name = path;
  for (const char* p = path; *p != 0; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  // File names compare without regard to case, as on the platform the program was made for.
  if (std::strlen(name) != sizeof kWatermarkProgram - 1) return false;
  for (size_t i = 0; name[i] != 0; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != std::tolower(static_cast<unsigned char>(kWatermarkProgram[i])))
      return false;
  }
  return true;
}

}  // namespace render
