// Every label and button text of every language fits the control the shared templates give it.
// Widths are estimated in dialog units, where the dialog font's average character is 4 wide:
// full-width (CJK) characters count 8, Arabic letters 3.5 (joined script), combining marks
// nothing, narrow Latin letters and punctuation 2.5, capitals and m/w 5, the rest 4.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/utf16.h"
#include "win/dialogs.h"
#include "win/modules.h"

namespace {

constexpr const char* kModules[] = {"enus", "de", "ar", "zhcn", "zhtw", "ru", "ja", "fr", "it", "esmx", "sv", "no", "tr"};
constexpr int kDialogs[] = {111, 693, 626, 645, 651, 5086, 1056, 6100, 6520, 6521};

// Twice the width in dialog units, so that halves stay integers.
int DoubleWidth(std::u16string_view text) {
  constexpr std::u16string_view kNarrow = u" il.,:;'!|()[]1ftrjI-";
  int w = 0;
  for (char16_t c : text) {
    if (c == u'&') continue;  // accelerator mark
    if ((c >= 0x064B && c <= 0x065F) || c == 0x0670 || (c >= 0x0300 && c <= 0x036F)) continue;
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
        (c >= 0xFFE0 && c <= 0xFFE6)) {
      w += 16;
    } else if (c >= 0x0600 && c <= 0x06FF) {
      w += 7;
    } else if (kNarrow.find(c) != std::u16string_view::npos) {
      w += 5;
    } else if ((c >= u'A' && c <= u'Z') || c == u'm' || c == u'w' || c == u'M' || c == u'W') {
      w += 10;
    } else {
      w += 8;
    }
  }
  return w;
}

struct LabelControl {
  int id = 0;
  std::string cls, style;
  UINT stringId = 0;
  int width = 0, height = 0;
};

// The controls of a template that show a module string and have a size.
std::vector<LabelControl> Labels(std::string_view text) {
  std::vector<LabelControl> out;
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string kind;
    LabelControl c;
    if (!(words >> kind >> c.id >> c.cls) || kind != "control") continue;
    bool hasRect = false;
    for (std::string word; words >> word;) {
      if (word.rfind("style=", 0) == 0) c.style = word.substr(6);
      if (word.rfind("text=#", 0) == 0) c.stringId = static_cast<UINT>(std::stoul(word.substr(6)));
      int x, y;
      if (word.rfind("rect=", 0) == 0 && std::sscanf(word.c_str() + 5, "%d,%d,%d,%d", &x, &y, &c.width, &c.height) == 4)
        hasRect = true;
    }
    if (hasRect && c.stringId != 0 && (c.cls == "STATIC" || c.cls == "BUTTON")) out.push_back(c);
  }
  return out;
}

// What the text may take, doubled: a check box or radio button loses its box, a push button its
// margins, a group box its corners; a static of several lines wraps (a line is 8 high) and loses
// a little at each break.
int DoubleRoom(const LabelControl& c) {
  int room = c.width;
  if (c.style.find("CHECKBOX") != std::string::npos || c.style.find("RADIO") != std::string::npos) room -= 12;
  else if (c.style.find("GROUPBOX") != std::string::npos) room -= 10;
  else if (c.cls == "BUTTON") room -= 6;
  int lines = c.cls == "STATIC" ? std::max(1, c.height / 8) : 1;
  return lines == 1 ? 2 * room : 2 * room * lines * 9 / 10;
}

TEST(DialogFit, EveryLanguagesTextsFitTheirControls) {
  HMODULE english = LoadLibraryW(platform::Utf8ToUtf16(std::string(RT7700_LIB_DIR) + "/rt7700PCL5eenus.so").c_str());
  ASSERT_NE(english, nullptr);
  size_t checked = 0;
  for (const char* name : kModules) {
    HMODULE module =
        LoadLibraryW(platform::Utf8ToUtf16(std::string(RT7700_LIB_DIR) + "/rt7700PCL5e" + name + ".so").c_str());
    ASSERT_NE(module, nullptr) << name;
    for (int dialog : kDialogs) {
      HRSRC found = FindResourceW(english, MAKEINTRESOURCEW(dialog), RT_DIALOG_W());
      ASSERT_NE(found, nullptr) << "dialog " << dialog;
      std::string_view text(static_cast<const char*>(LockResource(LoadResource(english, found))),
                            SizeofResource(english, found));
      for (const LabelControl& c : Labels(text)) {
        const WCHAR* s = nullptr;
        int length = LoadStringW(module, c.stringId, reinterpret_cast<LPWSTR>(&s), 0);
        if (length <= 0) continue;  // a missing string is the coverage test's finding
        std::u16string_view label(s, static_cast<size_t>(length));
        ++checked;
        EXPECT_LE(DoubleWidth(label), DoubleRoom(c))
            << name << ": dialog " << dialog << " control " << c.id << " (" << c.width << "x" << c.height
            << ") cannot show string " << c.stringId << " \"" << platform::Utf16ToUtf8(std::u16string(label)) << "\"";
      }
    }
    FreeLibrary(module);
  }
  FreeLibrary(english);
  EXPECT_GE(checked, 13u * 90u) << "the templates lost their labels";
}

TEST(DialogFit, TheEstimateTellsWideScriptsAndNarrowLettersApart) {
  EXPECT_EQ(DoubleWidth(u"Save"), 10 + 8 + 8 + 8);
  EXPECT_EQ(DoubleWidth(u"&Il"), 5 + 5);
  EXPECT_EQ(DoubleWidth(u"保存"), 32);
  EXPECT_EQ(DoubleWidth(u"حفظ\u064E"), 21);
  LabelControl check{1, "BUTTON", "BS_AUTOCHECKBOX", 1, 50, 10};
  EXPECT_EQ(DoubleRoom(check), 76);
  LabelControl note{2, "STATIC", "", 1, 100, 16};
  EXPECT_EQ(DoubleRoom(note), 360);
}

}  // namespace
