// Choosing the interface language, loading its module and strings, messages and help.
#include "entry/language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/test_hooks.h"
#include "platform/ui_hooks.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "win/dialogs.h"
#include "win/error.h"
#include "win/modules.h"
#include "win/registry.h"

namespace {

class LanguageTest : public testing::Test {
 protected:
  void SetUp() override {
    ui::ClearDisplayFlags();
    platform::hooks::SetPlatformRoot(root_.str());
    platform::hooks::SetSystemLangId(0x0409);
    platform::hooks::SetModuleFileName(std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so");
  }
  void Configure(std::u16string_view name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ui::kDriverKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::u16string value(name);
    ASSERT_EQ(RegSetValueExW(key, ui::kLanguageValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * 2)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static std::u16string Language() {
    WCHAR name[ui::kLanguageNameChars];
    ui::GetUiLanguage(name);
    return std::u16string(platform::WideField(name, ui::kLanguageNameChars));
  }
  static std::u16string ModuleName() {
    WCHAR name[ui::kModuleNameChars];
    ui::GetLanguageModuleName(name);
    return std::u16string(platform::WideField(name, ui::kModuleNameChars));
  }
  static std::u16string String(HMODULE module, UINT id) {
    WCHAR text[512];
    int n = ui::LoadResourceString(module, id, text, 512);
    return std::u16string(text, static_cast<size_t>(n));
  }

  testsupport::TempDir root_;
};

TEST_F(LanguageTest, ConfiguredNamesAreComparedExactly) {
  Configure(u"German");
  EXPECT_EQ(ModuleName(), u"rt7700PCL5ede.so");
  EXPECT_TRUE(ui::DecimalComma());
  EXPECT_FALSE(ui::RightToLeft());
  Configure(u"german");
  EXPECT_EQ(Language(), u"german");
  EXPECT_EQ(ModuleName(), u"rt7700PCL5eenus.so");
  EXPECT_TRUE(ui::DecimalComma()) << "the flag is never cleared";
  Configure(u"Arabic");
  WCHAR help[ui::kModuleNameChars];
  ui::GetHelpFileName(help);
  EXPECT_EQ(platform::WideField(help, ui::kModuleNameChars), u"/3/rt7700PCL5ear.chm");
  EXPECT_TRUE(ui::RightToLeft());
}

TEST_F(LanguageTest, SystemLanguageDecidesWhenNothingIsConfigured) {
  struct Case {
    LANGID id;
    std::u16string_view language, module;
  };
  for (const Case& c : {Case{0x040A, u"English", u"rt7700PCL5eenus.so"}, Case{0x0C0A, u"Spanish", u"rt7700PCL5eesmx.so"},
                        Case{0x0C04, u"Simplified_Chinese", u"rt7700PCL5ezhcn.so"},
                        Case{0x0404, u"Traditional_Chinese", u"rt7700PCL5ezhtw.so"},
                        Case{0x3C01, u"Arabic", u"rt7700PCL5ear.so"}, Case{0x0814, u"Norwegian", u"rt7700PCL5eno.so"},
                        Case{0x0416, u"English", u"rt7700PCL5eenus.so"}}) {
    platform::hooks::SetSystemLangId(c.id);
    EXPECT_EQ(Language(), c.language) << std::hex << c.id;
    EXPECT_EQ(ModuleName(), c.module) << std::hex << c.id;
  }
  Configure(u"");
  platform::hooks::SetSystemLangId(0x0407);
  EXPECT_EQ(Language(), u"German") << "an empty value counts as missing";
}

TEST_F(LanguageTest, OverlongValueIsCutTo127Characters) {
  Configure(std::u16string(127, u'x'));
  EXPECT_EQ(Language().size(), 127u);
  Configure(std::u16string(200, u'x'));
  EXPECT_EQ(Language(), u"English") << "a value beyond the 256-byte buffer is not read";
}

TEST_F(LanguageTest, MissingStringsShowTheirNumber) {
  WCHAR text[64];
  EXPECT_EQ(ui::LoadResourceString(nullptr, 207, text, 64), 15);
  EXPECT_EQ(platform::WideField(text, 64), u"id:207 missing!");
  EXPECT_EQ(ui::LoadResourceString(nullptr, 207, text, 31), 0) << "needs twice the length plus two";
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(ui::LoadResourceString(nullptr, 207, text, 32), 15);
}

TEST_F(LanguageTest, GermanModuleIsLoadedBesideTheLibrary) {
  Configure(u"German");
  ui::LanguageModuleLoad load = ui::LoadLanguageModule();
  ASSERT_NE(load.module, nullptr) << load.error;
  EXPECT_EQ(String(load.module, 202), u"Standardeinstellungen");
  EXPECT_EQ(String(load.module, 60000), u"id:60000 missing!");
  EXPECT_TRUE(FreeLibrary(load.module));
}

TEST_F(LanguageTest, MissingModuleReportsTheLoadError) {
  // No module lies beside an interface library in this folder.
  platform::hooks::SetModuleFileName(root_.str() + "/rt7700PCL5eui.so");
  Configure(u"Japanese");
  ui::LanguageModuleLoad load = ui::LoadLanguageModule();
  EXPECT_EQ(load.module, nullptr);
  EXPECT_EQ(load.error, ERROR_MOD_NOT_FOUND);
}

TEST_F(LanguageTest, ArabicMessageBoxesReadRightToLeft) {
  platform::hooks::QueueMessageBoxAnswers({IDNO});
  EXPECT_EQ(ui::ShowMessageBox(nullptr, u"t", u"c", MB_YESNO), IDNO);
  Configure(u"Arabic");
  EXPECT_EQ(ui::ShowMessageBox(nullptr, u"t", u"c", MB_YESNO | MB_ICONEXCLAMATION), IDYES);
  auto boxes = platform::hooks::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].type, MB_YESNO);
  EXPECT_EQ(boxes[1].type, MB_YESNO | MB_ICONEXCLAMATION | MB_RTLREADING | MB_RIGHT);
  EXPECT_EQ(boxes[1].text, u"t");
}

TEST_F(LanguageTest, ContextHelpOpensTheLanguagesHelpFile) {
  Configure(u"German");
  const ui::HelpContext table[] = {{1001, 500}, {1002, 513}};
  std::filesystem::create_directories(root_.path() / "drivers/x64/3");
  std::ofstream(root_.path() / "drivers/x64/3/rt7700PCL5ede.chm") << "help";
  EXPECT_TRUE(ui::ShowContextHelp(nullptr, 1002, table));
  EXPECT_FALSE(ui::ShowContextHelp(nullptr, 1003, table));
  auto calls = platform::hooks::TakeHelpCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(platform::Utf16ToUtf8(calls[0].file), root_.str() + "/drivers/x64/3/rt7700PCL5ede.chm");
  EXPECT_EQ(calls[0].command, HH_HELP_CONTEXT);
  EXPECT_EQ(calls[0].data, 513u);
}

}  // namespace
