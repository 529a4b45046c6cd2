// A process saving the settings file is killed at arbitrary moments; the file must always
// read back as the tree before or after a save, never a part of one.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/test_hooks.h"
#include "store/settings_store.h"
#include "support/temp_dir.h"

namespace {

constexpr int kKills = 200;

[[noreturn]] void SaveForever() {
  ui::WatermarkStore store;
  std::vector<uint8_t> a(4000, 'a'), b(7000, 'b');
  for (unsigned i = 0;; ++i) {
    (void)store.Save(u"mark", i % 2 ? a : b);
    (void)store.Save(i % 3 ? u"other" : u"third", a);
  }
}

TEST(SettingsFileKill, EveryKillLeavesAWholeTree) {
  testsupport::TempDir dir;
  platform::hooks::SetAppDataFolder(dir.str());
  ui::WatermarkStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  std::mt19937 random(7700);
  for (int kill = 0; kill < kKills; ++kill) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever();
    usleep(200 + random() % 3000);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto items = store.Items();
    ASSERT_TRUE(items.has_value()) << "kill " << kill << " left an unreadable file";
    for (const auto& item : *items) {
      ASSERT_FALSE(item.data.empty());
      const bool allA = item.data == std::vector<uint8_t>(4000, 'a');
      const bool allB = item.data == std::vector<uint8_t>(7000, 'b');
      ASSERT_TRUE(allA || allB) << "kill " << kill << ": a record of another save";
    }
    ASSERT_LE(items->size(), 3u);
  }
}

}  // namespace
