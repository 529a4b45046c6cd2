// The text form of dialog templates (see dialog_template.h).
#include "ui/dialog_template.h"

#include <charconv>
#include <sstream>

#include "win/dialogs.h"

namespace platform::ui {

namespace {

struct StyleName {
  std::string_view name;
  uint32_t value;
};

constexpr StyleName kStyles[] = {
    {"WS_TABSTOP", WS_TABSTOP},
    {"WS_GROUP", WS_GROUP},
    {"WS_VSCROLL", WS_VSCROLL},
    {"WS_BORDER", WS_BORDER},
    {"WS_DISABLED", WS_DISABLED},
    {"BS_PUSHBUTTON", BS_PUSHBUTTON},
    {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
    {"BS_CHECKBOX", BS_CHECKBOX},
    {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
    {"BS_RADIOBUTTON", BS_RADIOBUTTON},
    {"BS_3STATE", BS_3STATE},
    {"BS_AUTO3STATE", BS_AUTO3STATE},
    {"BS_GROUPBOX", BS_GROUPBOX},
    {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
    {"BS_OWNERDRAW", BS_OWNERDRAW},
    {"BS_NOTIFY", BS_NOTIFY},
    {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
    {"ES_READONLY", ES_READONLY},
    {"ES_NUMBER", ES_NUMBER},
    {"CBS_SIMPLE", CBS_SIMPLE},
    {"CBS_DROPDOWN", CBS_DROPDOWN},
    {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
    {"CBS_OWNERDRAWFIXED", CBS_OWNERDRAWFIXED},
    {"CBS_SORT", CBS_SORT},
    {"CBS_HASSTRINGS", CBS_HASSTRINGS},
    {"LBS_NOTIFY", LBS_NOTIFY},
    {"LBS_SORT", LBS_SORT},
    {"LBS_OWNERDRAWFIXED", LBS_OWNERDRAWFIXED},
    {"LBS_HASSTRINGS", LBS_HASSTRINGS},
    {"SS_LEFT", SS_LEFT},
    {"SS_OWNERDRAW", SS_OWNERDRAW},
    {"UDS_SETBUDDYINT", UDS_SETBUDDYINT},
    {"UDS_ALIGNRIGHT", UDS_ALIGNRIGHT},
    {"UDS_AUTOBUDDY", UDS_AUTOBUDDY},
    {"UDS_ARROWKEYS", UDS_ARROWKEYS},
    {"UDS_HORZ", UDS_HORZ},
};

struct ClassEntry {
  std::string_view name;
  ControlClass cls;
  std::u16string_view shown;
};

constexpr ClassEntry kClasses[] = {
    {"BUTTON", ControlClass::kButton, u"Button"},
    {"EDIT", ControlClass::kEdit, u"Edit"},
    {"COMBOBOX", ControlClass::kComboBox, u"ComboBox"},
    {"LISTBOX", ControlClass::kListBox, u"ListBox"},
    {"STATIC", ControlClass::kStatic, u"Static"},
    {"MSCTLS_UPDOWN32", ControlClass::kUpDown, u"msctls_updown32"},
    {"MSCTLS_TRACKBAR32", ControlClass::kTrackBar, u"msctls_trackbar32"},
};

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return out;
}

bool Number(std::string_view s, int64_t& out) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty()) return false;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
  return ec == std::errc() && end == s.data() + s.size();
}

bool Style(std::string_view value, uint32_t& style, std::string& why) {
  style = 0;
  size_t start = 0;
  while (start <= value.size()) {
    size_t bar = value.find('|', start);
    std::string_view word =
        value.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
    int64_t n;
    bool found = false;
    if (Number(word, n) && n >= 0 && n <= 0xFFFFFFFF) {
      style |= static_cast<uint32_t>(n);
      found = true;
    }
    std::string upper = Upper(word);
    for (const auto& s : kStyles) {
      if (s.name == upper) {
        style |= s.value;
        found = true;
      }
    }
    if (!found) {
      why = "unknown style \"" + std::string(word) + "\"";
      return false;
    }
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return true;
}

bool Numbers(std::string_view value, size_t count, int* out) {
  for (size_t i = 0; i < count; ++i) {
    size_t comma = value.find(',');
    if ((i + 1 < count) != (comma != std::string_view::npos)) return false;
    int64_t n;
    if (!Number(value.substr(0, comma), n) || n < 0 || n > 32767) return false;
    out[i] = static_cast<int>(n);
    if (comma != std::string_view::npos) value.remove_prefix(comma + 1);
  }
  return true;
}

// UTF-8 to UTF-16; false on malformed input.
bool Utf16(std::string_view s, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else
      return false;
    if (i + static_cast<size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0)) return false;
    for (int k = 1; k <= extra; ++k) {
      auto n = static_cast<unsigned char>(s[i + k]);
      if ((n & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (n & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return true;
}

// Splits a line into words; a double-quoted stretch (with \" and \\) belongs to its word.
bool Words(std::string_view line, std::vector<std::string>& words, std::string& why) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      char c = line[i++];
      if (c == '"') {
        quoted = !quoted;
        word += c;
      } else if (quoted && c == '\\' && i < line.size()) {
        word += c;  // kept escaped until the text is read
        word += line[i++];
      } else {
        word += c;
      }
    }
    if (quoted) {
      why = "unterminated quotes";
      return false;
    }
    words.push_back(std::move(word));
  }
  return true;
}

bool Text(std::string_view value, TemplateText& text, std::string& why) {
  if (!value.empty() && value[0] == '#') {
    int64_t n;
    if (!Number(value.substr(1), n) || n < 0 || n > 0xFFFF) {
      why = "bad string id \"" + std::string(value) + "\"";
      return false;
    }
    text.fromModule = true;
    text.stringId = static_cast<uint32_t>(n);
    return true;
  }
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
    why = "text is #<string id> or \"literal\"";
    return false;
  }
  std::string inner;
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] == '\\' && i + 2 < value.size()) {
      inner += value[++i];
    } else if (value[i] != '"') {
      inner += value[i];
    }
  }
  if (!Utf16(inner, text.literal)) {
    why = "bad UTF-8 in text";
    return false;
  }
  return true;
}

}  // namespace

uint32_t DefaultStyle(ControlClass cls) {
  constexpr uint32_t base = WS_CHILD | WS_VISIBLE;
  switch (cls) {
    case ControlClass::kButton:
      return base | WS_TABSTOP | BS_PUSHBUTTON;
    case ControlClass::kEdit:
      return base | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
    case ControlClass::kComboBox:
      return base | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    case ControlClass::kListBox:
      return base | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY;
    case ControlClass::kStatic:
      return base | SS_LEFT;
    case ControlClass::kUpDown:
      return base | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS;
    case ControlClass::kTrackBar:
      return base | WS_TABSTOP;
  }
  return base;
}

std::u16string_view ClassName(ControlClass cls) {
  for (const auto& c : kClasses) {
    if (c.cls == cls) return c.shown;
  }
  return u"";
}

std::optional<DialogTemplate> ParseDialogTemplate(std::string_view text, std::string& error) {
  DialogTemplate result;
  bool haveDialog = false;
  int lineNo = 0;
  std::vector<std::string> words;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string why;
    auto fail = [&](const std::string& reason) {
      error = "line " + std::to_string(lineNo) + ": " + reason;
      return std::nullopt;
    };
    if (!Words(line, words, why)) return fail(why);
    if (words.empty() || words[0][0] == '#') continue;
    int64_t id;
    if (words[0] == "dialog") {
      if (haveDialog) return fail("a second dialog in one template");
      int64_t caption;
      if (words.size() < 3 || !Number(words[1], id) || !Number(words[2], caption) || id < 0 || id > 0xFFFF ||
          caption < 0 || caption > 0xFFFF) {
        return fail("expected dialog <id> <caption string id>");
      }
      haveDialog = true;
      result.id = static_cast<int>(id);
      result.captionId = static_cast<uint32_t>(caption);
      for (size_t w = 3; w < words.size(); ++w) {
        std::string_view word = words[w];
        int size[2];
        if (word.starts_with("style=")) {
          if (!Style(word.substr(6), result.style, why)) return fail(why);
        } else if (word.starts_with("size=") && Numbers(word.substr(5), 2, size)) {
          result.width = size[0];
          result.height = size[1];
        } else {
          return fail("unknown dialog option \"" + std::string(word) + "\"");
        }
      }
    } else if (words[0] == "control") {
      if (!haveDialog) return fail("control before any dialog");
      if (words.size() < 3 || !Number(words[1], id) || id < -1 || id > 0xFFFF) {
        return fail("expected control <id> <class>");
      }
      ControlTemplate c;
      c.id = static_cast<int>(id);
      std::string cls = Upper(words[2]);
      bool known = false;
      for (const auto& k : kClasses) {
        if (k.name == cls) {
          c.cls = k.cls;
          known = true;
        }
      }
      if (!known) return fail("unknown class \"" + words[2] + "\"");
      c.style = DefaultStyle(c.cls);
      bool hidden = false;
      for (size_t w = 3; w < words.size(); ++w) {
        std::string_view word = words[w];
        int rect[4];
        if (word.starts_with("style=")) {
          uint32_t style;
          if (!Style(word.substr(6), style, why)) return fail(why);
          bool interactive = c.cls != ControlClass::kStatic && c.cls != ControlClass::kUpDown &&
                             !(c.cls == ControlClass::kButton && (style & BS_TYPEMASK) == BS_GROUPBOX);
          c.style = WS_CHILD | WS_VISIBLE | (interactive ? WS_TABSTOP : 0) | style;
        } else if (word.starts_with("text=")) {
          if (!Text(word.substr(5), c.text, why)) return fail(why);
        } else if (word.starts_with("rect=") && Numbers(word.substr(5), 4, rect)) {
          c.x = rect[0];
          c.y = rect[1];
          c.width = rect[2];
          c.height = rect[3];
        } else if (word == "hidden") {
          hidden = true;
        } else {
          return fail("unknown control option \"" + std::string(word) + "\"");
        }
      }
      if (hidden) c.style &= ~WS_VISIBLE;
      result.controls.push_back(std::move(c));
    } else {
      return fail("unknown line \"" + words[0] + "\"");
    }
  }
  if (!haveDialog) {
    error = "no dialog line";
    return std::nullopt;
  }
  return result;
}

}  // namespace platform::ui
