// The dialog templates of the language modules: their text form, read by the platform when a
// dialog is created and checked by the module generator when a module is built.
//
//   dialog <id> <caption string id> [style=...] [size=W,H]
//   control <id> <CLASS> [style=A|B|0x10] [text=#<string id>|text="literal"] [rect=X,Y,W,H]
//
// A control line without options gets its class's usual style and no text. Sizes are dialog
// units. Classes: BUTTON, EDIT, COMBOBOX, LISTBOX, STATIC, msctls_updown32, msctls_trackbar32.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {

enum class ControlClass { kButton, kEdit, kComboBox, kListBox, kStatic, kUpDown, kTrackBar };

struct TemplateText {
  bool fromModule = false;  // the text is string `stringId` of the module
  uint32_t stringId = 0;
  std::u16string literal;
};

struct ControlTemplate {
  int id = 0;
  ControlClass cls = ControlClass::kStatic;
  uint32_t style = 0;
  TemplateText text;
  int x = 0, y = 0, width = 0, height = 0;
};

struct DialogTemplate {
  int id = 0;
  uint32_t captionId = 0;
  uint32_t style = 0;
  int width = 0, height = 0;
  std::vector<ControlTemplate> controls;
};

// The class's usual style (WS_CHILD and WS_VISIBLE included).
uint32_t DefaultStyle(ControlClass cls);
std::u16string_view ClassName(ControlClass cls);

// One resource's text (one "dialog" line and its controls); nothing, with `error` saying which
// line and why, when it does not parse.
std::optional<DialogTemplate> ParseDialogTemplate(std::string_view text, std::string& error);

}  // namespace platform::ui
