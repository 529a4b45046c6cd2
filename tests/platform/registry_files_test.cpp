// Registry values whose files are damaged or cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/durable_file.h"
#include "platform/test_hooks.h"
#include "support/temp_dir.h"
#include "support/traces.h"
#include "win/error.h"
#include "win/registry.h"

namespace {

namespace fs = std::filesystem;
namespace hooks = platform::hooks;

class RegistryFiles : public testing::Test {
 protected:
  void SetUp() override {
    hooks::SetPlatformRoot(root_.str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Maker", 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override { RegCloseKey(key_); }
  fs::path KeyFolder() const { return root_.path() / "registry" / "HKEY_LOCAL_MACHINE" / "software" / "maker"; }
  LSTATUS Set(const char16_t* name, DWORD value) {
    return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(KeyFolder())) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  testsupport::TempDir root_;
  HKEY key_ = nullptr;
};

TEST_F(RegistryFiles, ValueFileThatIsAFolderFailsClearly) {
  fs::create_directories(KeyFolder() / "v.language" / "inside");
  testsupport::TraceCapture traces;
  DWORD type = 0, size = 0;
  SetLastError(0xDEAD);
  EXPECT_EQ(RegQueryValueExW(key_, u"Language", nullptr, &type, nullptr, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("v.language"), std::string::npos) << lines[0];

  EXPECT_EQ(Set(u"Language", 7), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Files(), std::vector<std::string>{"v.language"}) << "no temporary left behind";
}

TEST_F(RegistryFiles, FailedWriteKeepsTheOldValueAndNoTemporary) {
  ASSERT_EQ(Set(u"Sleep", 15), ERROR_SUCCESS);
  hooks::FailDurableReplaceAt(hooks::DurableStep::SyncData);
  EXPECT_EQ(Set(u"Sleep", 30), ERROR_WRITE_FAULT);
  hooks::FailDurableReplaceAt(std::nullopt);
  DWORD value = 0, size = sizeof value;
  ASSERT_EQ(RegQueryValueExW(key_, u"Sleep", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 15u);
  EXPECT_EQ(Files(), std::vector<std::string>{"v.sleep"});
}

}  // namespace
