// The action language of rt7700-preferences: what a user does on a property sheet, one action a
// line (or separated by ';'); '#' first on a line or before a space starts a comment.
//
//   page Layout                      switch to a page by its title or its number (1 = first)
//   choose 1300 "4 Pages per Sheet"  pick a combo or list entry by its text
//   select-index 1500 2              ... or by its position (0 = first)
//   check 1201 on                    tick or clear a check box (on|off)
//   type 1110 "My favourite"         type into an edit or editable combo box
//   click 1111                       press a button
//   double-click 1500                double-click the selected list entry
//   spin 1310 -2                     press an up-down's arrows (negative: down)
//   slide 1320 5                     move a track bar
//   help 1300                        F1 on a control
//   answer yes no                    answers for the next message boxes (yes|no|ok|cancel)
//   answer-color #ff8000             the next colour chooser's choice (or cancel)
//   answer-file "/tmp/logo.bmp"      the next file chooser's choice (or cancel)
//   wait 500                         let the sheet's timers run for this many milliseconds
//   modal { type 1 "x"; ok }         actions inside the next modal dialog (ok/cancel close it)
//   apply | ok | cancel              the sheet's buttons
//
// A control is named by its id or by its label text ("Pages per Sheet" or Save): a label names
// the control after it, as its keyboard shortcut would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace rt7700prefs {

enum class Verb {
  Page,
  Choose,
  SelectIndex,
  Check,
  Type,
  Click,
  DoubleClick,
  Spin,
  Slide,
  Help,
  Answer,
  AnswerColor,
  AnswerFile,
  Wait,
  Modal,
  Apply,
  Ok,
  Cancel,
};

struct ControlRef {
  std::optional<int> id;  // else the label text
  std::string text;
  std::string Describe() const;  // "control 1300" or "control \"Save\""
};

struct Action {
  Verb verb = Verb::Apply;
  std::string where;  // "prefs.txt line 3", "-e 2"
  ControlRef control;
  std::string text;       // page title, item, typed text, file name
  long number = 0;        // page number (0: by title), index, steps, position, milliseconds
  bool on = false;        // check
  std::vector<int> answers;                  // IDYES, IDNO, IDOK, IDCANCEL
  std::optional<uint32_t> color;             // 0x00BBGGRR as COLORREF; nothing: cancelled
  bool cancelled = false;                    // answer-file cancel
  std::vector<Action> body;                  // modal
};

struct ScriptSource {
  std::string name;  // a file name, "standard input", or "-e N"
  std::string text;
  bool single = false;  // one -e: its position names it, a line number only when it has several
};

struct ScriptError {
  std::string where;
  std::string message;
};

// The actions of all sources in order, or the first error with where it is.
std::variant<std::vector<Action>, ScriptError> ParseScript(const std::vector<ScriptSource>& sources);

}  // namespace rt7700prefs
