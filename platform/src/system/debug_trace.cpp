// Debug output: kept for tests when captured, shown on stderr when RT7700_DEBUG_TRACE is set.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hook_state.h"
#include "platform/utf16.h"
#include "win/debug.h"

namespace {

bool ShowOnStderr() {
  static const bool show = [] {
    const char* v = std::getenv("RT7700_DEBUG_TRACE");
    return v != nullptr && *v != '\0' && std::string(v) != "0";
  }();
  return show;
}

void Emit(std::string line) {
  if (ShowOnStderr()) {
    std::fputs(line.c_str(), stderr);
    if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
  }
  platform::hooks::KeepTrace(std::move(line));
}

}  // namespace

extern "C" void OutputDebugStringA(LPCSTR text) { Emit(text != nullptr ? text : ""); }

extern "C" void OutputDebugStringW(LPCWSTR text) {
  if (text == nullptr) return Emit("");
  Emit(platform::Utf16ToUtf8(platform::WideField(text, SIZE_MAX / 4)));
}
