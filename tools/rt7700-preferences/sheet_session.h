// A script of user actions played on an open property sheet, as the user would act on it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/sheet_driver.h"
#include "script.h"

namespace rt7700prefs {

constexpr int kExitRefused = 1;
constexpr int kExitBadScript = 2;

struct RunError {
  int status = kExitBadScript;
  std::string message;  // where, then what
};

class SheetSession {
 public:
  // Message boxes the sheet shows are reported on `log`, one line each.
  SheetSession(platform::ui::PropertySheet& sheet, FILE* log) : sheet_(sheet), log_(log) {}

  // Plays the actions in order; stops at the first that fails.
  std::optional<RunError> Run(const std::vector<Action>& actions);

  // The current page's owner-drawn picture (the first control that painted one).
  std::optional<platform::ui::Picture> CurrentPreview() const;

  // The sheet's OK (apply) or Cancel, when it is still open; a refused OK cancels it.
  std::optional<RunError> Close(bool apply);

  // Every page created, then back to the page that was current, so that all of them list their
  // controls.
  void VisitAllPages();

 private:
  std::optional<RunError> Play(const Action& a, HWND modal);
  std::optional<RunError> OnControl(const Action& a, HWND dialog);
  void ReportMessageBoxes();

  platform::ui::PropertySheet& sheet_;
  FILE* log_;
  std::vector<int> answers_;  // queued and not yet used
  // A modal block's script runs inside the platform's dialog loop: its failure is kept and
  // reported when the action that opened the dialog returns.
  std::optional<RunError> modalFailure_;
  std::vector<std::pair<const Action*, bool>> modalBlocks_;  // block, ran
};

}  // namespace rt7700prefs
