// Test hooks of the headless user interface: message-box answers, and what was shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"

namespace platform::hooks {

struct MessageBoxRecord {
  std::u16string text;
  std::u16string caption;
  UINT type;
  int answer;
};

struct HelpRecord {
  std::u16string file;
  UINT command;
  uintptr_t data;
};

// Answers for the next message boxes, in order; once used up a box gets its default
// (IDOK for MB_OK and MB_OKCANCEL, IDYES for yes/no kinds). $RT7700_MESSAGEBOX_ANSWERS
// ("yes,no,ok,cancel") gives scripts the same control.
PLATFORM_API void QueueMessageBoxAnswers(std::vector<int> answers);
PLATFORM_API std::vector<MessageBoxRecord> TakeMessageBoxes();
PLATFORM_API std::vector<HelpRecord> TakeHelpCalls();

// GetModuleFileNameW reports this path for handles taken from an address in the program itself
// (tests that link the interface code statically stand where the real library is installed).
PLATFORM_API void SetModuleFileName(std::string path);

}  // namespace platform::hooks
