// A printer of this driver, a settings folder and the language modules beside the interface
// library, as the entry point tests need them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "devmode/caller_merge.h"
#include "entry/language.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/ui_hooks.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/registry.h"
#include "win/spooler.h"

namespace testsupport {

class EntryTest : public testing::Test {
 protected:
  static constexpr char16_t kPrinter[] = u"R7700 Office";
  static constexpr char16_t kDriver[] = u"Taliro R7700 PCL5e";

  void SetUp() override {
    ui::ClearDisplayFlags();
    platform::hooks::SetPlatformRoot((root_.path() / "platform").string());
    platform::hooks::SetAppDataFolder((root_.path() / "appdata").string());
    platform::hooks::SetSystemLangId(0x0409);
    platform::hooks::SetModuleFileName(std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so");
    ASSERT_TRUE(platform::spooler::AddPrinter(
        {kPrinter, kDriver, "/opt/dr.so", std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so", u"winprint", "MEMORY:", {}}));
  }
  void TearDown() override { ui::ReleaseLanguageResources(); }

  static void SetLanguage(std::u16string_view name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ui::kDriverKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::u16string value(name);
    ASSERT_EQ(RegSetValueExW(key, ui::kLanguageValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * 2)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  static devmode::StoredDevmode Current(const WCHAR* device = u"R7700 Office") {
    devmode::StoredDevmode s{};
    devmode::InitStoredDevmode(&s, device, u"Default Settings");
    return s;
  }

  TempDir root_;
};

}  // namespace testsupport
