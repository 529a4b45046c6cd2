// Registry, folders and names, message boxes and help of the platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>
#include <string>

#include "platform/test_hooks.h"
#include "platform/ui_hooks.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "win/dialogs.h"
#include "win/error.h"
#include "win/registry.h"
#include "win/shell.h"

namespace {

namespace hooks = platform::hooks;

class Registry : public testing::Test {
 protected:
  void SetUp() override { hooks::SetPlatformRoot(root_.str()); }
  testsupport::TempDir root_;
};

TEST_F(Registry, ValuesPersistAndNamesIgnoreCase) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Maker\\Product", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegSetValueExW(key, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"German"), 14), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\maker\\PRODUCT", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"language", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 14u);
  WCHAR small[3];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, u"Language", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 14u);
  WCHAR text[16] = {};
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExW(key, u"Language", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"German");
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key, u"Language"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"Language", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Other", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
}

TEST_F(Registry, RootFollowsThePlatformRoot) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\A", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  testsupport::TempDir other;
  hooks::SetPlatformRoot(other.str());
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST(ShellFolders, ApplicationDataIsCreatedOnlyWhenAsked) {
  testsupport::TempDir dir;
  std::string folder = dir.str() + "/config";
  hooks::SetAppDataFolder(folder);
  WCHAR path[MAX_PATH];
  EXPECT_NE(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path), S_OK);
  EXPECT_FALSE(std::filesystem::exists(folder));
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
  EXPECT_EQ(platform::Utf16ToUtf8(path), folder);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(ShellNames, UserNameSizeQueryAndCopy) {
  hooks::SetUserName(u"J\u00F6rg");
  DWORD size = 0;
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetUserNameW(nullptr, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 5u);
  WCHAR name[5];
  ASSERT_TRUE(GetUserNameW(name, &size));
  EXPECT_EQ(std::u16string(name), u"J\u00F6rg");
}

TEST(ShellNames, DriverDirectoryLiesUnderThePlatformRoot) {
  testsupport::TempDir root;
  hooks::SetPlatformRoot(root.str());
  DWORD needed = 0;
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, buffer.data(), needed, &needed));
  EXPECT_EQ(platform::Utf16ToUtf8(reinterpret_cast<const WCHAR*>(buffer.data())), root.str() + "/drivers/x64");
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, nullptr, 2, buffer.data(), needed, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(HeadlessMessageBoxes, AnsweredInOrderThenByDefault) {
  hooks::QueueMessageBoxAnswers({IDNO, IDCANCEL});
  EXPECT_EQ(MessageBoxW(nullptr, u"Replace?", u"Caption", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Caption", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, u"Again?", nullptr, MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDOK);
  auto boxes = hooks::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].text, u"Replace?");
  EXPECT_EQ(boxes[0].answer, IDNO);
  EXPECT_EQ(boxes[2].caption, u"");
  EXPECT_TRUE(hooks::TakeMessageBoxes().empty());
}

TEST(HtmlHelp, CallsAreRecorded) {
  testsupport::TempDir dir;
  std::string file = dir.str() + "/help.chm";
  EXPECT_EQ(HtmlHelpW(nullptr, platform::Utf8ToUtf16(file).c_str(), HH_HELP_CONTEXT, 42), nullptr) << "no file";
  std::ofstream(file) << "x";
  EXPECT_NE(HtmlHelpW(nullptr, platform::Utf8ToUtf16(file).c_str(), HH_HELP_CONTEXT, 43), nullptr);
  auto calls = hooks::TakeHelpCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].data, 43u);
  EXPECT_EQ(calls[1].command, HH_HELP_CONTEXT);
}

}  // namespace
