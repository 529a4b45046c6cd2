// Captures the debug traces written during a scope.
#pragma once

#include <string>
#include <vector>

#include "platform/test_hooks.h"

namespace testsupport {

class TraceCapture {
 public:
  TraceCapture() { platform::hooks::CaptureTraces(true); }
  ~TraceCapture() { platform::hooks::CaptureTraces(false); }
  std::vector<std::string> Take() { return platform::hooks::TakeTraces(); }
};

}  // namespace testsupport
